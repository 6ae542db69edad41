// The pictures that the page hands over, made into pixels here, off the page's thread: a
// photo's file, decoded, and the live camera's frames, cropped to the area asked for.
// Drawing needs createImageBitmap and a 2D OffscreenCanvas in workers (Safari has the
// latter only from 16.4); without them the page draws the pixels itself.

export function canDecodePictures() {
  try {
    return typeof createImageBitmap === 'function' && typeof OffscreenCanvas === 'function' &&
      Boolean(new OffscreenCanvas(1, 1).getContext('2d'));
  } catch (e) {
    return false;
  }
}

// Draws `source`'s area (sx, sy, sw, sh in its pixels) on `canvas` at no more than
// `maxPixels`, and returns the canvas's pixels.
function drawnPixels(canvas, source, sx, sy, sw, sh, maxPixels) {
  var scale = Math.min(1, Math.sqrt(maxPixels / (sw * sh)));
  var width = Math.max(1, Math.round(sw * scale));
  var height = Math.max(1, Math.round(sh * scale));
  if (canvas.width !== width) canvas.width = width;
  if (canvas.height !== height) canvas.height = height;
  var context = canvas.getContext('2d', { willReadFrequently: true });
  context.imageSmoothingQuality = 'high';
  context.drawImage(source, sx, sy, sw, sh, 0, 0, width, height);
  return context.getImageData(0, 0, width, height);
}

// The photo's pixels, at no more than `maxPixels`, or null when it cannot be decoded here.
// The canvas goes at once: phones limit the memory of all canvases together.
export async function decodedPhoto(blob, maxPixels) {
  var bitmap = null;
  var canvas = new OffscreenCanvas(1, 1);
  try {
    bitmap = await createImageBitmap(blob);
    return drawnPixels(canvas, bitmap, 0, 0, bitmap.width, bitmap.height, maxPixels);
  } catch (e) {
    return null;
  } finally {
    canvas.width = canvas.height = 0;
    if (bitmap) bitmap.close();
  }
}

// The photo's pixels through the browser's image decoder (WebCodecs), where it has one
// for the photo's type: its planes as decoded, the luma alone for a JPEG, with no drawing;
// at no more than `maxPixels`. `first(frame)`, when given, sees the decoded frame before
// it is closed (the native detector). Null where this cannot decode it.
export async function decodedPhotoLuma(blob, maxPixels, first) {
  if (typeof ImageDecoder !== 'function' || !blob.type) return null;
  var decoder = null;
  var frame = null;
  try {
    if (!(await ImageDecoder.isTypeSupported(blob.type))) return null;
    var data = await blob.arrayBuffer();
    decoder = new ImageDecoder({ data: data, type: blob.type });
    await decoder.tracks.ready;
    frame = (await decoder.decode()).image;
    var pixels = frame.displayWidth * frame.displayHeight;
    if (pixels > maxPixels) {
      // Larger than the reader needs: decoded again at the size it takes.
      var scale = Math.sqrt(maxPixels / pixels);
      var width = Math.round(frame.displayWidth * scale), height = Math.round(frame.displayHeight * scale);
      frame.close();
      decoder.close();
      decoder = new ImageDecoder({ data: data, type: blob.type, desiredWidth: width, desiredHeight: height });
      frame = (await decoder.decode()).image;
    }
    var early = first ? await first(frame) : null;
    if (early) return { early: early };
    var luma = await frameLuma(frame, { x: 0, y: 0, width: 1, height: 1 });
    if (luma) frame = null;  // closed by frameLuma
    return luma;
  } catch (e) {
    return null;
  } finally {
    if (frame) frame.close();
    if (decoder) decoder.close();
  }
}

// One canvas for every frame: a new one each time would churn the phone's memory.
var frameCanvas = null;

// The pixels of a frame's `area` ({ x, y, width, height }, shares of the frame), drawn at
// no more than `maxPixels`. The frame is closed: it holds the camera's memory.
export function framePixels(frame, area, maxPixels) {
  try {
    if (!frameCanvas) frameCanvas = new OffscreenCanvas(1, 1);
    var width = frame.displayWidth || frame.width, height = frame.displayHeight || frame.height;
    var sx = Math.round(area.x * width), sy = Math.round(area.y * height);
    var sw = Math.max(1, Math.round(area.width * width));
    var sh = Math.max(1, Math.round(area.height * height));
    return drawnPixels(frameCanvas, frame, sx, sy, sw, sh, maxPixels);
  } finally {
    frame.close();
  }
}

function even(value) {
  return Math.floor(value / 2) * 2;
}

// The pixels of a camera frame's `area` (shares of the frame) for the reader: its first
// plane (the luma) as it is, one byte a pixel, with no colour conversion and no drawing,
// which cost a phone far more; RGBA for a frame held that way. Null, with the frame
// still open, for one whose pixels are not in memory in a known layout: it is drawn
// instead. Otherwise the frame is closed.
export async function frameLuma(frame, area) {
  var format = frame.format || '';
  var visible = frame.visibleRect;
  if (!visible || !/^(I420|I422|I444|NV12|RGB|BGR)/.test(format)) return null;
  try {
    var x = even(visible.x + area.x * visible.width), y = even(visible.y + area.y * visible.height);
    var width = Math.max(2, Math.min(even(area.width * visible.width), even(visible.x + visible.width - x)));
    var height = Math.max(2, Math.min(even(area.height * visible.height), even(visible.y + visible.height - y)));
    var rect = { x: x, y: y, width: width, height: height };
    var planes = new Uint8Array(frame.allocationSize({ rect: rect }));
    var plane = (await frame.copyTo(planes, { rect: rect }))[0];
    var bytes = /^(RGB|BGR)/.test(format) ? 4 : 1;
    // A plane packed row after row is taken as it lies: a 12 MP photo's copy costs a slow
    // phone half a second.
    if (plane.offset === 0 && plane.stride === bytes * width) {
      var packed = planes.subarray(0, bytes * width * height);
      return { data: bytes === 4 ? new Uint8ClampedArray(packed.buffer, 0, packed.length) : packed,
               width: width, height: height };
    }
    // Red and blue swapped weigh the same in the reader's brightness (r + 2g + b).
    var out = bytes === 4 ? new Uint8ClampedArray(width * height * 4) : new Uint8Array(width * height);
    for (var row = 0; row < height; row++) {
      var start = plane.offset + row * plane.stride;
      out.set(planes.subarray(start, start + bytes * width), bytes * row * width);
    }
    return { data: out, width: width, height: height };
  } finally {
    frame.close();
  }
}

// Whether `picture` is a camera frame that frameLuma can copy.
export function isVideoFrame(picture) {
  return typeof VideoFrame === 'function' && picture instanceof VideoFrame;
}
