// The phone page's reader, in a Web Worker so that the page stays responsive while it
// works. It takes a photo's pixels (RGBA, as the page drew them once at a bounded size),
// looks for a Pix QR code in the whole picture, then finds the regions that look like a
// barcode, turns each level, straightens its bars, evens out its light and decodes a crop
// of it; the whole picture is the barcode's last resort. It answers only with codes whose
// check digits (a Pix code: its CRC) hold.
//
// It uses nothing that Safari on iOS 16.0 lacks in a worker: no canvas at all, only typed
// arrays, so the pure functions can be loaded outside a browser too (the tests do).
'use strict';

var KIND_SLIP = 1;  // read from an Interleaved 2 of 5 barcode
var KIND_NFE = 3;   // read from a Code 128 barcode
var KIND_PIX = 'P'; // read from a QR code

// ------------------------------------------------------------------ check digits

// Modulo-10 check digit: weights 2, 1, 2, 1, ... from the last digit leftwards,
// two-digit products reduced by 9.
function mod10(digits) {
  var sum = 0;
  var weight = 2;
  for (var i = digits.length - 1; i >= 0; i--) {
    var product = Number(digits[i]) * weight;
    sum += product >= 10 ? product - 9 : product;
    weight = weight === 2 ? 1 : 2;
  }
  return (10 - sum % 10) % 10;
}

// Modulo-11 remainder with weights 2 to 9 from the last digit leftwards.
function mod11Remainder(digits) {
  var sum = 0;
  var weight = 2;
  for (var i = digits.length - 1; i >= 0; i--) {
    sum += Number(digits[i]) * weight;
    weight = weight === 9 ? 2 : weight + 1;
  }
  return sum % 11;
}

// The general check digit of a 44-digit slip. A bank slip keeps it at position 5
// (modulo 11; remainders 0 and 1 give 1). A collection slip starts with '8' and keeps
// it at position 4, by modulo 11 when the value-type digit (position 3) is 8 or 9, by
// modulo 10 otherwise (remainders 0 and 1 give 0 there).
function slipCheckDigitsHold(code) {
  if (!/^\d{44}$/.test(code)) return false;
  if (code[0] !== '8') {
    var remainder = mod11Remainder(code.slice(0, 4) + code.slice(5));
    var expected = remainder <= 1 ? 1 : 11 - remainder;
    return Number(code[4]) === expected;
  }
  var others = code.slice(0, 3) + code.slice(4);
  var digit;
  if (code[2] === '8' || code[2] === '9') {
    var r = mod11Remainder(others);
    digit = r <= 1 ? 0 : 11 - r;
  } else {
    digit = mod10(others);
  }
  return Number(code[3]) === digit;
}

// ------------------------------------------------------------------ Pix codes

// CRC-16/CCITT-FALSE (polynomial 0x1021, from 0xFFFF) of the bytes.
function crc16(bytes) {
  var crc = 0xFFFF;
  for (var i = 0; i < bytes.length; i++) {
    crc ^= bytes[i] << 8;
    for (var bit = 0; bit < 8; bit++) crc = crc & 0x8000 ? ((crc << 1) ^ 0x1021) & 0xFFFF : (crc << 1) & 0xFFFF;
  }
  return crc;
}

function utf8Bytes(text) {
  return new TextEncoder().encode(text);
}

// Characters that do not show as themselves, the same as the program refuses: controls,
// format characters (the soft hyphen, zero-width ones, direction marks, embeddings,
// overrides, isolates), every blank but the plain space, the line and paragraph
// separators, surrogates, private use, noncharacters, and the planes of tags and
// unassigned points. Typed into the bank's window, one would make what is paid differ
// from what the person read.
var UNPRINTABLE = new RegExp('[\\u0000-\\u001f\\u007f-\\u00a0\\u00ad\\u0600-\\u0605\\u061c\\u06dd\\u070f' +
  '\\u0890\\u0891\\u08e2\\u1680\\u180e\\u2000-\\u200f\\u2028-\\u202f\\u205f-\\u206f\\u3000' +
  '\\ud800-\\uf8ff\\ufdd0-\\ufdef\\ufeff\\ufff0-\\ufffb\\ufffe\\uffff\\u{110bd}\\u{110cd}' +
  '\\u{13430}-\\u{1343f}\\u{1bca0}-\\u{1bca3}\\u{1d173}-\\u{1d17a}\\u{1fffe}\\u{1ffff}' +
  '\\u{2fffe}\\u{2ffff}\\u{3fffe}\\u{3ffff}\\u{40000}-\\u{e00ff}\\u{e01f0}-\\u{10ffff}]', 'u');

// Whether `code` is a Pix code that came through whole: "000201" first, last the field
// 63 whose four hex digits are the CRC of the UTF-8 of everything before them, and
// nothing in it that does not show. The computer reads its other fields, and checks it
// again.
function pixCrcHolds(code) {
  if (!/^000201/.test(code) || !/6304[0-9A-Fa-f]{4}$/.test(code)) return false;
  if (UNPRINTABLE.test(code) || utf8Bytes(code).length > 512) return false;
  var expected = code.slice(-4).toUpperCase();
  var crc = crc16(utf8Bytes(code.slice(0, -4))).toString(16).toUpperCase();
  return ('000' + crc).slice(-4) === expected;
}

// The code and its kind when a decoded barcode is one worth sending, otherwise null.
// `format` is the reader's name for the symbology: zxing's "ITF" / "Code128" / "QRCode"
// or the native detector's "itf" / "code_128" / "qr_code". A Code 128 read has passed the
// symbology's own checksum; the program judges an NF-e key's check digit.
function acceptScan(text, format) {
  var name = String(format).toLowerCase().replace(/[^a-z0-9]/g, '');
  if (name === 'qrcode') {
    var pix = String(text).replace(/^[\s\ufeff]+|\s+$/g, '');
    return pixCrcHolds(pix) ? { code: pix, kind: KIND_PIX } : null;
  }
  var code = String(text).trim();
  if (!/^\d{44}$/.test(code)) return null;
  if (name === 'itf') return slipCheckDigitsHold(code) ? { code: code, kind: KIND_SLIP } : null;
  if (name === 'code128') return { code: code, kind: KIND_NFE };
  return null;
}

// ------------------------------------------------------------------ the picture

// A grey picture of floats, 0 to 255.
function GreyImage(width, height) {
  this.width = width;
  this.height = height;
  this.data = new Float32Array(width * height);
}

// The photo averaged down by `factor` in each direction: enough to find a barcode, and
// far cheaper to search than the photo itself.
function shrunkGrey(rgba, width, height, factor) {
  var out = new GreyImage(Math.floor(width / factor), Math.floor(height / factor));
  var ow = out.width;
  var sums = out.data;
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

// The photo's brightness at (x, y), interpolated between its four nearest pixels; paper
// white outside the picture, which reads as a quiet zone.
function brightnessAt(rgba, width, height, x, y) {
  var x0 = Math.floor(x);
  var y0 = Math.floor(y);
  if (x0 < 0 || y0 < 0 || x0 >= width - 1 || y0 >= height - 1) return 255;
  var fx = x - x0;
  var fy = y - y0;
  var i = (y0 * width + x0) * 4;
  var j = i + width * 4;
  var a = rgba[i] + 2 * rgba[i + 1] + rgba[i + 2];
  var b = rgba[i + 4] + 2 * rgba[i + 5] + rgba[i + 6];
  var c = rgba[j] + 2 * rgba[j + 1] + rgba[j + 2];
  var d = rgba[j + 4] + 2 * rgba[j + 5] + rgba[j + 6];
  return ((a + (b - a) * fx) * (1 - fy) + (c + (d - c) * fx) * fy) * 0.25;
}

// ------------------------------------------------------------------ finding barcodes

var CELL = 8;  // pixels of the shrunk picture per cell of the search grid (x >> 3 below)

// Per cell of the grid: how strongly the picture changes (relative to its brightness, so
// that a shadow does not hide what lies in it), how much of that change goes one way
// (1: every edge parallel, as in a barcode; 0: every way, as in text or noise), and that
// way: the angle of the brightness gradient, across the bars. Each cell's figures take in
// its eight neighbours, so that a cell spans a few bars even of a barcode seen close up.
function edgeCells(grey) {
  var w = grey.width;
  var g = grey.data;
  var cols = Math.floor(w / CELL);
  var rows = Math.floor(grey.height / CELL);
  var n = cols * rows;
  var xx = new Float64Array(n);
  var yy = new Float64Array(n);
  var xy = new Float64Array(n);
  var level = new Float64Array(n);
  var busy = new Float64Array(n);
  for (var y = 1; y < rows * CELL - 1; y++) {
    var rowCell = (y / CELL | 0) * cols;
    var i = y * w + 1;
    for (var x = 1; x < cols * CELL - 1; x++, i++) {
      var gx = g[i + 1] - g[i - 1];
      var gy = g[i + w] - g[i - w];
      var cell = rowCell + (x >> 3);
      var squared = gx * gx + gy * gy;
      xx[cell] += gx * gx;
      yy[cell] += gy * gy;
      xy[cell] += gx * gy;
      level[cell] += g[i];
      // An edge pixel: a change of a tenth of the brightness over two pixels.
      var edge = 0.1 * g[i] + 2;
      if (squared > edge * edge) busy[cell] += 1;
    }
  }
  var cells = { cols: cols, rows: rows, strength: new Float32Array(n), density: new Float32Array(n),
                coherence: new Float32Array(n), angle: new Float32Array(n) };
  for (var r = 0; r < rows; r++) {
    for (var c = 0; c < cols; c++) {
      var sxx = 0, syy = 0, sxy = 0, sl = 0, sb = 0;
      for (var dr = -1; dr <= 1; dr++) {
        for (var dc = -1; dc <= 1; dc++) {
          var rr = r + dr, cc = c + dc;
          if (rr < 0 || cc < 0 || rr >= rows || cc >= cols) continue;
          var k = rr * cols + cc;
          sxx += xx[k]; syy += yy[k]; sxy += xy[k]; sl += level[k]; sb += busy[k];
        }
      }
      var at = r * cols + c;
      var mean = sl / (9 * CELL * CELL) + 8;
      var energy = sxx + syy;
      cells.strength[at] = energy / (9 * CELL * CELL) / (mean * mean);
      cells.density[at] = sb / (9 * CELL * CELL);
      cells.coherence[at] = energy > 0 ? Math.sqrt((sxx - syy) * (sxx - syy) + 4 * sxy * sxy) / energy : 0;
      cells.angle[at] = 0.5 * Math.atan2(2 * sxy, sxx - syy);
    }
  }
  return cells;
}

var MIN_STRENGTH = 0.012;
var MIN_COHERENCE = 0.55;
// A line, a box's side or a shadow's edge makes strong parallel edges too, but few of
// them: in a barcode most pixels lie on an edge.
var MIN_DENSITY = 0.35;
var MAX_ANGLE_STEP = 20 * Math.PI / 180;

// The difference of two gradient angles, as lines (modulo 180 degrees), in -90..90.
function angleBetween(a, b) {
  var d = a - b;
  while (d > Math.PI / 2) d -= Math.PI;
  while (d < -Math.PI / 2) d += Math.PI;
  return d;
}

// Groups of neighbouring cells with strong edges that all run one way, joined where the
// way changes little from cell to cell (a barcode seen at an angle bends it slowly).
function edgeGroups(cells) {
  var cols = cells.cols;
  var n = cols * cells.rows;
  var label = new Int32Array(n).fill(-1);
  var groups = [];
  var stack = [];
  var strong = function (k) {
    return cells.strength[k] >= MIN_STRENGTH && cells.coherence[k] >= MIN_COHERENCE &&
      cells.density[k] >= MIN_DENSITY;
  };
  for (var start = 0; start < n; start++) {
    if (label[start] >= 0 || !strong(start)) continue;
    var members = [];
    label[start] = groups.length;
    stack.push(start);
    while (stack.length) {
      var k = stack.pop();
      members.push(k);
      var r = Math.floor(k / cols), c = k % cols;
      for (var dr = -1; dr <= 1; dr++) {
        for (var dc = -1; dc <= 1; dc++) {
          var rr = r + dr, cc = c + dc;
          if (rr < 0 || cc < 0 || rr >= cells.rows || cc >= cols) continue;
          var m = rr * cols + cc;
          if (label[m] >= 0 || !strong(m)) continue;
          if (Math.abs(angleBetween(cells.angle[m], cells.angle[k])) > MAX_ANGLE_STEP) continue;
          label[m] = groups.length;
          stack.push(m);
        }
      }
    }
    groups.push(members);
  }
  return groups;
}

// A group's shape: its centre, the direction of its long side (u) and across it (v),
// its extent along each, and how the gradient's angle changes along its length.
// Positions are in cells.
function describeGroup(cells, members) {
  var cols = cells.cols;
  var cx = 0, cy = 0, weight = 0, dc = 0, ds = 0, sharp = 0;
  for (var i = 0; i < members.length; i++) {
    var k = members[i];
    var w = cells.coherence[k];
    cx += w * (k % cols + 0.5);
    cy += w * (Math.floor(k / cols) + 0.5);
    dc += w * Math.cos(2 * cells.angle[k]);
    ds += w * Math.sin(2 * cells.angle[k]);
    weight += w;
    sharp += cells.coherence[k];
  }
  cx /= weight;
  cy /= weight;
  var gradient = 0.5 * Math.atan2(ds, dc);
  // The long side from the spread of the cells; a barcode seen at an angle has its bars
  // sheared against its length, so the two directions need not be at right angles.
  var sxx = 0, syy = 0, sxy = 0;
  for (var j = 0; j < members.length; j++) {
    var dx = members[j] % cols + 0.5 - cx;
    var dy = Math.floor(members[j] / cols) + 0.5 - cy;
    sxx += dx * dx; syy += dy * dy; sxy += dx * dy;
  }
  var axis = 0.5 * Math.atan2(2 * sxy, sxx - syy);
  var ux = Math.cos(axis), uy = Math.sin(axis);
  var t = [], s = [];
  for (var m = 0; m < members.length; m++) {
    var px = members[m] % cols + 0.5 - cx;
    var py = Math.floor(members[m] / cols) + 0.5 - cy;
    t.push(px * ux + py * uy);
    s.push(-px * uy + py * ux);
  }
  var length = spread(t) + 1;
  var height = spread(s) + 1;
  // A short, thick group has no reliable long side: its bars tell the way.
  if (length < 2.5 * height) {
    axis = gradient;
  }
  return {
    cx: cx, cy: cy, axis: axis, gradient: gradient, length: length, height: height,
    cells: members.length, sharpness: sharp / members.length
  };
}

// The extent of values, without the outermost few in a hundred.
function spread(values) {
  var sorted = values.slice().sort(function (a, b) { return a - b; });
  var cut = Math.floor(sorted.length * 0.02);
  return sorted[sorted.length - 1 - cut] - sorted[cut];
}

// Joins the pieces of one barcode that a shadow's edge, a crease or a glare cut apart:
// groups whose bars run the same way and that lie on one line, close together.
function joinPieces(shapes) {
  var joined = true;
  while (joined) {
    joined = false;
    for (var i = 0; i < shapes.length && !joined; i++) {
      for (var j = i + 1; j < shapes.length && !joined; j++) {
        var a = shapes[i], b = shapes[j];
        if (Math.abs(angleBetween(a.gradient, b.gradient)) > 8 * Math.PI / 180) continue;
        var ux = Math.cos(a.axis), uy = Math.sin(a.axis);
        var dx = b.cx - a.cx, dy = b.cy - a.cy;
        var along = dx * ux + dy * uy;
        var across = -dx * uy + dy * ux;
        var gap = Math.abs(along) - (a.length + b.length) / 2;
        if (Math.abs(across) > Math.max(a.height, b.height) * 0.6 || gap > 3) continue;
        shapes[i] = mergedShape(a, b, along, ux, uy);
        shapes.splice(j, 1);
        joined = true;
      }
    }
  }
  return shapes;
}

function mergedShape(a, b, along, ux, uy) {
  var start = Math.min(-a.length / 2, along - b.length / 2);
  var end = Math.max(a.length / 2, along + b.length / 2);
  var middle = (start + end) / 2;
  var cells = a.cells + b.cells;
  return {
    cx: a.cx + middle * ux, cy: a.cy + middle * uy, axis: a.axis, gradient: a.gradient,
    length: end - start, height: Math.max(a.height, b.height), cells: cells,
    sharpness: (a.sharpness * a.cells + b.sharpness * b.cells) / cells
  };
}

// The places worth decoding, most promising first: long groups of parallel edges whose
// edges run across their length, as a barcode's do.
function barcodeCandidates(cells) {
  var shapes = [];
  var groups = edgeGroups(cells);
  for (var i = 0; i < groups.length; i++) {
    if (groups[i].length >= 6) shapes.push(describeGroup(cells, groups[i]));
  }
  shapes = joinPieces(shapes);
  var candidates = [];
  for (var j = 0; j < shapes.length; j++) {
    var shape = shapes[j];
    var elongation = shape.length / shape.height;
    var skew = Math.abs(angleBetween(shape.axis, shape.gradient));
    if (shape.length < 6 || elongation < 1.5 || skew > 35 * Math.PI / 180) continue;
    shape.score = shape.cells * shape.sharpness * Math.min(elongation, 8) * Math.cos(skew);
    candidates.push(shape);
  }
  candidates.sort(function (a, b) { return b.score - a.score; });
  return candidates;
}

// ------------------------------------------------------------------ one region

// The frame of one candidate in the photo's pixels: the centre, the direction along the
// barcode (u) and across it (v), how far the crop reaches along it and how far along the
// bars, and the step between columns so that a narrow bar spans about `modulePixels`.
function regionFrame(shape, factor, modulePixels) {
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
function straightenedRegion(rgba, width, height, factor, shape, modulePixels) {
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
function evenedLight(image, window, sharpen) {
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
function slidingExtremes(values, window, low, high) {
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
function smoothInPlace(values, window) {
  var n = values.length;
  var half = Math.max(1, Math.round(window / 2));
  var prefix = new Float64Array(n + 1);
  for (var i = 0; i < n; i++) prefix[i + 1] = prefix[i] + values[i];
  for (var j = 0; j < n; j++) {
    var from = Math.max(0, j - half), to = Math.min(n, j + half + 1);
    values[j] = (prefix[to] - prefix[from]) / (to - from);
  }
}

// The edges of one row, found where its brightness changes fastest: each a position
// (sub-pixel) and whether it rises from a bar to a space. Defocus leaves a narrow bar
// grey, never black, but the edges around it still change faster than anything near
// them, so they still count once they clear a share of the neighbourhood's strongest.
function rowEdges(row, window) {
  var n = row.length;
  var slope = new Float32Array(n);
  var size = new Float32Array(n);
  for (var x = 1; x < n - 1; x++) {
    slope[x] = (row[x + 1] - row[x - 1]) / 2;
    size[x] = Math.abs(slope[x]);
  }
  var low = new Float32Array(n);
  var strongest = new Float32Array(n);
  slidingExtremes(size, window, low, strongest);
  smoothInPlace(strongest, window);
  var edges = [];
  for (var i = 2; i < n - 2; i++) {
    var m = size[i];
    if (m < size[i - 1] || m <= size[i + 1] || m < 0.2 * strongest[i] || m < 2.5) continue;
    var rising = slope[i] > 0;
    if ((slope[i - 1] > 0) !== rising && (slope[i + 1] > 0) !== rising) continue;
    // The top of the parabola through the peak and its two neighbours.
    var a = size[i - 1], c = size[i + 1];
    var denominator = a - 2 * m + c;
    var at = i + (denominator < 0 ? 0.5 * (a - c) / denominator : 0);
    var last = edges[edges.length - 1];
    if (last && last.rising === rising && at - last.at < window) {
      // Two edges the same way close together: the weaker was noise on a bar or a space.
      if (m > last.size) edges[edges.length - 1] = { at: at, rising: rising, size: m };
      continue;
    }
    edges.push({ at: at, rising: rising, size: m });
  }
  return withQuietGaps(edges, window);
}

// Two edges the same way far apart have a long even stretch between them, such as the
// paper's edge or a shadow's beyond the quiet zone. Neither may take the other's place,
// so an edge the other way is put in beside the one that stands apart from the bars,
// which leaves the stretch on the barcode's side as light as the quiet zone is.
function withQuietGaps(edges, window) {
  var out = [];
  for (var i = 0; i < edges.length; i++) {
    var last = out[out.length - 1];
    var edge = edges[i];
    if (last && last.rising === edge.rising) {
      var before = out[out.length - 2];
      var lastAmongBars = before && last.at - before.at < window;
      var at = lastAmongBars ? edge.at - 1 : last.at + 1;
      out.push({ at: at, rising: !edge.rising, size: 0 });
    }
    out.push(edge);
  }
  return out;
}

// How much wider than its spaces ink and blur made each bar, on each side: a narrow bar
// and a narrow space are printed alike, and most bars and spaces are narrow. A bar grows
// by the spread on both sides and a space shrinks by as much, so the usual bar (a low
// share of the widths, below the wide ones) is four spreads wider than the usual space.
function inkSpread(edges) {
  var bars = [], spaces = [];
  for (var e = 0; e + 1 < edges.length; e++) {
    (edges[e].rising ? spaces : bars).push(edges[e + 1].at - edges[e].at);
  }
  if (bars.length < 20 || spaces.length < 20) return 0;
  var usual = function (widths) {
    widths.sort(function (a, b) { return a - b; });
    return widths[Math.floor(widths.length * 0.3)];
  };
  var spread = (usual(bars) - usual(spaces)) / 4;
  var limit = usual(spaces) * 0.45;
  return Math.max(-limit, Math.min(limit, spread));
}

// Rows drawn anew from their edges, black and white and `scale` times as wide: what the
// reader gets is then the bars as they were printed, with no grey for it to misjudge.
// Each band of rows gives one row of its own, so that the reader's agreement between
// lines is an agreement between parts of the barcode.
function redrawnBands(image, bands, window, scale) {
  var w = image.width;
  var out = new GreyImage(w * scale, bands);
  out.data.fill(255);
  var per = Math.floor(image.height / bands);
  var row = new Float32Array(w);
  for (var b = 0; b < bands; b++) {
    row.fill(0);
    for (var r = b * per; r < (b + 1) * per; r++) {
      for (var x = 0; x < w; x++) row[x] += image.data[r * w + x] / per;
    }
    var edges = rowEdges(row, window);
    var spread = inkSpread(edges);
    var line = out.data.subarray(b * w * scale, (b + 1) * w * scale);
    for (var e = 0; e < edges.length; e++) {
      if (edges[e].rising || e + 1 >= edges.length) continue;
      var from = Math.round((edges[e].at + spread) * scale);
      var to = Math.round((edges[e + 1].at - spread) * scale);
      for (var p = from; p < to; p++) line[p] = 0;
    }
  }
  return out;
}

// The grey picture as the reader takes it: RGBA with a white border, the quiet zone.
function readerPixels(image, border) {
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

// ------------------------------------------------------------------ reading a photo

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

function firstAccepted(results) {
  for (var i = 0; i < results.length; i++) {
    var accepted = acceptScan(results[i].text, results[i].format);
    if (accepted) return accepted;
  }
  return null;
}

// The Pix code of a QR code in the photo, or null. A photo larger than QR_SIDE is
// averaged down first: a QR code printed on a slip keeps several pixels per module.
async function readPix(rgba, width, height, decode) {
  var factor = Math.max(1, Math.round(Math.max(width, height) / QR_SIDE));
  var pixels = factor === 1 ? { data: rgba, width: width, height: height }
    : readerPixels(shrunkGrey(rgba, width, height, factor), 0);
  return firstAccepted(await decode(pixels, QR_OPTIONS));
}

// What the photo's pixels hold: `found`, a slip's or an NF-e's barcode, and `pix`, a Pix
// QR code; null for what is not there. `decode(pixels, options)` is the barcode reader's
// (resolves to its results). The barcode's search gives up once `deadline`
// (performance.now()) has passed, and skips its last resort when a Pix code was found:
// a bill that carries only a QR code must not wait for it.
async function readPixels(rgba, width, height, decode, deadline, now) {
  var pix = await readPix(rgba, width, height, decode);
  return { found: await readBarcode(rgba, width, height, decode, deadline, now, !pix), pix: pix };
}

async function readBarcode(rgba, width, height, decode, deadline, now, lastResort) {
  var factor = Math.max(1, Math.round(Math.max(width, height) / SEARCH_SIDE));
  var grey = shrunkGrey(rgba, width, height, factor);
  var candidates = barcodeCandidates(edgeCells(grey)).slice(0, CANDIDATES);
  // Each region first as a slip's barcode would print at this distance, then with its
  // bars sharpened (a photo out of focus), then finer (a barcode far away).
  var attempts = [[3, 0], [3, 0.8], [4.5, 0.4]];
  for (var a = 0; a < attempts.length; a++) {
    for (var c = 0; c < candidates.length; c++) {
      if (now() > deadline) return null;
      var module = attempts[a][0];
      var region = straightenedRegion(rgba, width, height, factor, candidates[c], module);
      var evened = evenedLight(region, module * 12, attempts[a][1]);
      var found = firstAccepted(await decode(readerPixels(redrawnBands(region, BANDS, module * 10, 2), 8), READER_OPTIONS)) ||
        firstAccepted(await decode(readerPixels(evened, 8), READER_OPTIONS));
      if (found) return found;
    }
  }
  if (now() > deadline || !lastResort) return null;
  return firstAccepted(await decode(readerPixels(grey, 0), WHOLE_PICTURE_OPTIONS));
}

// ------------------------------------------------------------------ the worker

if (typeof importScripts === 'function') {
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
    postMessage({ type: 'ready', decodes: canDecodePhotos() });
  }, function (e) {
    postMessage({ type: 'failed', error: String(e && e.message || e) });
  });

  // Decoding the photo here, off the page's thread, needs createImageBitmap and a 2D
  // OffscreenCanvas in workers (Safari has the latter only from 16.4).
  var canDecodePhotos = function () {
    try {
      return typeof createImageBitmap === 'function' && typeof OffscreenCanvas === 'function' &&
        Boolean(new OffscreenCanvas(1, 1).getContext('2d'));
    } catch (e) {
      return false;
    }
  };

  // The photo's pixels, at no more than `maxPixels`, or null when it cannot be decoded here.
  var decodedPhoto = async function (blob, maxPixels) {
    var bitmap = null;
    try {
      bitmap = await createImageBitmap(blob);
      var scale = Math.min(1, Math.sqrt(maxPixels / (bitmap.width * bitmap.height)));
      var width = Math.max(1, Math.round(bitmap.width * scale));
      var height = Math.max(1, Math.round(bitmap.height * scale));
      var canvas = new OffscreenCanvas(width, height);
      var context = canvas.getContext('2d', { willReadFrequently: true });
      context.imageSmoothingQuality = 'high';
      context.drawImage(bitmap, 0, 0, width, height);
      var pixels = context.getImageData(0, 0, width, height);
      canvas.width = canvas.height = 0;
      return pixels;
    } catch (e) {
      return null;
    } finally {
      if (bitmap) bitmap.close();
    }
  };

  var decodeWith = function (pixels, options) {
    return ZXingWASM.readBarcodes(pixels, options);
  };
  var clock = function () { return performance.now(); };

  // The native detector of Android's Chrome is quick; it is only a first try.
  var native = null;
  var nativeDetector = function () {
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
  };

  // What the native detector reads, as readPixels answers; null when it reads nothing.
  var readNative = async function (job) {
    var detector = await nativeDetector();
    if (!detector || typeof ImageData === 'undefined') return null;
    try {
      var seen = await detector.detect(new ImageData(job.pixels, job.width, job.height));
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
  };

  onmessage = async function (event) {
    var job = event.data;
    var deadline = clock() + job.budget;
    try {
      if (job.photo) {
        var photo = await decodedPhoto(job.photo, job.maxPixels);
        if (!photo) {
          postMessage({ type: 'read', id: job.id, found: null, undecodable: true });
          return;
        }
        job.width = photo.width;
        job.height = photo.height;
        job.buffer = photo.data.buffer;
      }
      job.pixels = new Uint8ClampedArray(job.buffer);
      await reader;
      var reading = job.native ? await readNative(job) : null;
      if (!reading) reading = await readPixels(job.pixels, job.width, job.height, decodeWith, deadline, clock);
      postMessage({ type: 'read', id: job.id, found: reading.found, pix: reading.pix });
    } catch (e) {
      postMessage({ type: 'read', id: job.id, found: null, error: String(e && e.message || e) });
    }
  };
}
