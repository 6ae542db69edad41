// Plays a clip of documents into the live camera of a page already served at its secure
// address, as a phone that trusts the installation's authority: Chromium with the
// authority in its NSS database and a fake camera. Prints the page's last status; exits 0
// when it says that a code was sent.
//
//   node tests/browser/live_to_page.mjs 'https://127.0.0.1:PORT/#t=TOKEN' CA.pem CODE...
// A CODE of 44 digits starting "352" is drawn as an NF-e key's Code 128, one starting
// "000201" as a Pix QR code, any other as a slip's Interleaved 2 of 5.
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { barcodePng, clipOf, homeTrusting, launchPhone, openPage } from './harness.mjs';

const [pageUrl, authority, ...codes] = process.argv.slice(2);
if (!pageUrl || !authority || !codes.length) {
  process.stderr.write('usage: node tests/browser/live_to_page.mjs HTTPS_PAGE_URL CA.pem CODE...\n');
  process.exit(2);
}
const kindOf = (code) => (/^000201/.test(code) ? 'qrcode' : /^352/.test(code) ? 'code128' : 'itf');

const scratch = mkdtempSync(path.join(tmpdir(), 'zentory-live-'));
const cleanups = [scratch];
let sent = false;
try {
  const maker = await launchPhone({ blockOutside: false });
  const clip = path.join(scratch, 'clip.mjpeg');
  try {
    const pngs = await Promise.all(codes.map((code) => barcodePng(kindOf(code), code)));
    writeFileSync(clip, await clipOf(maker.context, pngs));
  } finally {
    await maker.close();
  }
  const home = homeTrusting(authority);
  cleanups.push(home);
  const phone = await launchPhone({
    home, permissions: ['camera'],
    args: ['--use-fake-device-for-media-stream', `--use-file-for-fake-video-capture=${clip}`,
           '--use-fake-ui-for-media-stream'],
  });
  try {
    const page = await openPage(phone.context, new URL(pageUrl));
    await page.click('#live-start');
    // One pass of the clip (52 frames a document at 30 a second), and a moment for the last.
    await page.waitForTimeout((codes.length * 52 * 1000) / 30 + 1200);
    await page.click('#live-stop');
    const status = (await page.locator('#status').textContent()).trim();
    process.stdout.write(`${status}\n`);
    sent = /Código enviado/.test(status);
  } finally {
    await phone.close();
  }
} finally {
  for (const folder of cleanups) rmSync(folder, { recursive: true, force: true });
}
process.exit(sent ? 0 : 1);
