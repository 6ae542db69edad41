// The guide's pictures of the phone's page: a phone-sized screen right after a bank slip
// was read and sent, (with ZENTORY_SCREENSHOT_UNREAD) one after a photo it could not read,
// and (with ZENTORY_SCREENSHOT_PIX) one after a Pix QR code was sent. The server is chosen
// as for the test (see harness.mjs).
//
//   ZENTORY_SCREENSHOT=docs/phone-page.png ZENTORY_SCREENSHOT_UNREAD=docs/phone-page-unread.png \
//     ZENTORY_SCREENSHOT_PIX=docs/phone-page-pix.png node tests/browser/phone_page_screenshot.mjs
import path from 'node:path';
import { barcodePng, launchPhone, openPage, photoOf, photoWithoutBarcode, repoRoot, startServer,
         statusAfterReading, takePhoto } from './harness.mjs';

const target = process.env.ZENTORY_SCREENSHOT;
if (!target) {
  process.stderr.write('usage: ZENTORY_SCREENSHOT=FILE.png node tests/browser/phone_page_screenshot.mjs\n');
  process.exit(2);
}

const server = await startServer();
const phone = await launchPhone();
try {
  // The browser here counts 127.0.0.1 as secure and would offer live video; a phone
  // reaching the computer by its network address does not, and that is what the guide shows.
  await phone.context.addInitScript(() => {
    Object.defineProperty(window, 'isSecureContext', { value: false });
  });
  const page = await openPage(phone.context, server.pageUrl);
  const photo = await photoOf(phone.context,
                              await barcodePng('itf', '00191455700000110009956850418332600000624818'),
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
} finally {
  await phone.close();
  await server.stop();
}
