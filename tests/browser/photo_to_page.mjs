// Takes one photo into a page that is already served, as a phone's user would: opens the
// page in Chromium as a phone, puts the photo on the camera's input and waits for the
// page's answer, which it prints. Exits 0 only when the page says that the code was sent.
//
//   node tests/browser/photo_to_page.mjs 'http://127.0.0.1:PORT/#t=TOKEN' PHOTO.jpg
import { readFileSync } from 'node:fs';
import { launchPhone, openPage, statusAfterReading, takePhoto } from './harness.mjs';

const [pageUrl, photoFile] = process.argv.slice(2);
if (!pageUrl || !photoFile) {
  process.stderr.write('usage: node tests/browser/photo_to_page.mjs PAGE_URL PHOTO.jpg\n');
  process.exit(2);
}

const phone = await launchPhone();
let sent = false;
try {
  const page = await openPage(phone.context, new URL(pageUrl));
  await takePhoto(page, readFileSync(photoFile));
  const status = await statusAfterReading(page);
  process.stdout.write(`${status}\n`);
  sent = status === 'Código enviado ao computador.';
} finally {
  await phone.close();
}
process.exit(sent ? 0 : 1);
