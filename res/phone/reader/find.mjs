// Finding barcodes: the places of a shrunk grey picture where strong edges run one way,
// densely, along a long and narrow group of cells, most promising first.

export var CELL = 8;  // pixels of the shrunk picture per cell of the search grid (x >> 3 below)

// Per cell of the grid: how strongly the picture changes (relative to its brightness, so
// that a shadow does not hide what lies in it), how much of that change goes one way
// (1: every edge parallel, as in a barcode; 0: every way, as in text or noise), and that
// way: the angle of the brightness gradient, across the bars. Each cell's figures take in
// its eight neighbours, so that a cell spans a few bars even of a barcode seen close up.
export function edgeCells(grey) {
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
export function angleBetween(a, b) {
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
export function barcodeCandidates(cells) {
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
