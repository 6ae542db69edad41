// A first reading of a barcode drawn here, when the worker starts: the browser compiles
// the reader's code (the wasm's functions and this script's) when it first runs it, which
// would otherwise fall on the first slip that the camera sees.
import { readFrame } from './decode.mjs';

// Interleaved 2 of 5: each digit's five elements, narrow (0) or wide (1).
var ITF = ['00110', '10001', '01001', '11000', '00101', '10100', '01100', '00011', '10010', '01010'];

// The luma of a slip's barcode, `code`'s bars `module` pixels narrow and `height` high, on
// white with a margin of `margin` modules all round.
function drawnSlipBarcode(code, module, height, margin) {
  var widths = [1, 1, 1, 1];  // the start: bar, space, bar, space
  for (var i = 0; i < code.length; i += 2) {
    for (var e = 0; e < 5; e++) {
      widths.push(ITF[+code[i]][e] === '1' ? 3 : 1, ITF[+code[i + 1]][e] === '1' ? 3 : 1);
    }
  }
  widths.push(3, 1, 1);  // the stop: wide bar, space, bar
  var modules = widths.reduce(function (sum, w) { return sum + w; }, 0);
  var width = (modules + 2 * margin) * module;
  var rows = height + 2 * margin * module;
  var luma = new Uint8Array(width * rows).fill(235);
  var x = margin * module;
  widths.forEach(function (w, index) {
    if (index % 2 === 0) {
      for (var row = margin * module; row < margin * module + height; row++) {
        luma.fill(20, row * width + x, row * width + x + w * module);
      }
    }
    x += w * module;
  });
  return { data: luma, width: width, height: rows };
}

// The live view's work, a few times over: the guide's band read each way (the variants)
// and a whole frame searched for a QR code. Code that the browser has optimised for
// pictures of that size serves the first slip in view as well as the tenth. Between
// readings the worker is free for its messages, and the warm-up ends once `stop()` says
// that real work has come.
export async function warmUp(decode, now, stop) {
  var picture = drawnSlipBarcode('00191455700000110009956850418332600000624818', 3, 120, 110);
  var plans = [
    { variant: 0, barcode: true, pix: false }, { variant: 1, barcode: true, pix: false },
    { variant: 2, barcode: true, pix: false }, { variant: 0, barcode: false, pix: true },
    { variant: 0, barcode: true, pix: false }
  ];
  for (var i = 0; i < plans.length; i++) {
    await new Promise(function (resolve) { setTimeout(resolve, 0); });
    if (stop && stop()) return;
    var plan = Object.assign({ searchSide: 960, qrSide: 1280, deadline: Infinity, now: now }, plans[i]);
    try {
      await readFrame(picture.data, picture.width, picture.height, decode, plan);
    } catch (e) {
      return;
    }
  }
}
