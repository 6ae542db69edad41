// Levelling one region: a crop whose columns follow the bars and whose rows cross them,
// with its light evened out along each row.
import { CELL } from './find.mjs';
import { GreyImage, brightnessAt } from './picture.mjs';

// The frame of one candidate in the photo's pixels: the centre, the direction along the
// barcode (u) and across it (v), how far the crop reaches along it and how far along the
// bars, and the step between columns so that a narrow bar spans about `modulePixels`.
export function regionFrame(shape, factor, modulePixels) {
  var unit = CELL * factor;  // photo pixels per cell
  var lengthPixels = shape.length * unit;
  var reach = lengthPixels * 0.62 + 14 * unit;
  // A slip's barcode is 405 narrow bars long, an NF-e key's 277: aim at the slip's.
  var step = Math.max(0.3, lengthPixels / (405 * modulePixels));
  return {
    x: shape.cx * unit, y: shape.cy * unit,
    ux: Math.cos(shape.axis), uy: Math.sin(shape.axis),
    vx: -Math.sin(shape.axis), vy: Math.cos(shape.axis),
    reach: reach, step: step, columns: Math.min(3600, Math.round(2 * reach / step)),
    barHalf: shape.height * unit * 0.36
  };
}

// One row of the crop, the average of `lines` lines between `from` and `to` (photo
// pixels along v). `lean(x)` is how far the bars move along u per pixel along v at column
// x: following it keeps each column on one bar.
function sampledRow(rgba, width, height, frame, from, to, lines, lean, out) {
  for (var x = 0; x < frame.columns; x++) {
    var t = -frame.reach + x * frame.step;
    var px = frame.x + t * frame.ux, py = frame.y + t * frame.uy;
    var l = lean(x);
    var sum = 0;
    for (var k = 0; k < lines; k++) {
      var along = from + (to - from) * (k + 0.5) / lines;
      var ax = frame.vx + l * frame.ux, ay = frame.vy + l * frame.uy;
      sum += brightnessAt(rgba, width, height, px + along * ax, py + along * ay);
    }
    out[x] = sum / lines;
  }
  return out;
}

// How the bars lean against v, measured: the shift that best lays the crop's upper band
// on its lower one, in pieces along the barcode, as a straight line of the column. Under
// perspective the bars at one end lean another way than those at the other; a roll that
// was misjudged leans them all alike.
function measuredLean(rgba, width, height, frame) {
  var upper = sampledRow(rgba, width, height, frame, -frame.barHalf, -0.2 * frame.barHalf, 6,
                         noLean, new Float32Array(frame.columns));
  var lower = sampledRow(rgba, width, height, frame, 0.2 * frame.barHalf, frame.barHalf, 6,
                         noLean, new Float32Array(frame.columns));
  var apart = 1.2 * frame.barHalf;  // between the bands' middles, photo pixels
  var most = Math.ceil(Math.tan(28 * Math.PI / 180) * apart / frame.step);
  var pieces = 12;
  var size = Math.floor(frame.columns / pieces);
  var xs = [], leans = [], weights = [];
  for (var p = 0; p < pieces; p++) {
    var from = p * size, to = from + size;
    var best = 0, bestCost = Infinity, highest = 0;
    for (var d = -most; d <= most; d++) {
      var cost = 0, n = 0;
      for (var x = Math.max(from, from - d); x < Math.min(to, to - d, frame.columns - Math.max(0, d)); x++) {
        var diff = upper[x + d] - lower[x];
        cost += diff * diff;
        n++;
      }
      cost = n ? cost / n : Infinity;
      if (cost < bestCost) { bestCost = cost; best = d; }
      if (cost > highest && cost < Infinity) highest = cost;
    }
    // A piece of quiet zone or text tells nothing: weigh by how clearly it matched.
    var clarity = highest > 0 ? 1 - bestCost / highest : 0;
    if (clarity < 0.5) continue;
    xs.push(from + size / 2);
    leans.push(-best * frame.step / apart);
    weights.push(clarity);
  }
  if (!xs.length) return noLean;
  // A piece that matched text or the page's edge instead of bars leans its own way: the
  // line is fitted again without the piece furthest from it, while one is far off.
  var line = weightedLine(xs, leans, weights);
  var tolerance = 1.5 * frame.step / apart;
  while (xs.length > 2) {
    var worst = -1, furthest = tolerance;
    for (var i = 0; i < xs.length; i++) {
      var off = Math.abs(leans[i] - line.offset - line.slope * xs[i]);
      if (off > furthest) { furthest = off; worst = i; }
    }
    if (worst < 0) break;
    xs.splice(worst, 1); leans.splice(worst, 1); weights.splice(worst, 1);
    line = weightedLine(xs, leans, weights);
  }
  return function (x) { return line.offset + line.slope * x; };
}

function noLean() {
  return 0;
}

// The least-squares line through weighted points, and a level one through a single point.
function weightedLine(xs, ys, ws) {
  var sw = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (var i = 0; i < xs.length; i++) {
    sw += ws[i]; sx += ws[i] * xs[i]; sy += ws[i] * ys[i];
    sxx += ws[i] * xs[i] * xs[i]; sxy += ws[i] * xs[i] * ys[i];
  }
  var denominator = sw * sxx - sx * sx;
  var slope = xs.length > 2 && denominator > 1e-9 ? (sw * sxy - sx * sy) / denominator : 0;
  return { offset: (sy - slope * sx) / sw, slope: slope };
}

// The crop of one candidate, level and straight: its columns follow the bars and its rows
// cross them. Each row averages a few lines, which takes out the sensor's noise without
// blurring the bars.
export function straightenedRegion(rgba, width, height, factor, shape, modulePixels) {
  var frame = regionFrame(shape, factor, modulePixels);
  var lean = measuredLean(rgba, width, height, frame);
  var rows = 12;
  var out = new GreyImage(frame.columns, rows);
  var band = 2 * frame.barHalf / rows;
  for (var r = 0; r < rows; r++) {
    var from = -frame.barHalf + r * band;
    sampledRow(rgba, width, height, frame, from, from + band, 3, lean,
               out.data.subarray(r * frame.columns, (r + 1) * frame.columns));
  }
  return out;
}

// Evens out the light along each row: every pixel is placed between the darkest and the
// brightest of its neighbourhood (a dozen narrow bars wide), so a shadow's edge, a
// gradient or a dim corner leave bars black and spaces white. Where the neighbourhood is
// all one shade it is paper: white.
export function evenedLight(image, window, sharpen) {
  var w = image.width;
  var out = new GreyImage(w, image.height);
  var line = new Float32Array(w);
  var low = new Float32Array(w);
  var high = new Float32Array(w);
  for (var r = 0; r < image.height; r++) {
    var row = image.data.subarray(r * w, (r + 1) * w);
    for (var x = 0; x < w; x++) {
      var v = row[x];
      if (sharpen && x > 0 && x < w - 1) v += sharpen * (2 * row[x] - row[x - 1] - row[x + 1]);
      line[x] = v;
    }
    slidingExtremes(line, window, low, high);
    smoothInPlace(low, window);
    smoothInPlace(high, window);
    for (var i = 0; i < w; i++) {
      var range = high[i] - low[i];
      var value = range < 0.18 * high[i] + 10 ? 255 : (line[i] - low[i]) / range * 255;
      out.data[r * w + i] = value < 0 ? 0 : value > 255 ? 255 : value;
    }
  }
  return out;
}

// The least and the greatest value within `window` of each position.
export function slidingExtremes(values, window, low, high) {
  var n = values.length;
  var half = Math.max(1, Math.round(window / 2));
  for (var i = 0; i < n; i++) {
    var from = Math.max(0, i - half), to = Math.min(n - 1, i + half);
    var lo = values[from], hi = lo;
    for (var j = from + 1; j <= to; j++) {
      var v = values[j];
      if (v < lo) lo = v;
      else if (v > hi) hi = v;
    }
    low[i] = lo;
    high[i] = hi;
  }
}

// A running mean over `window` positions.
export function smoothInPlace(values, window) {
  var n = values.length;
  var half = Math.max(1, Math.round(window / 2));
  var prefix = new Float64Array(n + 1);
  for (var i = 0; i < n; i++) prefix[i + 1] = prefix[i] + values[i];
  for (var j = 0; j < n; j++) {
    var from = Math.max(0, j - half), to = Math.min(n, j + half + 1);
    values[j] = (prefix[to] - prefix[from]) / (to - from);
  }
}
