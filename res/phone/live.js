// The live camera: on a secure page (the PC's https:// address, which the phone trusts
// once), the rear camera reads slips as a scanner does: point, hear the beep, go to the
// next. On the plain page, "Câmera ao vivo" tells how to trust this PC for the phone it
// runs on, then goes to the secure address with the same pairing fragment. Uses app.js's
// worker and sending.
'use strict';

var LIVE_MESSAGES = {
  aim: 'Aponte a câmera para o código de barras, dentro da moldura, ou para o QR code Pix.',
  next: 'Código enviado. Aponte para o próximo.',
  paused: 'Câmera pausada. Toque na imagem para continuar.',
  denied: 'O celular não deixou a página usar a câmera. Permita a câmera para este endereço ' +
    'nos ajustes do navegador, ou use o botão de foto.',
  noCamera: 'Não encontrei uma câmera neste celular. Use o botão de foto.',
  failed: 'A câmera ao vivo não abriu. Use o botão de foto.'
};

// How long the same code stays unsent after it was last seen: a slip held in view is
// read again and again, and goes once.
var SEEN_MS = 3000;
// The camera stops after this long without a code, to spare the battery.
var IDLE_MS = 120000;
// A frame's time in the worker, at most.
var LIVE_FRAME_BUDGET_MS = 900;
// Every this many frames the worker looks for a QR code in the whole frame instead of a
// barcode in the guide's area: a Pix bill's, or the one beside a slip's barcode.
var WHOLE_EVERY = 4;
var GUIDE_MAX_PIXELS = 1920 * 720;
var WHOLE_MAX_PIXELS = 1280 * 720;
// The longer side of the picture the worker looks for barcodes in: a frame's barcode that
// fills the guide frame stays several pixels a bar in half the frame's width.
var SEARCH_SIDE = 960;

var live = null;

// The guide frame's area in the video, as shares of the frame: the width of the view and
// a band around the drawn guide, which is a barcode's shape. Measured when the view opens
// and when the window changes size, not for every frame: measuring lays the page out.
function guideArea(video) {
  var guide = $('guide');
  var box = video.getBoundingClientRect();
  var drawn = guide.getBoundingClientRect();
  if (!box.height || !drawn.height) return { x: 0, y: 0.25, width: 1, height: 0.5 };
  var middle = (drawn.top + drawn.height / 2 - box.top) / box.height;
  var height = Math.min(1, 1.6 * drawn.height / box.height);
  var y = Math.max(0, Math.min(1 - height, middle - height / 2));
  return { x: 0, y: y, width: 1, height: height };
}

// The frame the video shows now, for the worker to copy its pixels from: a VideoFrame
// where the browser has them (its planes are copied as they are), an ImageBitmap
// otherwise; null where the worker cannot take either.
function newestFrame(video) {
  if (typeof VideoFrame === 'function') {
    try {
      return new VideoFrame(video);
    } catch (e) {
      // no frame yet, or none that can be wrapped: a bitmap, then
    }
  }
  return typeof createImageBitmap === 'function' ? createImageBitmap(video) : null;
}

// The worker's reading of the newest frame. It is asked only when it is free, so frames
// never queue up: those shown meanwhile are simply not read.
async function readNewestFrame(session) {
  if (!worker || readerFailed) return { found: null, pix: null };
  var video = $('video');
  var index = session.frames++;
  // The whole frame in its turn, unless the guide holds something like a barcode that a
  // next try may read: then twice at most, for a Pix bill's QR code still gets its turn.
  var turn = index % WHOLE_EVERY === WHOLE_EVERY - 1;
  var postponed = turn && session.barcodeSeen && session.postponed < 2;
  session.postponed = postponed ? session.postponed + 1 : turn ? 0 : session.postponed;
  var whole = turn && !postponed || session.wantWhole;
  session.wantWhole = false;
  if (!session.guide) session.guide = guideArea(video);
  var area = whole ? { x: 0, y: 0, width: 1, height: 1 } : session.guide;
  var plan = {
    area: area, maxPixels: whole ? WHOLE_MAX_PIXELS : GUIDE_MAX_PIXELS,
    variant: index, pix: whole || session.preferPix, barcode: !whole,
    searchSide: SEARCH_SIDE, qrSide: 1280
  };
  var job = { live: plan, budget: LIVE_FRAME_BUDGET_MS };
  var transfer = [];
  var frame = workerDecodes ? await newestFrame(video) : null;
  if (frame) {
    job.frame = frame;
    transfer.push(frame);
  } else {
    // Drawn here, for browsers whose workers cannot draw.
    var pixels = pixelsOf(video, video.videoWidth, video.videoHeight, plan.maxPixels, area);
    job.width = pixels.width;
    job.height = pixels.height;
    job.buffer = pixels.data.buffer;
    transfer.push(job.buffer);
  }
  var said = await askWorker(job, transfer);
  if (!whole) session.barcodeSeen = said.barcodeSeen === true && !said.found;
  var answer = reading(said);
  answer.whole = whole;
  return answer;
}

function nextFrame(session) {
  var video = $('video');
  if (live !== session || session.paused) return;
  if (video.requestVideoFrameCallback) {
    video.requestVideoFrameCallback(function () { pump(session); });
  } else {
    session.timer = setTimeout(function () { pump(session); }, 40);
  }
}

async function pump(session) {
  if (live !== session || session.paused || session.busy) return;
  if ($('video').readyState < 2) {
    session.timer = setTimeout(function () { pump(session); }, 100);
    return;
  }
  session.busy = true;
  var read = null;
  try {
    read = await readNewestFrame(session);
  } catch (e) {
    read = null;
  }
  session.busy = false;
  if (live !== session) return;
  if (read) heard(session, read);
  nextFrame(session);
}

// A frame's codes: each goes once while it stays in view and for SEEN_MS after.
function heard(session, read) {
  var now = Date.now();
  if (read.whole && session.held) {
    read = { found: session.held, pix: read.pix, whole: true };
    session.held = null;
  }
  var scans = [read.found, read.pix].filter(Boolean);
  if (!scans.length) return;
  session.lastCodeAt = now;
  // The computer takes a slip's Pix instead of its barcode: a barcode read in the guide
  // is held for the next reading of the whole frame, where its QR code may be.
  if (session.preferPix && read.found && !read.pix && !read.whole) {
    session.held = read.found;
    session.wantWhole = true;
    return;
  }
  var fresh = scans.some(function (scan) {
    var last = session.seen[scan.code];
    return !last || now - last > SEEN_MS;
  });
  scans.forEach(function (scan) { session.seen[scan.code] = now; });
  if (!fresh) return;
  session.sending = session.sending.then(function () {
    return send(read);
  }).then(function (sent) {
    if (sent && live === session) {
      signal(session);
      showStatus(LIVE_MESSAGES.next, 'ok');
    }
    if (live === session) prepareNextSend(session);
  });
}

// A short vibration and beep: the phone is looking at the slip, not at the screen.
function signal(session) {
  if (navigator.vibrate) navigator.vibrate(80);
  if (!session.beep) return;
  session.beep.currentTime = 0;
  session.beep.muted = false;
  var playing = session.beep.play();
  if (playing && playing.catch) playing.catch(function () {});  // no sound: the card still tells
}

// The beep: a tenth of a second of a 1.8 kHz tone, as a WAV made here. An audio element
// plays it: starting Web Audio can hold the page's thread while the phone's audio wakes.
function beepAddress() {
  var rate = 8000, samples = 720;
  var wav = new DataView(new ArrayBuffer(44 + samples));
  var text = function (at, value) {
    for (var i = 0; i < value.length; i++) wav.setUint8(at + i, value.charCodeAt(i));
  };
  text(0, 'RIFF');
  wav.setUint32(4, 36 + samples, true);
  text(8, 'WAVEfmt ');
  wav.setUint32(16, 16, true);
  wav.setUint16(20, 1, true);     // PCM
  wav.setUint16(22, 1, true);     // one channel
  wav.setUint32(24, rate, true);
  wav.setUint32(28, rate, true);  // bytes a second
  wav.setUint16(32, 1, true);     // bytes a sample
  wav.setUint16(34, 8, true);     // bits a sample
  text(36, 'data');
  wav.setUint32(40, samples, true);
  for (var n = 0; n < samples; n++) {
    var fade = Math.min(1, n / 40, (samples - n) / 40);
    wav.setUint8(44 + n, 128 + Math.round(70 * fade * Math.sin(2 * Math.PI * 1800 * n / rate)));
  }
  return URL.createObjectURL(new Blob([wav.buffer], { type: 'audio/wav' }));
}

var beepUrl = null;

// Made on the tap that opens the camera, and played once silently there: a phone lets a
// page play sound later only from an element it played at a tap.
function makeSound(session) {
  try {
    beepUrl = beepUrl || beepAddress();
    session.beep = new Audio(beepUrl);
    session.beep.muted = true;
    var playing = session.beep.play();
    if (playing && playing.catch) playing.catch(function () {});
  } catch (e) {
    session.beep = null;
  }
}

function stopTracks(session) {
  if (session.stream) session.stream.getTracks().forEach(function (track) { track.stop(); });
  session.stream = null;
  $('video').srcObject = null;
}

// The camera off, the view kept: a tap on it resumes.
function pauseLive() {
  if (!live || live.paused) return;
  live.paused = true;
  clearTimeout(live.timer);
  stopTracks(live);
  $('live').classList.add('paused');
  showStatus(LIVE_MESSAGES.paused);
}

function stopLive() {
  if (!live) return;
  clearTimeout(live.timer);
  clearInterval(live.idleCheck);
  stopTracks(live);
  $('live').hidden = true;
  $('live').classList.remove('paused');
  $('live-start').hidden = false;
  live = null;
}

// Continuous focus where the camera offers it, and the torch button where it has one.
function tuneCamera(track) {
  var capabilities = track.getCapabilities ? track.getCapabilities() : {};
  if (capabilities.focusMode && capabilities.focusMode.indexOf('continuous') >= 0) {
    track.applyConstraints({ advanced: [{ focusMode: 'continuous' }] }).catch(function () {});
  }
  $('torch').hidden = !capabilities.torch;
  $('torch').setAttribute('aria-pressed', 'false');
}

function toggleTorch() {
  if (!live || !live.stream) return;
  var on = $('torch').getAttribute('aria-pressed') !== 'true';
  live.stream.getVideoTracks()[0].applyConstraints({ advanced: [{ torch: on }] }).then(function () {
    $('torch').setAttribute('aria-pressed', String(on));
  }, function () {});
}

async function openCamera(session) {
  try {
    session.stream = await navigator.mediaDevices.getUserMedia({
      video: { facingMode: { ideal: 'environment' }, width: { ideal: 1920 }, height: { ideal: 1080 } },
      audio: false
    });
  } catch (e) {
    var name = e && e.name;
    stopLive();
    showStatus(name === 'NotAllowedError' || name === 'SecurityError' ? LIVE_MESSAGES.denied
      : name === 'NotFoundError' || name === 'OverconstrainedError' ? LIVE_MESSAGES.noCamera
        : LIVE_MESSAGES.failed, 'error');
    return false;
  }
  if (live !== session) {
    stopTracks(session);
    return false;
  }
  tuneCamera(session.stream.getVideoTracks()[0]);
  var video = $('video');
  video.srcObject = session.stream;
  try {
    await video.play();
  } catch (e) {
    // A muted inline video plays without a tap; the frames come once it does.
  }
  session.paused = false;
  session.lastCodeAt = Date.now();
  $('live').classList.remove('paused');
  showStatus(LIVE_MESSAGES.aim);
  nextFrame(session);
  return true;
}

// A nonce kept ready for the next code, and with it the PC's preference for a slip's Pix.
function prepareNextSend(session) {
  keepNonceReady().then(function (spare) {
    if (spare) session.preferPix = spare.preferPix;
  });
}

async function startLive() {
  if (live) return;
  if (!navigator.mediaDevices || !navigator.mediaDevices.getUserMedia) {
    showStatus(LIVE_MESSAGES.noCamera, 'error');
    return;
  }
  var session = {
    stream: null, timer: 0, busy: false, paused: true, frames: 0, seen: {}, lastCodeAt: 0,
    preferPix: false, wantWhole: false, held: null, barcodeSeen: false, postponed: 0, guide: null, sending: Promise.resolve(), beep: null, idleCheck: 0
  };
  live = session;
  makeSound(session);
  $('result').hidden = true;
  $('live').hidden = false;
  $('live-start').hidden = true;
  $('live').scrollIntoView({ block: 'start' });
  prepareNextSend(session);
  session.idleCheck = setInterval(function () {
    if (live === session && !session.paused && Date.now() - session.lastCodeAt > IDLE_MS) pauseLive();
  }, 5000);
  await openCamera(session);
}

function resumeLive() {
  if (!live || !live.paused) return;
  openCamera(live);
}

// ------------------------------------------------------------------ trusting this PC

function isIPhone() {
  return /iPhone|iPad|iPod/.test(navigator.userAgent) ||
    (navigator.platform === 'MacIntel' && navigator.maxTouchPoints > 1);
}

// The same page at the PC's secure address (the same port answers TLS), with the same
// pairing fragment, asked to open the camera at once.
function secureAddress() {
  var fragment = location.hash.replace(/^#/, '').split('&').filter(function (part) {
    return part && !/^live=/.test(part);
  });
  fragment.push('live=1');
  return 'https://' + location.host + '/#' + fragment.join('&');
}

function showTrustSteps() {
  var iphone = isIPhone();
  $('trust-android').hidden = iphone;
  $('trust-iphone').hidden = !iphone;
  $('trust').hidden = false;
  $('go-secure').href = secureAddress();
  $('trust').scrollIntoView({ behavior: 'smooth', block: 'start' });
}

function startLiveControls() {
  var secure = window.isSecureContext && location.protocol === 'https:' ||
    window.isSecureContext && /^(localhost|127\.)/.test(location.hostname);
  $('live-start').hidden = false;
  $('live-start').addEventListener('click', secure ? startLive : showTrustSteps);
  if (!secure) return;
  $('live-stop').addEventListener('click', stopLive);
  $('torch').addEventListener('click', toggleTorch);
  $('viewfinder').addEventListener('click', resumeLive);
  document.addEventListener('visibilitychange', function () {
    if (document.hidden) pauseLive();
  });
  window.addEventListener('resize', function () {
    if (live) live.guide = null;
  });
  // Sent here from the plain page: the camera opens at once.
  if (/(^#|&)live=1(&|$)/.test(location.hash) && token()) startLive();
}

if (typeof document !== 'undefined') {
  if (document.readyState === 'loading') {
    document.addEventListener('DOMContentLoaded', startLiveControls);
  } else {
    startLiveControls();
  }
}
