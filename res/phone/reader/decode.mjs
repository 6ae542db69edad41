// Reading a picture: a Pix QR code in the whole of it, then the barcode in each likely
// region, levelled and redrawn, and the whole picture as the last resort. `decode` is the
// barcode reader's (zxing's, or a stand-in in tests).
import { acceptScan } from './checks.mjs';
import { barcodeCandidates, edgeCells } from './find.mjs';
import { evenedLight, straightenedRegion } from './level.mjs';
import { isLuma, readerPixels, shrunkGrey } from './picture.mjs';
import { redrawnBands } from './redraw.mjs';

var READER_OPTIONS = {
  formats: ['ITF', 'Code128'],
  tryHarder: true,
  tryRotate: false,
  tryInvert: false,
  tryDownscale: false,
  maxNumberOfSymbols: 4
};
// The whole picture, as the last resort: the reader's own search, every way round.
var WHOLE_PICTURE_OPTIONS = {
  formats: ['ITF', 'Code128'],
  tryHarder: true,
  tryRotate: true,
  tryInvert: false,
  tryDownscale: true,
  maxNumberOfSymbols: 8
};
// A Pix QR code, in the whole picture: a QR code is found in any turn of the photo.
var QR_OPTIONS = {
  formats: ['QRCode'],
  tryHarder: true,
  tryRotate: false,
  tryInvert: false,
  tryDownscale: true,
  maxNumberOfSymbols: 4
};
var QR_SIDE = 2400;       // the longer side the QR code is looked for in, about
var SEARCH_SIDE = 1300;   // the shrunk picture's longer side, about
var CANDIDATES = 6;       // regions tried, at most
var BANDS = 6;            // rows of the redrawn crop, each from its own part of the bars

export function firstAccepted(results) {
  for (var i = 0; i < results.length; i++) {
    var accepted = acceptScan(results[i].text, results[i].format);
    if (accepted) return accepted;
  }
  return null;
}

// The Pix code of a QR code in the photo, or null. A photo larger than QR_SIDE is
// averaged down first: a QR code printed on a slip keeps several pixels per module.
export async function readPix(rgba, width, height, decode, side) {
  var factor = Math.max(1, Math.round(Math.max(width, height) / (side || QR_SIDE)));
  var pixels = factor === 1 && !isLuma(rgba, width, height) ? { data: rgba, width: width, height: height }
    : readerPixels(shrunkGrey(rgba, width, height, factor), 0);
  return firstAccepted(await decode(pixels, QR_OPTIONS));
}

// Each region first as a slip's barcode would print at this distance, then with its bars
// sharpened (a picture out of focus), then finer (a barcode far away): the module's
// pixels and the sharpening.
var ATTEMPTS = [[3, 0], [3, 0.8], [4.5, 0.4]];

// What the photo's pixels hold: `found`, a slip's or an NF-e's barcode, and `pix`, a Pix
// QR code; null for what is not there. `decode(pixels, options)` is the barcode reader's
// (resolves to its results). The barcode's search gives up once `deadline`
// (performance.now()) has passed, and skips its last resort when a Pix code was found:
// a bill that carries only a QR code must not wait for it.
// With `barcodeFirst` (the computer takes a slip's barcode), the likely regions are read
// the first way before anything else, and a barcode found so is handed to `early` at
// once: the QR code's search that follows only tells whether the slip also carried a Pix.
export async function readPixels(rgba, width, height, decode, deadline, now, barcodeFirst, early) {
  var first = barcodeFirst ? await readBarcode(rgba, width, height, decode, deadline, now, false, 0, 1) : null;
  if (first && early) early({ found: first, pix: null });
  var pix = await readPix(rgba, width, height, decode);
  var found = first || await readBarcode(rgba, width, height, decode, deadline, now, !pix, barcodeFirst ? 1 : 0);
  return { found: found, pix: pix };
}

// The barcode, read in the likely regions in the ways ATTEMPTS[from, to).
export function readBarcode(rgba, width, height, decode, deadline, now, lastResort, from, to) {
  return searchBarcode(rgba, width, height, decode, {
    searchSide: SEARCH_SIDE, candidates: CANDIDATES, attempts: ATTEMPTS.slice(from || 0, to),
    lastResort: lastResort, deadline: deadline, now: now
  });
}

// One frame of the live camera, most often the guide frame's area alone. A frame tries
// one way of levelling and the next frame the next, so that each is answered in a
// fraction of a photo's time while a slip held still gets every way within a few frames.
// `plan`: { variant, barcode and pix (what to look for), searchSide, qrSide, deadline, now }.
// Also says whether it saw something like a barcode that it could not read.
export async function readFrame(rgba, width, height, decode, plan) {
  var pix = plan.pix ? await readPix(rgba, width, height, decode, plan.qrSide) : null;
  var search = {
    searchSide: plan.searchSide, candidates: FRAME_CANDIDATES,
    attempts: [ATTEMPTS[plan.variant % ATTEMPTS.length]], lastResort: false,
    deadline: plan.deadline, now: plan.now, seen: 0
  };
  var found = plan.barcode === false ? null : await searchBarcode(rgba, width, height, decode, search);
  // `barcodeSeen`: places that look like a barcode, read or not.
  return { found: found, pix: pix, barcodeSeen: search.seen > 0 };
}
var FRAME_CANDIDATES = 3;

async function searchBarcode(rgba, width, height, decode, plan) {
  var factor = Math.max(1, Math.round(Math.max(width, height) / plan.searchSide));
  var grey = shrunkGrey(rgba, width, height, factor);
  var candidates = barcodeCandidates(edgeCells(grey)).slice(0, plan.candidates);
  plan.seen = candidates.length;
  for (var a = 0; a < plan.attempts.length; a++) {
    for (var c = 0; c < candidates.length; c++) {
      if (plan.now() > plan.deadline) return null;
      var module = plan.attempts[a][0];
      var region = straightenedRegion(rgba, width, height, factor, candidates[c], module);
      var found = firstAccepted(await decode(readerPixels(redrawnBands(region, BANDS, module * 10, 2), 8), READER_OPTIONS));
      if (found) return found;
      var evened = evenedLight(region, module * 12, plan.attempts[a][1]);
      found = firstAccepted(await decode(readerPixels(evened, 8), READER_OPTIONS));
      if (found) return found;
    }
  }
  if (plan.now() > plan.deadline || !plan.lastResort) return null;
  return firstAccepted(await decode(readerPixels(grey, 0), WHOLE_PICTURE_OPTIONS));
}
