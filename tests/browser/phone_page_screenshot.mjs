// The guide's pictures of the phone's page: a phone-sized screen right after a bank slip
// was read and sent, (with ZENTORY_SCREENSHOT_UNREAD) one after a photo it could not read,
// (with ZENTORY_SCREENSHOT_PIX) one after a Pix QR code was sent, (with
// ZENTORY_SCREENSHOT_TRUST and _TRUST_IPHONE) the steps to trust the PC on an Android phone
// and on an iPhone, and (with ZENTORY_SCREENSHOT_LIVE, from a server that takes --certs)
// the live camera on the secure page after it sent a slip. The server is chosen as for the
// test (see harness.mjs).
//
//   ZENTORY_SCREENSHOT=docs/phone-page.png ZENTORY_SCREENSHOT_UNREAD=docs/phone-page-unread.png \
//     ZENTORY_SCREENSHOT_PIX=docs/phone-page-pix.png ZENTORY_SCREENSHOT_TRUST=docs/phone-page-trust.png \
//     ZENTORY_SCREENSHOT_TRUST_IPHONE=docs/phone-page-trust-iphone.png \
//     ZENTORY_SCREENSHOT_LIVE=docs/phone-page-live.png node tests/browser/phone_page_screenshot.mjs
import { existsSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { barcodePng, clipOf, homeTrusting, launchPhone, openPage, photoOf, photoWithoutBarcode,
         repoRoot, startServer, statusAfterReading, takePhoto } from './harness.mjs';

const target = process.env.ZENTORY_SCREENSHOT;
if (!target) {
  process.stderr.write('usage: ZENTORY_SCREENSHOT=FILE.png node tests/browser/phone_page_screenshot.mjs\n');
  process.exit(2);
}

const SLIP = '00191455700000110009956850418332600000624818';
const certs = mkdtempSync(path.join(tmpdir(), 'zentory-certs-'));
if (process.env.ZENTORY_SCREENSHOT_LIVE) {
  process.env.ZENTORY_LISTEN_ARGS = `${process.env.ZENTORY_LISTEN_ARGS || ''} --certs ${certs}`.trim();
}
const server = await startServer();
const phone = await launchPhone();
const shot = async (page, target) => {
  const file = path.resolve(repoRoot, target);
  await page.screenshot({ path: file });
  process.stdout.write(`${file}\n`);
};
try {
  // The browser here counts 127.0.0.1 as secure and would offer live video; a phone
  // reaching the computer by its network address does not, and that is what the guide shows.
  await phone.context.addInitScript(() => {
    Object.defineProperty(window, 'isSecureContext', { value: false });
  });
  const page = await openPage(phone.context, server.pageUrl);
  const photo = await photoOf(phone.context,
                              await barcodePng('itf', SLIP),
                              { degrees: 3, noise: 20 });
  await takePhoto(page, photo);
  const status = await statusAfterReading(page);
  if (status !== 'Código enviado ao computador.') throw new Error(`the page says: ${status}`);
  const file = path.resolve(repoRoot, target);
  await page.screenshot({ path: file });
  process.stdout.write(`${file}\n`);
  const unreadTarget = process.env.ZENTORY_SCREENSHOT_UNREAD;
  if (unreadTarget) {
    await takePhoto(page, await photoWithoutBarcode(phone.context));
    const unread = await statusAfterReading(page);
    if (!unread.startsWith('Não consegui ler')) throw new Error(`the page says: ${unread}`);
    const unreadFile = path.resolve(repoRoot, unreadTarget);
    await page.screenshot({ path: unreadFile });
    process.stdout.write(`${unreadFile}\n`);
  }
  const pixTarget = process.env.ZENTORY_SCREENSHOT_PIX;
  if (pixTarget) {
    const pix = '00020126330014br.gov.bcb.pix01111234567890952040000530398654071234.565802BR' +
      '5913Fulano de Tal6008BRASILIA62120508PEDIDO426304F902';
    await takePhoto(page, await photoOf(phone.context, await barcodePng('qrcode', pix),
                                        { degrees: 4, noise: 20, width: 360 }));
    const sent = await statusAfterReading(page);
    if (sent !== 'Código enviado ao computador.') throw new Error(`the page says: ${sent}`);
    const pixFile = path.resolve(repoRoot, pixTarget);
    await page.screenshot({ path: pixFile });
    process.stdout.write(`${pixFile}\n`);
  }
  const trustTarget = process.env.ZENTORY_SCREENSHOT_TRUST;
  if (trustTarget) {
    await page.reload();
    await page.click('#live-start');
    await page.locator('#trust').scrollIntoViewIfNeeded();
    await shot(page, trustTarget);
  }
} finally {
  await phone.close();
}
try {
  const iphoneTarget = process.env.ZENTORY_SCREENSHOT_TRUST_IPHONE;
  if (iphoneTarget) {
    const iphone = await launchPhone({ device: 'iPhone 13' });
    try {
      await iphone.context.addInitScript(() => {
        Object.defineProperty(window, 'isSecureContext', { value: false });
      });
      const page = await openPage(iphone.context, server.pageUrl);
      await page.click('#live-start');
      await page.locator('#trust').scrollIntoViewIfNeeded();
      await shot(page, iphoneTarget);
    } finally {
      await iphone.close();
    }
  }
  const liveTarget = process.env.ZENTORY_SCREENSHOT_LIVE;
  if (liveTarget) {
    if (!existsSync(path.join(certs, 'ca.pem'))) throw new Error('the server took no --certs');
    const home = homeTrusting(path.join(certs, 'ca.pem'));
    const maker = await launchPhone({ blockOutside: false });
    const clip = path.join(certs, 'clip.mjpeg');
    writeFileSync(clip, await clipOf(maker.context, [await barcodePng('itf', SLIP)]));
    await maker.close();
    const camera = await launchPhone({
      home, permissions: ['camera'],
      args: ['--use-fake-device-for-media-stream', `--use-file-for-fake-video-capture=${clip}`,
             '--use-fake-ui-for-media-stream'],
    });
    try {
      const secure = new URL(server.pageUrl);
      secure.protocol = 'https:';
      const page = await openPage(camera.context, secure);
      await page.click('#live-start');
      await page.waitForFunction(() => /Código enviado/.test(document.getElementById('status').textContent),
                                 null, { timeout: 30_000 });
      // The slip again in view: the picture shows it under the guide with its card.
      await page.waitForTimeout(300);
      await shot(page, liveTarget);
    } finally {
      await camera.close();
      rmSync(home, { recursive: true, force: true });
    }
  }
} finally {
  await server.stop();
  rmSync(certs, { recursive: true, force: true });
}
