// The phone's scanning page: reads a payment-slip or NF-e barcode from a photo (or, where
// the browser allows it, from live video), checks it and hands it to Zentory on the
// computer that served the page.
//
// The pure functions come first and touch no page object, so that the tests can load
// this file outside a browser and compare its check-digit rules with the program's.
'use strict';

var CODE_LENGTH = 44;
var KIND_SLIP = 1;  // read from an Interleaved 2 of 5 barcode
var KIND_NFE = 3;   // read from a Code 128 barcode

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

// The code and its kind when a decoded barcode is one worth sending, otherwise null.
// `format` is the reader's name for the symbology: zxing's "ITF" / "Code128" or the
// native detector's "itf" / "code_128".
function acceptScan(text, format) {
  var name = String(format).toLowerCase().replace(/[^a-z0-9]/g, '');
  var code = String(text).trim();
  if (!/^\d{44}$/.test(code)) return null;
  if (name === 'itf') return slipCheckDigitsHold(code) ? { code: code, kind: KIND_SLIP } : null;
  if (name === 'code128') return { code: code, kind: KIND_NFE };
  return null;
}

// ------------------------------------------------------------------ the page

var MESSAGES = {
  ready: 'Toque no botão e fotografe o código de barras do boleto ou da nota fiscal.',
  reading: 'Lendo o código de barras…',
  sending: 'Enviando ao computador…',
  sent: 'Código enviado ao computador.',
  unreadable: 'Não consegui ler, tente de novo',
  unpaired: 'Este celular não está pareado: leia de novo o QR code no computador',
  sender: 'O computador não aceita códigos deste celular. No Zentory, veja ' +
    'Opções > Configuração, quadro "Quem pode enviar códigos".',
  tooMany: 'Muitas leituras seguidas. Espere alguns segundos e tente de novo.',
  offline: 'Não consegui falar com o computador. Confira se o Zentory está aberto e se o ' +
    'celular está na mesma rede Wi-Fi.',
  noReader: 'Não consegui carregar o leitor de códigos. Recarregue a página.',
  invalidDigit: 'Atenção: o computador diz que o dígito verificador não confere.'
};

// The photo is read at these sizes of its long side, largest first. The largest keeps
// the narrow bars of a barcode far from the lens; the smaller ones average away the
// sensor noise that hides the bars of a dim or grainy photo.
var SIDES = [2000, 1200, 800];
// Tilts, in degrees, tried in turn. The reader takes a slip's barcode only up to about
// five degrees off level (it tries quarter turns itself); these cover a hand that does
// not hold the phone straight.
var TILTS = [0, -8, 8, -16, 16, -24, 24];
var READER_OPTIONS = {
  formats: ['ITF', 'Code128'],
  tryHarder: true,
  tryRotate: true,
  tryInvert: false,
  maxNumberOfSymbols: 8
};

function token() {
  return new URLSearchParams(location.search).get('t') || '';
}

function $(id) {
  return document.getElementById(id);
}

function showStatus(text, tone) {
  var status = $('status');
  status.textContent = text;
  status.className = tone || '';
}

function setBusy(busy) {
  document.body.classList.toggle('busy', busy);
  var inputs = document.querySelectorAll('input[type=file]');
  for (var i = 0; i < inputs.length; i++) inputs[i].disabled = busy;
}

var nativeDetector = null;

// Android Chrome has a native detector that is faster than the wasm reader; it is only
// a first try, since it is missing on iPhones and on many desktop browsers.
async function prepareNativeDetector() {
  if (!('BarcodeDetector' in window)) return;
  try {
    var supported = await window.BarcodeDetector.getSupportedFormats();
    var formats = ['itf', 'code_128'].filter(function (f) { return supported.indexOf(f) >= 0; });
    if (formats.length) nativeDetector = new window.BarcodeDetector({ formats: formats });
  } catch (e) {
    nativeDetector = null;
  }
}

async function detectNative(source) {
  if (!nativeDetector) return null;
  try {
    var found = await nativeDetector.detect(source);
    for (var i = 0; i < found.length; i++) {
      var accepted = acceptScan(found[i].rawValue, found[i].format);
      if (accepted) return accepted;
    }
  } catch (e) {
    // A detector that fails on one image may work on the next; the wasm reader follows.
  }
  return null;
}

async function detectWasm(canvas) {
  if (readerFailed) return null;
  var context = canvas.getContext('2d', { willReadFrequently: true });
  var pixels = context.getImageData(0, 0, canvas.width, canvas.height);
  var results = await ZXingWASM.readBarcodes(pixels, READER_OPTIONS);
  for (var i = 0; i < results.length; i++) {
    var accepted = acceptScan(results[i].text, results[i].format);
    if (accepted) return accepted;
  }
  return null;
}

function loadImage(file) {
  return new Promise(function (resolve, reject) {
    var url = URL.createObjectURL(file);
    var image = new Image();
    image.onload = function () { URL.revokeObjectURL(url); resolve(image); };
    image.onerror = function () { URL.revokeObjectURL(url); reject(new Error('image')); };
    image.src = url;
  });
}

// One canvas for every attempt: phones limit the memory of all canvases together, and
// resizing this one frees its previous picture at once.
var workCanvas = null;

// The source drawn on the work canvas, on white, scaled down to at most `maxSide` and
// tilted by `degrees` (the canvas grows to hold the whole tilted picture).
function drawn(source, width, height, maxSide, degrees) {
  var scale = Math.min(1, maxSide / Math.max(width, height));
  var w = Math.round(width * scale);
  var h = Math.round(height * scale);
  var radians = degrees * Math.PI / 180;
  var cos = Math.abs(Math.cos(radians));
  var sin = Math.abs(Math.sin(radians));
  var canvas = workCanvas || (workCanvas = document.createElement('canvas'));
  canvas.width = Math.ceil(w * cos + h * sin);
  canvas.height = Math.ceil(w * sin + h * cos);
  var context = canvas.getContext('2d', { willReadFrequently: true });
  context.fillStyle = '#fff';
  context.fillRect(0, 0, canvas.width, canvas.height);
  context.imageSmoothingQuality = 'high';
  context.translate(canvas.width / 2, canvas.height / 2);
  context.rotate(radians);
  context.drawImage(source, -w / 2, -h / 2, w, h);
  return canvas;
}

async function readPhoto(file) {
  var image = await loadImage(file);
  var width = image.naturalWidth;
  var height = image.naturalHeight;
  try {
    var found = await detectNative(drawn(image, width, height, SIDES[0], 0));
    for (var t = 0; !found && t < TILTS.length; t++) {
      for (var s = 0; !found && s < SIDES.length; s++) {
        // Past the first tilt, only the smaller sizes: they are the quick ones, and a
        // barcode small enough to need the largest one is rarely tilted as well.
        if (t > 0 && s === 0) continue;
        found = await detectWasm(drawn(image, width, height, SIDES[s], TILTS[t]));
      }
    }
    return found;
  } finally {
    workCanvas.width = workCanvas.height = 0;
  }
}

function showSent(answer, scan) {
  $('sent-label').textContent = scan.kind === KIND_NFE ? 'Chave de NF-e enviada'
    : scan.code[0] === '8' ? 'Conta enviada' : 'Boleto enviado';
  $('sent-code').textContent = answer.typeable || answer.code || scan.code;
  $('sent-value').textContent = answer.value || '';
  $('sent-due').textContent = answer.due || '';
  $('row-value').hidden = !answer.value;
  $('row-due').hidden = !answer.due;
  $('sent-warning').hidden = answer.valid !== false;
  $('sent-warning').textContent = MESSAGES.invalidDigit;
  $('result').hidden = false;
}

async function send(scan) {
  showStatus(MESSAGES.sending);
  var response;
  try {
    response = await fetch('/scan?t=' + encodeURIComponent(token()) + '&k=' + scan.kind, {
      method: 'POST',
      headers: { 'Content-Type': 'text/plain' },
      body: scan.code,
      cache: 'no-store'
    });
  } catch (e) {
    showStatus(MESSAGES.offline, 'error');
    return;
  }
  var body = await response.text().catch(function () { return ''; });
  if (response.ok) {
    var answer = {};
    try { answer = JSON.parse(body); } catch (e) { answer = {}; }
    showSent(answer, scan);
    showStatus(MESSAGES.sent, 'ok');
  } else if (response.status === 403) {
    showStatus(body.trim() === 'sender' ? MESSAGES.sender : MESSAGES.unpaired, 'error');
  } else if (response.status === 429) {
    showStatus(MESSAGES.tooMany, 'error');
  } else {
    showStatus('O computador recusou o código (erro ' + response.status + ').', 'error');
  }
}

async function handle(scan) {
  if (!scan) {
    showStatus(readerFailed ? MESSAGES.noReader : MESSAGES.unreadable, 'error');
    return;
  }
  await send(scan);
}

async function onPhoto(event) {
  var input = event.target;
  var file = input.files && input.files[0];
  if (!file) return;
  stopLive();
  $('result').hidden = true;
  setBusy(true);
  showStatus(MESSAGES.reading);
  try {
    await handle(await readPhoto(file));
  } catch (e) {
    showStatus(readerFailed ? MESSAGES.noReader : MESSAGES.unreadable, 'error');
  } finally {
    input.value = '';  // the same photo chosen again must fire another change
    setBusy(false);
  }
}

// ------------------------------------------------------------------ live video
// Only where the browser gives the camera to the page: it needs a secure context, which
// a plain address on the local network is not, so on most phones only the photo remains.

var live = null;

function stopLive() {
  if (!live) return;
  clearTimeout(live.timer);
  live.stream.getTracks().forEach(function (track) { track.stop(); });
  $('video').srcObject = null;
  $('live').hidden = true;
  $('live-start').hidden = false;
  live = null;
}

async function liveFrame() {
  var video = $('video');
  if (!live || video.readyState < 2) {
    if (live) live.timer = setTimeout(liveFrame, 200);
    return;
  }
  var session = live;
  var found = await detectNative(video);
  if (!found) {
    try {
      found = await detectWasm(drawn(video, video.videoWidth, video.videoHeight, 1280, 0));
    } catch (e) {
      found = null;
    }
  }
  if (live !== session) return;
  if (found) {
    stopLive();
    $('result').hidden = true;
    await handle(found);
    return;
  }
  live.timer = setTimeout(liveFrame, 150);
}

async function startLive() {
  try {
    var stream = await navigator.mediaDevices.getUserMedia({
      video: { facingMode: 'environment', width: { ideal: 1920 }, height: { ideal: 1080 } },
      audio: false
    });
    live = { stream: stream, timer: 0 };
    var video = $('video');
    video.srcObject = stream;
    await video.play();
    $('live').hidden = false;
    $('live-start').hidden = true;
    showStatus('Aponte a câmera para o código de barras.');
    liveFrame();
  } catch (e) {
    stopLive();
    showStatus('A câmera ao vivo não abriu. Use o botão de foto.', 'error');
  }
}

// ------------------------------------------------------------------ start

var readerFailed = false;

function start() {
  if (token()) {
    showStatus(MESSAGES.ready);
  } else {
    showStatus(MESSAGES.unpaired, 'error');
  }
  $('photo').addEventListener('change', onPhoto);
  $('gallery').addEventListener('change', onPhoto);
  if (window.isSecureContext && navigator.mediaDevices && navigator.mediaDevices.getUserMedia) {
    $('live-start').hidden = false;
    $('live-start').addEventListener('click', startLive);
    $('live-stop').addEventListener('click', stopLive);
  }
  prepareNativeDetector();

  // Without the wasm reader the native detector, where there is one, still reads.
  if (typeof ZXingWASM === 'undefined') {
    readerFailed = true;
    return;
  }
  // The reader's wasm comes from this computer, never from the Internet: the phone may
  // have no Internet at all, and the page must not depend on anyone else's server.
  ZXingWASM.prepareZXingModule({
    overrides: {
      locateFile: function (path, prefix) {
        return path.endsWith('.wasm') ? '@ZXING_READER_WASM@' : prefix + path;
      }
    },
    fireImmediately: true
  }).catch(function () {
    readerFailed = true;
    showStatus(MESSAGES.noReader, 'error');
  });
}

if (typeof document !== 'undefined') {
  if (document.readyState === 'loading') {
    document.addEventListener('DOMContentLoaded', start);
  } else {
    start();
  }
}
