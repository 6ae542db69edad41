// What a decoded barcode or QR code must pass before the page sends it: a slip's check
// digits, a Pix code's CRC and plain characters, an NF-e key's 44 digits.

export var KIND_SLIP = 1;  // read from an Interleaved 2 of 5 barcode
export var KIND_NFE = 3;   // read from a Code 128 barcode
export var KIND_PIX = 'P'; // read from a QR code

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
export function slipCheckDigitsHold(code) {
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
export function crc16(bytes) {
  var crc = 0xFFFF;
  for (var i = 0; i < bytes.length; i++) {
    crc ^= bytes[i] << 8;
    for (var bit = 0; bit < 8; bit++) crc = crc & 0x8000 ? ((crc << 1) ^ 0x1021) & 0xFFFF : (crc << 1) & 0xFFFF;
  }
  return crc;
}

export function utf8Bytes(text) {
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
export function pixCrcHolds(code) {
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
export function acceptScan(text, format) {
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
