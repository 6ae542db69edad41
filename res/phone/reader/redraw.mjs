// Redrawing a levelled region from its edges: black bars on white, as they were printed,
// so that the reader gets no grey to misjudge.
import { slidingExtremes, smoothInPlace } from './level.mjs';
import { GreyImage } from './picture.mjs';

// The edges of one row, found where its brightness changes fastest: each a position
// (sub-pixel) and whether it rises from a bar to a space. Defocus leaves a narrow bar
// grey, never black, but the edges around it still change faster than anything near
// them, so they still count once they clear a share of the neighbourhood's strongest.
export function rowEdges(row, window) {
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
export function inkSpread(edges) {
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
export function redrawnBands(image, bands, window, scale) {
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
