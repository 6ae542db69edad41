// Grey pictures of floats, 0 to 255, made from a photo's pixels, and back into the RGBA
// that the barcode reader takes. A photo's pixels are RGBA, four bytes each, or the
// brightness alone, one byte each (a camera frame's luma): their length tells which.

// Whether `pixels` of a width x height picture are one byte each.
export function isLuma(pixels, width, height) {
  return pixels.length === width * height;
}

// A grey picture of floats, 0 to 255.
export function GreyImage(width, height) {
  this.width = width;
  this.height = height;
  this.data = new Float32Array(width * height);
}

// The photo averaged down by `factor` in each direction: enough to find a barcode, and
// far cheaper to search than the photo itself.
export function shrunkGrey(rgba, width, height, factor) {
  var out = new GreyImage(Math.floor(width / factor), Math.floor(height / factor));
  var ow = out.width;
  var sums = out.data;
  if (isLuma(rgba, width, height)) return shrunkLuma(rgba, width, factor, out);
  for (var y = 0; y < out.height * factor; y++) {
    var row = Math.floor(y / factor) * ow;
    var i = y * width * 4;
    for (var ox = 0; ox < ow; ox++) {
      var s = 0;
      for (var k = 0; k < factor; k++, i += 4) s += rgba[i] + 2 * rgba[i + 1] + rgba[i + 2];
      sums[row + ox] += s;
    }
  }
  var scale = 1 / (4 * factor * factor);
  for (var p = 0; p < sums.length; p++) sums[p] *= scale;
  return out;
}

function shrunkLuma(luma, width, factor, out) {
  var ow = out.width;
  var sums = out.data;
  for (var y = 0; y < out.height * factor; y++) {
    var row = Math.floor(y / factor) * ow;
    var i = y * width;
    for (var ox = 0; ox < ow; ox++) {
      var s = 0;
      for (var k = 0; k < factor; k++, i++) s += luma[i];
      sums[row + ox] += s;
    }
  }
  var scale = 1 / (factor * factor);
  for (var p = 0; p < sums.length; p++) sums[p] *= scale;
  return out;
}

// The photo's brightness at (x, y), interpolated between its four nearest pixels; paper
// white outside the picture, which reads as a quiet zone.
export function brightnessAt(rgba, width, height, x, y) {
  var x0 = Math.floor(x);
  var y0 = Math.floor(y);
  if (x0 < 0 || y0 < 0 || x0 >= width - 1 || y0 >= height - 1) return 255;
  var fx = x - x0;
  var fy = y - y0;
  if (isLuma(rgba, width, height)) {
    var at = y0 * width + x0;
    var top = rgba[at] + (rgba[at + 1] - rgba[at]) * fx;
    var bottom = rgba[at + width] + (rgba[at + width + 1] - rgba[at + width]) * fx;
    return top + (bottom - top) * fy;
  }
  var i = (y0 * width + x0) * 4;
  var j = i + width * 4;
  var a = rgba[i] + 2 * rgba[i + 1] + rgba[i + 2];
  var b = rgba[i + 4] + 2 * rgba[i + 5] + rgba[i + 6];
  var c = rgba[j] + 2 * rgba[j + 1] + rgba[j + 2];
  var d = rgba[j + 4] + 2 * rgba[j + 5] + rgba[j + 6];
  return ((a + (b - a) * fx) * (1 - fy) + (c + (d - c) * fx) * fy) * 0.25;
}

// The grey picture as the reader takes it: RGBA with a white border, the quiet zone.
export function readerPixels(image, border) {
  var width = image.width + 2 * border;
  var height = image.height + 2 * border;
  var data = new Uint8ClampedArray(width * height * 4).fill(255);
  for (var y = 0; y < image.height; y++) {
    for (var x = 0; x < image.width; x++) {
      var v = image.data[y * image.width + x];
      var o = ((y + border) * width + x + border) * 4;
      data[o] = data[o + 1] = data[o + 2] = v;
    }
  }
  return { data: data, width: width, height: height };
}
