// Runs the phone page on a folder of photos (make_photos.py's manifest.json, or the
// browser test's photos.json) in Debian's Chromium dressed as a Pixel 5 with its CPU
// slowed down, and says how many it read, how fast, and how soon the page is ready on a
// slow network. The server is the browser test's (tests/browser/harness.mjs); by default
// build/native/zentory-cli listen --http, or ZENTORY_LISTEN_CMD. With --prefer-pix the
// server asks for a slip's Pix QR code, and the photos' `pix` codes are expected instead.
//
//   node bench/phone_reading/run.mjs --photos DIR [--levels easy,typical,hard] [--verbose]
//        [--no-ready] [--throttle 4] [--timeout 20] [--reopen 10] [--json FILE]
//        [--deadline MINUTES] [--prefer-pix]
import { existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { parseArgs } from 'node:util';
import {
  homeTrusting, launchPhone, repoRoot, startServer, statusAfterReading,
} from '../../tests/browser/harness.mjs';
import { quarterCore } from './quarter_core.mjs';

const DEVICE = 'Pixel 5';
const NETWORK = { offline: false, latency: 20, downloadThroughput: 5e6 / 8, uploadThroughput: 5e6 / 8 };
const READY_RUNS = 3;
const SENT = 'Código enviado ao computador.';

const { values: opts } = parseArgs({
  options: {
    photos: { type: 'string' },
    levels: { type: 'string' },
    verbose: { type: 'boolean', default: false },
    'no-ready': { type: 'boolean', default: false },
    'ready-only': { type: 'boolean', default: false },
    throttle: { type: 'string', default: '4' },
    cpu: { type: 'string', default: process.getuid && process.getuid() === 0 ? 'cgroup' : 'throttle' },
    secure: { type: 'boolean', default: false },
    timeout: { type: 'string', default: '20' },
    reopen: { type: 'string', default: '10' },
    json: { type: 'string' },
    deadline: { type: 'string', default: '40' },
    'prefer-pix': { type: 'boolean', default: false },
  },
});
if (!opts.photos && !opts['ready-only']) {
  process.stderr.write('usage: run.mjs --photos DIR [--levels L,...] [--verbose] [--no-ready]\n');
  process.exit(2);
}
// A phone's speed: the whole browser in a cgroup held to a quarter of one core (as root),
// or Chromium's own CPU throttling, which slows the page's thread but never its workers.
const cpu = opts.cpu === 'cgroup' ? quarterCore(25, { cameraInside: true }) : null;
if (cpu) process.env.CHROMIUM = cpu.executable;
const rate = cpu ? 1 : Number(opts.throttle);
const cpuLabel = cpu ? cpu.label.replace(', the fake camera too', '') : `CPU slowed ${rate}x by Chromium`;
const photoTimeout = Number(opts.timeout) * 1000;
const reopenEvery = Math.max(1, Number(opts.reopen));
const deadline = Date.now() + Number(opts.deadline) * 60_000;
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const log = (text = '') => process.stdout.write(`${text}\n`);

if (!process.env.ZENTORY_PAGE_URL && !process.env.ZENTORY_LISTEN_CMD) {
  process.env.ZENTORY_LISTEN_CMD = path.join(repoRoot, 'build/native/zentory-cli');
}
const preferPix = opts['prefer-pix'];
if (preferPix) {
  if (process.env.ZENTORY_PAGE_URL) {
    process.stderr.write('run.mjs: --prefer-pix starts its own server; ZENTORY_PAGE_URL names one already running\n');
    process.exit(2);
  }
  process.env.ZENTORY_LISTEN_ARGS = `${process.env.ZENTORY_LISTEN_ARGS || ''} --prefer-pix`.trim();
}

// ------------------------------------------------------------------ instrumenting a page

// In the page, before its own scripts: no native detector (as on most phones, and so the
// wasm reader is what is measured), and a log of the status's changes and of the moment
// the page declares its reader ready, in wall-clock milliseconds.
function pageProbe() {
  delete window.BarcodeDetector;
  const now = () => performance.timeOrigin + performance.now();
  const bench = { changes: [], readerReady: null, declares: false, photoAt: null, liveAt: null };
  window.__bench = bench;
  // The moment the page has the photo, as after the phone's camera hands it over.
  document.addEventListener('change', () => { bench.photoAt = now(); }, true);
  const mark = () => {
    const reader = document.documentElement && document.documentElement.dataset.reader;
    if (reader !== undefined) bench.declares = true;
    if (reader === 'ready' && bench.readerReady === null) bench.readerReady = now();
    // The live camera's button, shown once the page can open the camera.
    const live = document.getElementById('live-start');
    if (live && !live.hidden && bench.liveAt === null) bench.liveAt = now();
  };
  new MutationObserver((records) => {
    mark();
    const status = document.getElementById('status');
    if (records.some((r) => r.target === document.body || (status && status.contains(r.target)))) {
      bench.changes.push({ at: now(), text: status ? status.textContent : '' });
    }
  }).observe(document, { subtree: true, childList: true, attributes: true, characterData: true });
}

// A CDP session on the page: the CPU slowed down by `rate`, the network emulated if
// asked, and every .wasm request followed, also those of the page's dedicated workers.
// Workers are caught as they start (auto-attach, waiting for the debugger) so that they
// can be slowed down too, where Chromium allows it, before they run. Playwright's CDP
// session cannot address a flattened child session, so the worker's messages travel
// wrapped (flatten: false, Target.sendMessageToTarget).
async function instrument(context, page, { network = null } = {}) {
  const cdp = await context.newCDPSession(page);
  const state = { page: 'not throttled', workers: [], wasm: [], clockOffset: null };
  let wake = () => {};
  const changed = () => wake();
  const requests = new Map();
  const onNetwork = (method, params) => {
    if (method === 'Network.requestWillBeSent') {
      if (state.clockOffset === null && params.wallTime) {
        state.clockOffset = params.wallTime * 1000 - params.timestamp * 1000;
      }
      if (/\.wasm$/.test(new URL(params.request.url).pathname)) requests.set(params.requestId, params.request.url);
    } else if (method === 'Network.loadingFinished' && requests.has(params.requestId)) {
      state.wasm.push({ url: requests.get(params.requestId), finished: params.timestamp * 1000 });
      changed();
    } else if (method === 'Network.loadingFailed' && requests.has(params.requestId)) {
      state.wasm.push({ url: requests.get(params.requestId), failed: params.errorText });
      changed();
    }
  };
  for (const method of ['Network.requestWillBeSent', 'Network.loadingFinished', 'Network.loadingFailed']) {
    cdp.on(method, (params) => onNetwork(method, params));
  }

  let nextId = 1;
  const pending = new Map();
  const toWorker = (sessionId, method, params = {}) => new Promise((resolve, reject) => {
    const id = nextId++;
    pending.set(id, { resolve, reject });
    cdp.send('Target.sendMessageToTarget', { sessionId, message: JSON.stringify({ id, method, params }) })
      .catch(reject);
  });
  cdp.on('Target.receivedMessageFromTarget', ({ message }) => {
    const m = JSON.parse(message);
    if (m.id && pending.has(m.id)) {
      const { resolve, reject } = pending.get(m.id);
      pending.delete(m.id);
      if (m.error) reject(new Error(m.error.message)); else resolve(m.result);
    } else if (m.method) {
      onNetwork(m.method, m.params);
    }
  });
  cdp.on('Target.attachedToTarget', async ({ sessionId, targetInfo, waitingForDebugger }) => {
    const worker = { type: targetInfo.type, url: targetInfo.url, throttle: 'not throttled' };
    try {
      if (targetInfo.type === 'worker') {
        state.workers.push(worker);
        await toWorker(sessionId, 'Network.enable');
        if (rate > 1) {
          try {
            await toWorker(sessionId, 'Emulation.setCPUThrottlingRate', { rate });
            worker.throttle = `throttled ${rate}x`;
          } catch (error) {
            worker.throttle = `not throttled (Chromium: ${error.message})`;
          }
        }
      }
    } finally {
      if (waitingForDebugger) await toWorker(sessionId, 'Runtime.runIfWaitingForDebugger').catch(() => {});
      changed();
    }
  });

  await cdp.send('Network.enable');
  if (network) await cdp.send('Network.emulateNetworkConditions', network);
  if (rate > 1) {
    await cdp.send('Emulation.setCPUThrottlingRate', { rate });
    state.page = `throttled ${rate}x`;
  }
  await cdp.send('Target.setAutoAttach', { autoAttach: true, waitForDebuggerOnStart: true, flatten: false });

  // Resolves when `test()` holds, or with false after `ms`.
  state.until = async (test, ms) => {
    const end = Date.now() + ms;
    while (!test()) {
      const left = end - Date.now();
      if (left <= 0) return false;
      await new Promise((resolve) => { wake = resolve; setTimeout(resolve, Math.min(left, 100)); });
    }
    return true;
  };
  state.wall = (monotonicMs) => (state.clockOffset === null ? null : monotonicMs + state.clockOffset);
  state.detach = () => cdp.detach().catch(() => {});
  return state;
}

// Opens the page and waits until its reader has arrived: its wasm loaded and, where the
// page says so (data-reader="ready"), compiled. Times from the start of the navigation.
async function openReader(context, pageUrl, { network = null, waitUntil = 'load' } = {}) {
  const page = await context.newPage();
  await page.addInitScript(pageProbe);
  const probe = await instrument(context, page, { network });
  const start = Date.now();
  await page.goto(pageUrl.href, { waitUntil, timeout: 60_000 });
  const wasmSeen = await probe.until(() => probe.wasm.length > 0, 45_000);
  const declared = async () => page.evaluate(() => window.__bench).catch(() => null);
  let bench = await declared();
  // A page that declares its reader gets time to do so; one that does not gets a moment
  // for the compilation that follows the download.
  const end = Date.now() + (bench?.declares ? 30_000 : 3_000);
  while (Date.now() < end && !bench?.readerReady) {
    await sleep(100);
    bench = await declared();
  }
  const wasm = probe.wasm.find((w) => w.finished !== undefined);
  const result = {
    page, probe, start,
    wasmMs: wasm && probe.wall(wasm.finished) !== null ? probe.wall(wasm.finished) - start : null,
    wasmFailed: probe.wasm.find((w) => w.failed)?.failed ?? (wasmSeen ? null : 'no .wasm request seen'),
    readyMs: bench?.readerReady ? bench.readerReady - start : null,
    liveMs: bench?.liveAt ? bench.liveAt - start : null,
    declares: Boolean(bench?.declares),
  };
  return result;
}

// ------------------------------------------------------------------ reading photos

// The browser test's listing names no document: its kind and Pix code tell.
function docOf(photo) {
  if (photo.kind === 'P') return 'pix-bill';
  if (photo.kind === 3) return 'danfe';
  return photo.pix ? 'bank-slip-pix' : 'slip';
}

function loadPhotos(dir) {
  const manifest = path.join(dir, 'manifest.json');
  if (existsSync(manifest)) return JSON.parse(readFileSync(manifest, 'utf8')).photos;
  const listing = path.join(dir, 'photos.json');
  if (existsSync(listing)) {
    return JSON.parse(readFileSync(listing, 'utf8')).map((p) => ({ level: 'ci', doc: docOf(p), ...p }));
  }
  throw new Error(`${dir} has neither manifest.json nor photos.json`);
}

// What the page must send: a slip's barcode, or with the Pix preference its Pix QR code
// where it has one. The other code of the same slip is still a wrong one.
const expectedOf = (photo) => (preferPix && photo.pix ? photo.pix : photo.code);

async function readOne(reader, server, photo, file) {
  const { page } = reader;
  await page.evaluate(() => { window.__bench.changes = []; window.__bench.photoAt = null; });
  const since = server.arrivals.count;
  const start = Date.now();
  let status;
  let timedOut = false;
  try {
    // By its path: Chromium then reads the file itself, as a phone's page gets its camera's
    // photo, instead of Playwright sending the bytes through the debugging protocol.
    await page.setInputFiles('#photo', file);
    status = await statusAfterReading(page, photoTimeout);
  } catch (error) {
    if (!/Timeout|timeout/.test(error.message)) throw error;
    timedOut = true;
  }
  const bench = await page.evaluate(() => window.__bench).catch(() => null);
  const last = bench?.changes?.length ? bench.changes[bench.changes.length - 1].at : null;
  const from = bench?.photoAt ?? start;
  const ms = timedOut ? photoTimeout : Math.max(0, (last ?? Date.now()) - from);
  if (status === SENT) await server.arrivals.next(since, 3000).catch(() => {});
  const arrived = (await server.arrivals.after(since, 150)).map((a) => a.code ?? a.unparsed);
  const expected = expectedOf(photo);
  const wrong = arrived.filter((code) => code !== expected);
  // A photo not answered in time is unread, whatever the page sent meanwhile.
  const outcome = timedOut ? 'unread' : wrong.length ? 'wrong' : arrived.includes(expected) ? 'read' : 'unread';
  const size = photo.params ? `${photo.params.width}x${photo.params.height}` : null;
  // A slip's other code: its barcode where the Pix code was wanted, or the other way.
  const other = photo.pix && wrong.includes(expected === photo.pix ? photo.code : photo.pix);
  return { file: photo.file, level: photo.level, doc: photo.doc, size, expected, outcome,
           ms: Math.round(ms), status: timedOut ? 'timeout' : status, timedOut, got: wrong,
           ...(other ? { gotOtherCode: true } : {}) };
}

async function readAll(server, photos, dir) {
  // Nothing is intercepted: a request routed through the test costs a round trip that a
  // phone never pays, and the time of a photo includes its sending.
  const phone = await launchPhone({ device: DEVICE, blockOutside: false });
  const results = [];
  let reader = null;
  let throttled = null;
  let sinceOpen = 0;
  const close = async () => {
    if (reader) await reader.page.close().catch(() => {});
    reader = null;
  };
  try {
    for (const [i, photo] of photos.entries()) {
      if (Date.now() > deadline) {
        results.push({ file: photo.file, level: photo.level, doc: photo.doc, expected: expectedOf(photo),
                       outcome: 'skipped' });
        continue;
      }
      if (!reader || sinceOpen >= reopenEvery) {
        await close();
        reader = await openReader(phone.context, server.pageUrl);
        if (reader.wasmFailed) log(`  (the reader's wasm: ${reader.wasmFailed})`);
        sinceOpen = 0;
      }
      const r = await readOne(reader, server, photo, path.resolve(dir, photo.file));
      if (!throttled || reader.probe.workers.length > throttled.workers.length) {
        throttled = { page: reader.probe.page, workers: reader.probe.workers.map((w) => ({ ...w })) };
      }
      results.push(r);
      sinceOpen++;
      if (opts.verbose) {
        const got = r.got.length ? `  got ${r.gotOtherCode ? "the slip's other code " : ''}${r.got.join(',')}` : '';
        log(`  ${String(i + 1).padStart(3)} ${r.file.padEnd(34)} ${r.outcome.padEnd(6)} ` +
            `${(r.ms / 1000).toFixed(2).padStart(6)} s  ${r.status ?? ''}${got}`);
      }
      if (r.timedOut) {  // a page that did not finish is not trusted again
        await close();
        await sleep(300);
      }
    }
  } finally {
    await close();
    await phone.close();
  }
  return { results, throttled };
}

// ------------------------------------------------------------------ ready times

// The time to the load of a page of nothing (the server's answer to an unknown address)
// on the same network, from the start of the navigation.
async function emptyPageMs(context, pageUrl) {
  const page = await context.newPage();
  try {
    const cdp = await context.newCDPSession(page);
    await cdp.send('Network.enable');
    await cdp.send('Network.emulateNetworkConditions', NETWORK);
    const start = Date.now();
    await page.goto(new URL('/nothing-here', pageUrl).href, { waitUntil: 'load', timeout: 60_000 });
    return Date.now() - start;
  } finally {
    await page.close();
  }
}

// With `secure`, the page's secure address, by a phone that trusts the authority: the
// handshake is in the time, and a repeat visit resumes the session.
async function readyTimes(server, secure) {
  const runs = [];
  const pageUrl = new URL(server.pageUrl);
  if (secure) pageUrl.protocol = 'https:';
  for (let run = 0; run < READY_RUNS && Date.now() < deadline; run++) {
    // A fresh profile each run.
    const phone = await launchPhone({ device: DEVICE, blockOutside: false, home: secure?.home });
    try {
      const visits = {};
      for (const visit of ['first', 'repeat']) {
        const r = await openReader(phone.context, pageUrl, { network: NETWORK, waitUntil: 'commit' });
        visits[visit] = { wasmMs: r.wasmMs, readyMs: r.readyMs, liveMs: r.liveMs, declares: r.declares,
                          failed: r.wasmFailed, workers: r.probe.workers.map((w) => w.throttle) };
        await r.page.close();
      }
      // The floor that the browser itself sets: a page of nothing at the same address, in
      // a profile of its own, the first time (a new connection) and again.
      const empty = await launchPhone({ device: DEVICE, blockOutside: false, home: secure?.home });
      try {
        for (const visit of ['first', 'repeat']) visits[visit].emptyMs = await emptyPageMs(empty.context, pageUrl);
      } finally {
        await empty.close();
      }
      runs.push(visits);
    } finally {
      await phone.close();
    }
  }
  return runs;
}

// ------------------------------------------------------------------ figures

function quantile(sorted, q) {
  if (!sorted.length) return null;
  const pos = (sorted.length - 1) * q;
  const lo = Math.floor(pos);
  return sorted[lo] + (sorted[Math.min(lo + 1, sorted.length - 1)] - sorted[lo]) * (pos - lo);
}
const median = (values) => quantile([...values].sort((a, b) => a - b), 0.5);
const seconds = (ms) => (ms === null || ms === undefined ? '-' : `${(ms / 1000).toFixed(2)} s`);

function tally(of) {
  const count = (o) => of.filter((r) => r.outcome === o).length;
  return { n: of.length, read: count('read'), wrong: count('wrong'), unread: count('unread'),
           timeouts: of.filter((r) => r.timedOut).length };
}

function summarise(results) {
  const answered = results.filter((r) => r.outcome !== 'skipped');
  const perLevel = {};
  for (const level of new Set(results.map((r) => r.level))) {
    perLevel[level] = tally(answered.filter((r) => r.level === level));
  }
  // Each kind of document on its own: a Pix QR code is read by other means than bars.
  const perDoc = {};
  for (const doc of new Set(results.map((r) => r.doc ?? '-'))) {
    perDoc[doc] = tally(answered.filter((r) => (r.doc ?? '-') === doc));
    perDoc[doc].otherCode = answered.filter((r) => (r.doc ?? '-') === doc && r.gotOtherCode).length;
  }
  const readMs = results.filter((r) => r.outcome === 'read').map((r) => r.ms).sort((a, b) => a - b);
  const unread = results.filter((r) => r.outcome === 'unread').sort((a, b) => b.ms - a.ms);
  // Portrait and landscape photos of one camera together: their pixels cost the same.
  const bySize = {};
  for (const r of results.filter((x) => x.size && x.outcome !== 'skipped')) {
    const key = r.size.split('x').map(Number).sort((a, b) => b - a).join('x');
    (bySize[key] ??= { n: 0, read: 0, readMs: [] }).n++;
    if (r.outcome === 'read') { bySize[key].read++; bySize[key].readMs.push(r.ms); }
  }
  for (const s of Object.values(bySize)) {
    s.readMedianMs = median(s.readMs);
    delete s.readMs;
  }
  return {
    perLevel,
    perDoc,
    bySize,
    wrong: results.filter((r) => r.outcome === 'wrong'),
    read: { n: readMs.length, medianMs: quantile(readMs, 0.5), p95Ms: quantile(readMs, 0.95),
            minMs: readMs[0] ?? null, maxMs: readMs[readMs.length - 1] ?? null },
    slowestUnread: unread[0] ? { file: unread[0].file, ms: unread[0].ms, status: unread[0].status } : null,
    unreadMedianMs: median(unread.map((r) => r.ms)),
    skipped: results.filter((r) => r.outcome === 'skipped').length,
  };
}

// ------------------------------------------------------------------ main

const began = Date.now();
let secure = null;
if (opts.secure) {
  const certs = mkdtempSync(path.join(tmpdir(), 'zentory-certs-'));
  process.env.ZENTORY_LISTEN_ARGS = `${process.env.ZENTORY_LISTEN_ARGS || ''} --certs ${certs}`.trim();
  secure = { certs };
}
const server = await startServer();
if (secure) secure.home = homeTrusting(path.join(secure.certs, 'ca.pem'));
const stopAll = async () => {
  await server.stop();
  if (cpu) cpu.close();
  for (const folder of [secure?.certs, secure?.home]) if (folder) rmSync(folder, { recursive: true, force: true });
};
process.once('SIGINT', () => { stopAll().finally(() => process.exit(130)); });
process.once('SIGTERM', () => { stopAll().finally(() => process.exit(143)); });

const report = { server: server.label, device: DEVICE, cpu: cpuLabel, cpuThrottle: rate, preferPix,
                 startedAt: new Date().toISOString() };
try {
  log(`server: ${server.label}${preferPix ? " --prefer-pix (a slip's Pix code is expected)" : ''}`);
  log(`phone: ${DEVICE} in Chromium, ${cpuLabel}`);
  if (!opts['ready-only']) {
    const dir = path.resolve(opts.photos);
    let photos = loadPhotos(dir);
    if (opts.levels) {
      const wanted = opts.levels.split(',');
      photos = photos.filter((p) => wanted.includes(p.level));
    }
    log(`photos: ${photos.length} in ${dir}`);
    const { results, throttled } = await readAll(server, photos, dir);
    const summary = summarise(results);
    Object.assign(report, { photos: dir, throttled, summary, results });

    log('');
    log(`throttled: page main thread: ${throttled?.page ?? '-'}; ` +
        (throttled?.workers.length
          ? throttled.workers.map((w) => `worker ${path.basename(w.url)}: ${w.throttle}`).join('; ')
          : 'no dedicated worker started'));
    log('');
    const table = (heading, rows, width) => {
      log(`${heading.padEnd(width)} read            wrong  unread (timeouts)`);
      for (const [name, s] of Object.entries(rows)) {
        const pct = s.n ? Math.round((100 * s.read) / s.n) : 0;
        log(`${name.padEnd(width)} ${`${s.read}/${s.n}`.padStart(6)} ${`${pct}%`.padStart(5)}    ` +
            `${String(s.wrong).padStart(5)}  ${String(s.unread).padStart(6)} (${s.timeouts})` +
            (s.otherCode ? `  ${s.otherCode} sent the slip's other code` : ''));
      }
    };
    table('level', summary.perLevel, 10);
    log('');
    table('document', summary.perDoc, 14);
    if (summary.skipped) log(`(${summary.skipped} photos skipped: the run's deadline came first)`);
    log('');
    if (summary.wrong.length) {
      log('wrong codes:');
      for (const w of summary.wrong) {
        log(`  ${w.file}: expected ${w.expected}, got ${w.gotOtherCode ? "the slip's other code " : ''}` +
            w.got.join(', '));
      }
    } else {
      log('wrong codes: none');
    }
    const rd = summary.read;
    log(`read photos, from the page having the photo to its final status: median ${seconds(rd.medianMs)}, ` +
        `95th percentile ${seconds(rd.p95Ms)} (${seconds(rd.minMs)} to ${seconds(rd.maxMs)}, n = ${rd.n})`);
    for (const [size, s] of Object.entries(summary.bySize)) {
      log(`  ${size} photos: read ${s.read}/${s.n}, median read time ${seconds(s.readMedianMs)}`);
    }
    if (summary.slowestUnread) {
      log(`unread photos: median ${seconds(summary.unreadMedianMs)}; slowest ${seconds(summary.slowestUnread.ms)} ` +
          `(${summary.slowestUnread.file}, "${summary.slowestUnread.status}")`);
    }
  }

  if (!opts['no-ready']) {
    log('');
    log(`${secure ? 'secure page (https, the handshake included)' : 'page'} ready at 5 Mbit/s, 20 ms latency, ` +
        `${cpuLabel} (median of ${READY_RUNS} runs, ` +
        'from the start of the navigation):');
    const runs = await readyTimes(server, secure);
    const ready = {};
    for (const visit of ['first', 'repeat']) {
      const of = runs.map((r) => r[visit]).filter(Boolean);
      const wasm = of.map((v) => v.wasmMs).filter((v) => v !== null);
      const declared = of.map((v) => v.readyMs).filter((v) => v !== null);
      const live = of.map((v) => v.liveMs).filter((v) => v !== null);
      ready[visit] = { wasmMs: median(wasm), readyMs: median(declared), liveMs: median(live),
                       emptyMs: median(of.map((v) => v.emptyMs)), runs: of };
      const label = visit === 'first' ? 'first visit (empty cache) ' : 'repeat visit (same profile)';
      log(`  ${label}: reader's wasm loaded ${seconds(ready[visit].wasmMs)}` +
          (declared.length ? `; page says ready ${seconds(ready[visit].readyMs)}` : '; (the page does not declare data-reader="ready")') +
          (live.length ? `; live camera's button ${seconds(ready[visit].liveMs)}` : '') +
          `; a page of nothing ${seconds(ready[visit].emptyMs)}` +
          (of.some((v) => v.failed) ? `  [${of.map((v) => v.failed).filter(Boolean).join('; ')}]` : ''));
    }
    const workers = runs.flatMap((r) => r.first.workers);
    if (workers.length) log(`  worker CPU: ${[...new Set(workers)].join('; ')}`);
    report.ready = ready;
  }
} finally {
  await stopAll();
}
report.elapsedS = Math.round((Date.now() - began) / 1000);
const jsonFile = opts.json || `/tmp/zentory-phone-reading-${report.startedAt.replace(/[:.]/g, '-')}.json`;
writeFileSync(jsonFile, `${JSON.stringify(report, null, 1)}\n`);
log('');
log(`results: ${jsonFile} (${report.elapsedS} s)`);
