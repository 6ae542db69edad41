// The phone's scanning page: takes a photo of a payment slip's or an NF-e's barcode, or of
// a Pix QR code, has the reader worker read it, and hands the code to Zentory on the
// computer that served the page; live.js adds the live camera. The reading itself, and
// the check digits, live in the reader worker (reader/worker.mjs and its modules): this
// page only shows and sends.
'use strict';

var KIND_NFE = 3;
var KIND_PIX = 'P';

// ------------------------------------------------------------------ the page

var MESSAGES = {
  ready: 'Toque no botão e fotografe o código de barras do boleto ou da nota fiscal, ou o ' +
    'QR code Pix.',
  reading: 'Lendo o código…',
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
  invalidDigit: 'Atenção: o computador diz que o dígito verificador não confere.',
  barcodeNotPix: 'Este boleto também traz um QR code Pix; foi enviado o código de barras.',
  pixNotBarcode: 'Foi enviado o Pix deste boleto, como pede a configuração do Zentory.'
};

// The photo is drawn once, at most this large: enough for the bars of a slip photographed
// whole, and within what phones allow a canvas (iOS limits one to 16.7 million pixels).
var MAX_PIXELS = 12.6e6;
// How long the worker may read one photo.
var PHOTO_BUDGET_MS = 2200;

// The pairing secret, from the address's fragment ("#t=..."), which the browser never
// sends; an old link's query was moved there by the page's head.
function token() {
  return new URLSearchParams(location.hash.replace(/^#/, '')).get('t') ||
    new URLSearchParams(location.search).get('t') || '';
}

function $(id) {
  return document.getElementById(id);
}

function showStatus(text, tone) {
  var status = $('status');
  status.textContent = text;
  status.className = tone || '';
  $('hint').hidden = text !== MESSAGES.unreadable;
}

function setBusy(busy) {
  document.body.classList.toggle('busy', busy);
  var inputs = document.querySelectorAll('input[type=file]');
  for (var i = 0; i < inputs.length; i++) inputs[i].disabled = busy;
}

// ------------------------------------------------------------------ the reader worker

var worker = null;
var readerFailed = false;
// Whether the worker decodes photos itself (Chromium, Firefox, Safari from 16.4): the page's
// main thread then does nothing heavy. Otherwise the page draws the photo and hands over
// its pixels.
var workerDecodes = false;
var jobs = {};
var nextJob = 1;

function hearWorker(message) {
  if (message.type === 'ready') {
    workerDecodes = message.decodes === true;
    document.documentElement.dataset.reader = 'ready';
  } else if (message.type === 'failed') {
    readerFailed = true;
    showStatus(MESSAGES.noReader, 'error');
  } else if (message.type === 'read' && jobs[message.id]) {
    var taker = jobs[message.id];
    if (!message.partial) delete jobs[message.id];
    taker(message);
  }
}

// The worker that the page's head started, the first time; a new one when it is replaced.
function startWorker() {
  var early = window.earlyReader;
  window.earlyReader = null;
  try {
    worker = early && early.worker ? early.worker : new Worker(readerWorkerUrl);
  } catch (e) {
    readerFailed = true;
    return;
  }
  worker.onmessage = function (event) {
    hearWorker(event.data);
  };
  worker.onerror = function () {
    readerFailed = true;
  };
  if (early) early.said.forEach(hearWorker);
}

// Beyond a job's budget, the time a slow phone may take to decode a large photo first.
var WORKER_GRACE_MS = 10000;

// The worker's answer to `job` (its `found` barcode and its `pix` code, each or null). A
// worker that does not answer in time (it ran out of memory, or hung) is replaced, and the
// photo counts as unread. A barcode read ahead of the rest comes first, with the final
// answer to follow in its `rest`.
function askWorker(job, transfer) {
  if (!worker || readerFailed) return Promise.resolve({ found: null });
  var id = nextJob++;
  job.id = id;
  job.native = 'BarcodeDetector' in window;
  return new Promise(function (resolve) {
    var finish = resolve;
    var timer = setTimeout(function () {
      delete jobs[id];
      worker.terminate();
      startWorker();
      finish({ found: null });
    }, job.budget + WORKER_GRACE_MS);
    jobs[id] = function (answer) {
      if (answer.partial) {
        answer.rest = new Promise(function (taker) { finish = taker; });
        resolve(answer);
        return;
      }
      clearTimeout(timer);
      finish(answer);
    };
    worker.postMessage(job, transfer);
  });
}

// What the worker reads in these pixels: { found, pix }, each a scan or null.
async function readInWorker(pixels, budget) {
  var job = { width: pixels.width, height: pixels.height, buffer: pixels.data.buffer, budget: budget };
  return reading(await askWorker(job, [pixels.data.buffer]));
}

function reading(answer) {
  return { found: answer.found || null, pix: answer.pix || null, rest: answer.rest || null };
}

// The whole reading of a photo whose barcode came first.
async function wholeReading(read) {
  if (!read.rest) return read;
  var rest = await read.rest;
  return { found: read.found || rest.found || null, pix: rest.pix || null, rest: null };
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

// The source's pixels (of its `area`, shares of it, when given), drawn once at no more
// than `maxPixels`; the canvas is freed at once, since phones limit the memory of all
// canvases together.
function pixelsOf(source, width, height, maxPixels, area) {
  area = area || { x: 0, y: 0, width: 1, height: 1 };
  var sw = Math.max(1, Math.round(area.width * width));
  var sh = Math.max(1, Math.round(area.height * height));
  var scale = Math.min(1, Math.sqrt(maxPixels / (sw * sh)));
  var canvas = document.createElement('canvas');
  canvas.width = Math.max(1, Math.round(sw * scale));
  canvas.height = Math.max(1, Math.round(sh * scale));
  try {
    var context = canvas.getContext('2d', { willReadFrequently: true });
    context.imageSmoothingQuality = 'high';
    context.drawImage(source, Math.round(area.x * width), Math.round(area.y * height), sw, sh,
                      0, 0, canvas.width, canvas.height);
    return context.getImageData(0, 0, canvas.width, canvas.height);
  } finally {
    canvas.width = canvas.height = 0;
  }
}

async function readPhoto(file) {
  // The nonce comes while the photo is read, and with it whether the computer prefers a
  // slip's Pix; unless it does, a barcode is read first and sent as soon as it is.
  keepNonceReady();
  if (workerDecodes) {
    var barcodeFirst = !(spareNonce && spareNonce.preferPix);
    var answer = await askWorker({ photo: file, maxPixels: MAX_PIXELS, budget: PHOTO_BUDGET_MS,
                                   barcodeFirst: barcodeFirst }, []);
    // A photo that the worker could not decode may still be one that the page can draw.
    if (!answer.undecodable) return reading(answer);
  }
  var image = await loadImage(file);
  var pixels = pixelsOf(image, image.naturalWidth, image.naturalHeight, MAX_PIXELS);
  image.src = '';
  return readInWorker(pixels, PHOTO_BUDGET_MS);
}

// What was sent, as the computer read it; `note` tells which code of a slip with a Pix QR
// code went.
function showSent(answer, scan, note) {
  var pix = scan.kind === KIND_PIX;
  $('sent-label').textContent = pix ? 'Pix enviado' : scan.kind === KIND_NFE ? 'Chave de NF-e enviada'
    : scan.code[0] === '8' ? 'Conta enviada' : 'Boleto enviado';
  $('sent-code').textContent = pix ? [answer.name, answer.city].filter(Boolean).join(', ')
    : answer.typeable || answer.code || scan.code;
  $('sent-code').classList.toggle('pix', pix);
  $('sent-note').textContent = note || '';
  $('sent-note').hidden = !note;
  $('sent-value').textContent = answer.value || '';
  $('sent-due').textContent = answer.due || '';
  $('row-value').hidden = !answer.value;
  $('row-due').hidden = !answer.due;
  $('sent-warning').hidden = answer.valid !== false;
  $('sent-warning').textContent = MESSAGES.invalidDigit;
  $('result').hidden = false;
}

// A slip's barcode went before its photo was read to the end: the card says so when the
// rest of the reading finds that the slip also carried a Pix, unless it shows another
// code by then.
function noteLaterPix(rest) {
  var shown = $('sent-code').textContent;
  rest.then(function (whole) {
    if (!whole.pix || $('result').hidden || $('sent-code').textContent !== shown) return;
    $('sent-note').textContent = MESSAGES.barcodeNotPix;
    $('sent-note').hidden = false;
  });
}

// The scan that goes of what a photo holds: the barcode, or the Pix code when there is no
// barcode or when the computer prefers the Pix of a slip that carries both.
function chosenScan(read, preferPix) {
  if (read.found && read.pix) return preferPix ? read.pix : read.found;
  return read.found || read.pix;
}

// A nonce asked for ahead of a scan: the live camera keeps one ready, so that a code read
// goes in one request. The computer keeps a nonce for 60 s.
var spareNonce = null;
var NONCE_KEPT_MS = 45000;

async function askNonce() {
  var answer = await fetch('/nonce', { method: 'POST', cache: 'no-store' });
  if (!answer.ok) return { refused: answer };
  var given = await answer.json();
  return { nonce: given.nonce || '', preferPix: given.preferPix === true, at: Date.now() };
}

function freshNonce(given) {
  return given && Date.now() - given.at < NONCE_KEPT_MS;
}

// Resolves to the spare nonce, asked for now unless one is ready; null when none came.
function keepNonceReady() {
  if (freshNonce(spareNonce)) return Promise.resolve(spareNonce);
  return askNonce().then(function (given) {
    if (given.refused) return null;
    spareNonce = given;
    return given;
  }, function () { return null; });
}

function takeNonce() {
  var spare = spareNonce;
  spareNonce = null;
  return freshNonce(spare) ? Promise.resolve(spare) : askNonce();
}

// Posts one scan of what was read, with its proof: a fresh nonce from the computer, and
// the HMAC-SHA256 of the nonce, the kind and the code keyed with the pairing secret. The
// secret itself never leaves the phone. The nonce's answer says whether the computer
// prefers a slip's Pix. Resolves to the computer's response and the scan that went.
async function postScan(read) {
  var given = await takeNonce();
  if (given.refused) return { response: given.refused, scan: chosenScan(read, false), read: read };
  // A computer that prefers a slip's Pix waits for the photo's whole reading.
  if (given.preferPix && !read.pix) read = await wholeReading(read);
  var nonce = given.nonce;
  var scan = chosenScan(read, given.preferPix);
  var proof = ZentoryProof.scanProof(token(), nonce, String(scan.kind), scan.code);
  var response = await fetch('/scan?k=' + scan.kind + '&n=' + encodeURIComponent(nonce) + '&p=' + proof, {
    method: 'POST',
    headers: { 'Content-Type': 'text/plain;charset=utf-8' },
    body: scan.code,
    cache: 'no-store'
  });
  return { response: response, scan: scan, read: read };
}

// Resolves to whether the computer took the code.
async function send(read) {
  showStatus(MESSAGES.sending);
  if (!token()) {
    showStatus(MESSAGES.unpaired, 'error');
    return false;
  }
  var response;
  var scan;
  var body = '';
  try {
    // A nonce that expired meanwhile (the computer was busy, the phone slept) is asked
    // for again, once.
    for (var attempt = 0; attempt < 2; attempt++) {
      var posted = await postScan(read);
      response = posted.response;
      scan = posted.scan;
      read = posted.read;
      body = await response.text().catch(function () { return ''; });
      if (!(response.status === 403 && body.trim() === 'nonce')) break;
    }
  } catch (e) {
    showStatus(MESSAGES.offline, 'error');
    return false;
  }
  if (response.ok) {
    var answer = {};
    try { answer = JSON.parse(body); } catch (e) { answer = {}; }
    var both = read.found && read.pix;
    showSent(answer, scan, both ? (scan === read.pix ? MESSAGES.pixNotBarcode : MESSAGES.barcodeNotPix) : '');
    showStatus(MESSAGES.sent, 'ok');
    if (read.rest && scan === read.found) noteLaterPix(read.rest);
  } else if (response.status === 403) {
    showStatus(body.trim() === 'sender' ? MESSAGES.sender : MESSAGES.unpaired, 'error');
  } else if (response.status === 429) {
    showStatus(MESSAGES.tooMany, 'error');
  } else {
    showStatus('O computador recusou o código (erro ' + response.status + ').', 'error');
  }
  return response.ok;
}

async function handle(read) {
  if (!read || !(read.found || read.pix)) {
    showStatus(readerFailed ? MESSAGES.noReader : MESSAGES.unreadable, 'error');
    return;
  }
  await send(read);
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

// ------------------------------------------------------------------ start

function start() {
  // The worker starts first: it fetches and compiles the reader while the page shows.
  startWorker();
  if (token()) {
    showStatus(MESSAGES.ready);
  } else {
    showStatus(MESSAGES.unpaired, 'error');
  }
  $('photo').addEventListener('change', onPhoto);
  $('gallery').addEventListener('change', onPhoto);
}

if (typeof document !== 'undefined') {
  if (document.readyState === 'loading') {
    document.addEventListener('DOMContentLoaded', start);
  } else {
    start();
  }
}
