// The phone page's reader, in a Web Worker so that the page stays responsive while it
// works. It takes a photo (its file, or its pixels as the page drew them) or a frame of
// the live camera, and answers with the codes it holds whose check digits (a Pix code:
// its CRC) hold. The reading itself is in decode.mjs and the modules it uses, which need
// nothing but typed arrays and so load outside a browser too (the tests do).
import { KIND_PIX, acceptScan } from './checks.mjs';
import { readFrame, readPixels } from './decode.mjs';
import {
  canDecodePictures, decodedPhoto, decodedPhotoLuma, frameLuma, framePixels, isVideoFrame
} from './frames.mjs';
import { warmUp } from './warm_up.mjs';

var reader = null;
try {
  importScripts('@ZXING_READER_JS@');
  // The reader's wasm comes from this computer, never from the Internet: the phone may
  // have no Internet at all. Compiling it starts now, while the page shows its button.
  reader = ZXingWASM.prepareZXingModule({
    overrides: {
      locateFile: function (path, prefix) {
        return path.endsWith('.wasm') ? '@ZXING_READER_WASM@' : prefix + path;
      }
    },
    fireImmediately: true
  });
} catch (e) {
  reader = Promise.reject(e);
}
reader.then(function () {
  postMessage({ type: 'ready', decodes: canDecodePictures() });
  warmUp(decodeWith, clock, function () { return jobsAsked > 0; });
}, function (e) {
  postMessage({ type: 'failed', error: String(e && e.message || e) });
});

function decodeWith(pixels, options) {
  return ZXingWASM.readBarcodes(pixels, options);
}

function clock() {
  return performance.now();
}

// The native detector of Android's Chrome is quick, and only a first try: it is known to
// misread 44-digit slips, so what it reads passes the same checks.
var native = null;
function nativeDetector() {
  if (native === null) {
    native = Promise.resolve(false);
    if (typeof BarcodeDetector !== 'undefined') {
      native = BarcodeDetector.getSupportedFormats().then(function (supported) {
        var formats = ['itf', 'code_128', 'qr_code'].filter(function (f) { return supported.indexOf(f) >= 0; });
        return formats.length ? new BarcodeDetector({ formats: formats }) : false;
      }).catch(function () { return false; });
    }
  }
  return native;
}

// What the native detector reads in `image` (pixels or a frame), as readPixels answers;
// null when it reads nothing.
async function readNative(image) {
  var detector = await nativeDetector();
  if (!detector) return null;
  try {
    var seen = await detector.detect(image);
    var reading = { found: null, pix: null };
    for (var i = 0; i < seen.length; i++) {
      var accepted = acceptScan(seen[i].rawValue, seen[i].format);
      if (!accepted) continue;
      if (accepted.kind === KIND_PIX) reading.pix = reading.pix || accepted;
      else reading.found = reading.found || accepted;
    }
    if (reading.found || reading.pix) return reading;
  } catch (e) {
    // A detector that fails on one picture may work on the next; the reader follows.
  }
  return null;
}

// A photo: the file decoded here, or the pixels the page drew. The reading's time starts
// once the photo is decoded: a slow phone takes long to decode a large photo, and must
// still get its whole time to read it.
async function readPhoto(job, deadline, early) {
  var pixels;
  var decoded = null;
  if (job.photo) {
    var decodingStarted = clock();
    // The image decoder hands over the luma as decoded, and the native detector sees its
    // frame first; drawing the photo costs far more.
    decoded = await decodedPhotoLuma(job.photo, job.maxPixels, job.native ? readNative : null);
    if (decoded && decoded.early) return decoded.early;
    pixels = decoded || await decodedPhoto(job.photo, job.maxPixels);
    if (!pixels) return { found: null, undecodable: true };
    deadline += clock() - decodingStarted;
  } else {
    pixels = { data: new Uint8ClampedArray(job.buffer), width: job.width, height: job.height };
  }
  await reader;
  var rgba = pixels.data.length === 4 * pixels.width * pixels.height;
  var reading = job.native && !decoded && rgba && typeof ImageData !== 'undefined'
    ? await readNative(new ImageData(pixels.data, pixels.width, pixels.height)) : null;
  return reading ||
    readPixels(pixels.data, pixels.width, pixels.height, decodeWith, deadline, clock, job.barcodeFirst, early);
}

// A frame of the live camera: the native detector on the whole frame, then the reader on
// the area asked for (the guide frame's, or the whole frame now and then).
async function readLive(job, deadline) {
  await reader;
  var live = job.live;
  var pixels;
  if (job.frame) {
    var reading = job.native ? await readNative(job.frame) : null;
    if (reading) {
      job.frame.close();
      return reading;
    }
    pixels = isVideoFrame(job.frame) ? await frameLuma(job.frame, live.area) : null;
    if (!pixels) pixels = framePixels(job.frame, live.area, live.maxPixels);
  } else {
    pixels = { data: new Uint8ClampedArray(job.buffer), width: job.width, height: job.height };
  }
  return readFrame(pixels.data, pixels.width, pixels.height, decodeWith, {
    variant: live.variant, barcode: live.barcode, pix: live.pix, searchSide: live.searchSide,
    qrSide: live.qrSide,
    deadline: deadline, now: clock
  });
}

// The warm-up gives way to the first real job.
var jobsAsked = 0;

onmessage = async function (event) {
  jobsAsked++;
  var job = event.data;
  var deadline = clock() + job.budget;
  try {
    // A slip's barcode goes to the page as soon as it is read; the rest of the reading
    // follows in the final answer.
    var early = function (first) {
      postMessage({ type: 'read', id: job.id, found: first.found, pix: null, partial: true });
    };
    var reading = job.live ? await readLive(job, deadline) : await readPhoto(job, deadline, early);
    postMessage({ type: 'read', id: job.id, found: reading.found, pix: reading.pix || null,
                  undecodable: reading.undecodable === true, barcodeSeen: reading.barcodeSeen === true });
  } catch (e) {
    postMessage({ type: 'read', id: job.id, found: null, error: String(e && e.message || e) });
  }
};
