// The live camera on the page's secure address, in Debian's Chromium as a phone that
// trusts the installation's authority (its certificate in the NSS database Chromium reads,
// no flag that ignores certificate errors). Chromium's fake camera plays a clip of three
// documents passing under it; each code arrives once.
//
//   node --test tests/browser/live_camera_test.mjs
// The server is the harness's (ZENTORY_LISTEN_CMD, e.g. build/native/zentory-cli); it is
// started with --certs, which only the program has.
import assert from 'node:assert/strict';
import { existsSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { after, before, describe, it } from 'node:test';
import { barcodePng, clipOf, homeTrusting, launchPhone, startServer } from './harness.mjs';

const CODES = [
  ['itf', '00191455700000110009956850418332600000624818'],
  ['code128', '35200714200166000187550010000000046550000044'],
  ['qrcode', '00020126330014br.gov.bcb.pix01111234567890952040000530398654071234.565802BR' +
             '5913Fulano de Tal6008BRASILIA62120508PEDIDO426304F902'],
];
const FPS = 30;  // what Chromium's fake camera plays a file of JPEG frames at
const FRAMES_PER_DOCUMENT = 52;  // clipOf's
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

describe('the live camera on the secure page', () => {
  const certs = mkdtempSync(path.join(tmpdir(), 'zentory-certs-'));
  const clipDir = mkdtempSync(path.join(tmpdir(), 'zentory-clip-'));
  let server;
  let home;
  const cleanups = [];

  before(async () => {
    // A Windows listener under Wine finds the folder through its drive Z:.
    const folder = /wine/.test(process.env.ZENTORY_LISTEN_CMD || '') ? `Z:${certs}` : certs;
    process.env.ZENTORY_LISTEN_ARGS = `${process.env.ZENTORY_LISTEN_ARGS || ''} --certs ${folder}`.trim();
    server = await startServer();
    assert.ok(existsSync(path.join(certs, 'ca.pem')), 'the listener made no authority');
    home = homeTrusting(path.join(certs, 'ca.pem'));
    const maker = await launchPhone({ blockOutside: false });
    cleanups.push(() => maker.close());
    const pngs = await Promise.all(CODES.map(([kind, code]) => barcodePng(kind, code)));
    writeFileSync(path.join(clipDir, 'clip.mjpeg'), await clipOf(maker.context, pngs));
    await maker.close();
    cleanups.pop();
  });

  after(async () => {
    for (const cleanup of cleanups.reverse()) await cleanup().catch(() => {});
    if (server) await server.stop();
    for (const folder of [certs, clipDir, home]) if (folder) rmSync(folder, { recursive: true, force: true });
  });

  it('reads each document of the clip once, over TLS verified by the authority', async () => {
    const clip = path.join(clipDir, 'clip.mjpeg');
    const phone = await launchPhone({
      home,
      permissions: ['camera'],
      args: ['--use-fake-device-for-media-stream', `--use-file-for-fake-video-capture=${clip}`,
             '--use-fake-ui-for-media-stream'],
    });
    cleanups.push(() => phone.close());
    const page = await phone.context.newPage();
    // A certificate the browser did not trust would fail this navigation.
    const secure = new URL(server.pageUrl);
    secure.protocol = 'https:';
    await page.goto(secure.href);
    assert.equal(await page.evaluate(() => window.isSecureContext), true);
    await page.waitForFunction(() => document.documentElement.dataset.reader === 'ready');
    const since = server.arrivals.count;
    await page.click('#live-start');
    await page.waitForSelector('#video');
    // One pass of the clip, and a moment for the last code.
    await sleep((CODES.length * FRAMES_PER_DOCUMENT * 1000) / FPS + 1200);
    await page.click('#live-stop');
    const arrived = (await server.arrivals.after(since, 500)).map((a) => a.code ?? a.unparsed);
    assert.deepEqual(arrived.slice().sort(), CODES.map(([, code]) => code).sort());
    assert.match(await page.locator('#status').textContent(), /Código enviado/);
  });
});
