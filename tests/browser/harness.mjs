// What the phone page's test and its screenshot script share: the server under test
// (started here, or one already running), Debian's Chromium dressed as a phone, and
// photos of generated barcodes.
import { spawn, spawnSync } from 'node:child_process';
import { mkdirSync, mkdtempSync, readFileSync, rmSync, statSync } from 'node:fs';
import { createRequire } from 'node:module';
import dgram from 'node:dgram';
import net from 'node:net';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { createInterface } from 'node:readline';
import { fileURLToPath } from 'node:url';
import { createHmac, randomBytes } from 'node:crypto';

// The packages live in web/, beside the page's own reader.
const requireFromWeb = createRequire(new URL('../../web/package.json', import.meta.url));
const { chromium, devices } = requireFromWeb('playwright-core');
const bwipjs = requireFromWeb('bwip-js');

export const repoRoot = fileURLToPath(new URL('../../', import.meta.url));
const MOCK_SERVER = fileURLToPath(new URL('mock_server.mjs', import.meta.url));

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

function freePort() {
  return new Promise((resolve, reject) => {
    const probe = net.createServer();
    probe.once('error', reject);
    probe.listen(0, '127.0.0.1', () => {
      const { port } = probe.address();
      probe.close(() => resolve(port));
    });
  });
}

// The JSON lines a listener prints, one per accepted code, kept in arrival order.
class Arrivals {
  constructor() {
    this.lines = [];
    this.times = [];  // Date.now() of each line's arrival
    this.waiters = [];
  }

  push(line) {
    if (!line.trim()) return;
    try {
      this.lines.push(JSON.parse(line));
    } catch {
      this.lines.push({ unparsed: line });
    }
    this.times.push(Date.now());
    this.waiters.forEach((wake) => wake());
  }

  get count() {
    return this.lines.length;
  }

  // The first line after `since` lines, or an error after `timeoutMs`.
  next(since, timeoutMs = 10_000) {
    return new Promise((resolve, reject) => {
      const check = () => {
        if (this.lines.length <= since) return false;
        cleanup();
        resolve(this.lines[since]);
        return true;
      };
      const timer = setTimeout(() => {
        cleanup();
        reject(new Error(`no code arrived within ${timeoutMs} ms`));
      }, timeoutMs);
      const cleanup = () => {
        clearTimeout(timer);
        this.waiters = this.waiters.filter((w) => w !== check);
      };
      if (!check()) this.waiters.push(check);
    });
  }

  // Everything that arrived after `since` lines, once `quietMs` have passed.
  async after(since, quietMs = 800) {
    await sleep(quietMs);
    return this.lines.slice(since);
  }
}

// A UDP port nobody holds, for the datagrams a listener also takes: the default one
// may belong to a Zentory running on this machine or to another test.
function freeUdpPort() {
  return new Promise((resolve, reject) => {
    const probe = dgram.createSocket('udp4');
    probe.once('error', reject);
    probe.bind(0, '127.0.0.1', () => {
      const { port } = probe.address();
      probe.close(() => resolve(port));
    });
  });
}

function splitCommand(text) {
  return (text.match(/"[^"]*"|\S+/g) || []).map((word) => word.replace(/^"|"$/g, ''));
}

// Follows a file that another process appends JSON lines to.
function followFile(file, arrivals) {
  let offset = 0;
  try { offset = statSync(file).size; } catch { offset = 0; }
  let partial = '';
  const timer = setInterval(() => {
    let size;
    try { size = statSync(file).size; } catch { return; }
    if (size <= offset) return;
    const text = readFileSync(file).subarray(offset, size).toString('utf8');
    offset = size;
    const lines = (partial + text).split('\n');
    partial = lines.pop();
    lines.forEach((line) => arrivals.push(line));
  }, 100);
  return () => clearInterval(timer);
}

async function waitForPage(url, child, stderr) {
  const deadline = Date.now() + 20_000;
  while (Date.now() < deadline) {
    if (child && child.exitCode !== null) {
      throw new Error(`the listener ended with ${child.exitCode}: ${stderr()}`);
    }
    try {
      const response = await fetch(url);
      if (response.ok) return;
    } catch {
      // not listening yet
    }
    await sleep(150);
  }
  throw new Error(`${url} did not answer within 20 s: ${stderr()}`);
}

// The pairing secret of a page's address: after '#', or in an old link's query.
export function tokenOf(pageUrl) {
  return new URLSearchParams(pageUrl.hash.slice(1)).get('t') || pageUrl.searchParams.get('t');
}

// A scan as the page posts it, from Node: a nonce, then the code with the HMAC-SHA256 of
// the nonce, the kind and the code keyed with `token` (Node's own HMAC, not the page's).
export async function postScan(pageUrl, code, { token = tokenOf(pageUrl), kind = 1 } = {}) {
  const nonceAnswer = await fetch(new URL('/nonce', pageUrl), { method: 'POST' });
  if (!nonceAnswer.ok) return nonceAnswer;
  const { nonce } = await nonceAnswer.json();
  const proof = createHmac('sha256', token).update(`${nonce}:${kind}:${code}`).digest('hex');
  return fetch(new URL(`/scan?k=${kind}&n=${nonce}&p=${proof}`, pageUrl), {
    method: 'POST', headers: { 'Content-Type': 'text/plain' }, body: code,
  });
}

// The server under test, one of:
// - ZENTORY_PAGE_URL=http://127.0.0.1:PORT/#t=TOKEN, already running, with
//   ZENTORY_ARRIVALS_FILE naming the file its JSON lines go to;
// - ZENTORY_LISTEN_CMD (e.g. build/native/zentory-cli), started here as
//   `CMD listen --port UDP --http PORT --token TOKEN [ZENTORY_LISTEN_ARGS]`;
// - otherwise the mock server beside this file, started the same way.
export async function startServer() {
  const arrivals = new Arrivals();
  const given = process.env.ZENTORY_PAGE_URL;
  if (given) {
    const pageUrl = new URL(given);
    const arrivalsFile = process.env.ZENTORY_ARRIVALS_FILE;
    if (!arrivalsFile) {
      throw new Error('ZENTORY_PAGE_URL needs ZENTORY_ARRIVALS_FILE: the file where the ' +
                      "server's accepted codes arrive, one JSON line each");
    }
    const unfollow = followFile(arrivalsFile, arrivals);
    await waitForPage(pageUrl.href, null, () => '');
    return { pageUrl, token: tokenOf(pageUrl), arrivals, label: given,
             stop: async () => unfollow() };
  }

  const port = await freePort();
  const token = randomBytes(16).toString('hex');  // the program's tokens: 32 hex digits
  const command = process.env.ZENTORY_LISTEN_CMD
    ? splitCommand(process.env.ZENTORY_LISTEN_CMD)
    : [process.execPath, MOCK_SERVER];
  const extra = splitCommand(process.env.ZENTORY_LISTEN_ARGS || '');
  const args = [...command.slice(1), 'listen', '--port', String(await freeUdpPort()),
                '--http', String(port), '--token', token, ...extra];
  const child = spawn(command[0], args, { cwd: repoRoot, stdio: ['ignore', 'pipe', 'pipe'] });
  let errors = '';
  child.stderr.on('data', (chunk) => { errors = (errors + chunk).slice(-4000); });
  createInterface({ input: child.stdout }).on('line', (line) => arrivals.push(line));
  const exited = new Promise((resolve) => child.once('exit', resolve));
  const stop = async () => {
    if (child.exitCode === null) child.kill('SIGTERM');
    let timer;
    // A timer left running would keep node alive for its 3 s after the last test.
    await Promise.race([exited, new Promise((resolve) => { timer = setTimeout(resolve, 3000); })]);
    clearTimeout(timer);
    if (child.exitCode === null && child.signalCode === null) child.kill('SIGKILL');
  };
  const pageUrl = new URL(`http://127.0.0.1:${port}/#t=${token}`);
  try {
    await waitForPage(pageUrl.href, child, () => errors);
  } catch (error) {
    await stop();
    throw error;
  }
  return { pageUrl, token, arrivals, label: command.join(' '), stop, stderr: () => errors };
}

// A home folder whose NSS database (the one Chromium reads on Linux) trusts the
// certificate authority in the PEM file `authority`, as a phone that installed it does.
export function homeTrusting(authority) {
  const home = mkdtempSync(path.join(tmpdir(), 'zentory-home-'));
  const nssdb = path.join(home, '.pki', 'nssdb');
  mkdirSync(nssdb, { recursive: true });
  for (const args of [['-N', '--empty-password'],
                      ['-A', '-t', 'C,,', '-n', 'Zentory', '-i', authority]]) {
    const made = spawnSync('certutil', ['-d', `sql:${nssdb}`, ...args], { encoding: 'utf8' });
    if (made.status !== 0) throw new Error(`certutil ${args[0]}: ${made.stderr || made.error}`);
  }
  return home;
}

// Debian's Chromium as an Android phone, in a profile of its own. Every request that
// leaves 127.0.0.1 is refused and remembered: the page must need nothing else. Without
// `blockOutside` nothing is intercepted (interception costs each request a round trip,
// which timings of the page's loading must not include). `args` go to Chromium as well
// (a fake camera's), `permissions` are granted to every page, and `home` is the HOME it
// runs with (see homeTrusting).
export async function launchPhone({ device = 'Pixel 7', blockOutside = true, args = [],
                                    permissions = [], home = null } = {}) {
  const profile = mkdtempSync(path.join(tmpdir(), 'zentory-phone-'));
  const phone = devices[device];
  if (!phone) throw new Error(`playwright knows no device named ${device}`);
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync',
           ...args],
    permissions,
    ...(home ? { env: { ...process.env, HOME: home } } : {}),
    viewport: phone.viewport,
    screen: phone.screen,
    deviceScaleFactor: phone.deviceScaleFactor,
    isMobile: true,
    hasTouch: true,
    userAgent: phone.userAgent,
    locale: 'pt-BR',
  });
  const outside = [];
  if (blockOutside) {
    await context.route('**/*', (route) => {
      const url = new URL(route.request().url());
      if (url.hostname === '127.0.0.1') return route.continue();
      outside.push(url.href);
      return route.abort('blockedbyclient');
    });
  }
  const close = async () => {
    await context.close();
    rmSync(profile, { recursive: true, force: true });
  };
  return { context, outside, close };
}

// A PNG of the barcode, as a slip or an invoice prints it.
export function barcodePng(kind, text) {
  const options = kind === 'itf' ? { bcid: 'interleaved2of5', text, scale: 3, height: 13 }
    : kind === 'qrcode' ? { bcid: 'qrcode', text, scale: 6, eclevel: 'M' }
    : { bcid: 'code128', text, scale: 3, height: 12 };
  return bwipjs.toBuffer({ ...options, includetext: false, paddingwidth: 10, paddingheight: 4 });
}

// A phone's JPEG photo of a paper with that barcode on it: tilted by `degrees`, on
// off-white paper with lines of "text" around it, blurred a little, with sensor noise
// and a duller contrast than the print. Made in a blank browser tab (no network); the
// noise is seeded, so each photo is the same on every run.
export async function photoOf(context, png, { degrees = 0, noise = 40, seed = 1, width = 1240 } = {}) {
  const tab = await context.newPage();
  try {
    const dataUrl = await tab.evaluate(async ({ source, degrees, noise, seed, width }) => {
      const barcode = new Image();
      barcode.src = source;
      await barcode.decode();
      const canvas = document.createElement('canvas');
      canvas.width = 1600;
      canvas.height = 1200;
      const g = canvas.getContext('2d');
      g.fillStyle = '#efe9dc';
      g.fillRect(0, 0, canvas.width, canvas.height);
      let random = seed >>> 0;
      const next = () => {
        random = (random * 1664525 + 1013904223) >>> 0;
        return random / 4294967296;
      };
      g.save();
      g.translate(canvas.width / 2, canvas.height / 2);
      g.rotate((degrees * Math.PI) / 180);
      g.fillStyle = '#6d6a66';
      for (let row = 0; row < 6; row++) {
        const y = row < 3 ? -420 + row * 46 : 190 + (row - 3) * 46;
        for (let x = -620; x < 600; x += 40 + next() * 90) g.fillRect(x, y, 20 + next() * 50, 18);
      }
      const height = (barcode.height * width) / barcode.width;
      g.filter = 'blur(1.2px)';
      g.globalAlpha = 0.82;
      g.drawImage(barcode, -width / 2, -height / 2, width, height);
      g.restore();
      const image = g.getImageData(0, 0, canvas.width, canvas.height);
      const p = image.data;
      for (let i = 0; i < p.length; i += 4) {
        const n = (next() + next() + next() - 1.5) * noise;
        p[i] += n;
        p[i + 1] += n;
        p[i + 2] += n;
      }
      g.putImageData(image, 0, 0);
      return canvas.toDataURL('image/jpeg', 0.82);
    }, { source: `data:image/png;base64,${png.toString('base64')}`, degrees, noise, seed, width });
    return Buffer.from(dataUrl.slice(dataUrl.indexOf(',') + 1), 'base64');
  } finally {
    await tab.close();
  }
}

// A photo of the paper alone: the same kind of picture, with no barcode in it.
export async function photoWithoutBarcode(context) {
  const tab = await context.newPage();
  try {
    const dataUrl = await tab.evaluate(() => {
      const canvas = document.createElement('canvas');
      canvas.width = 1600;
      canvas.height = 1200;
      const g = canvas.getContext('2d');
      g.fillStyle = '#efe9dc';
      g.fillRect(0, 0, canvas.width, canvas.height);
      g.fillStyle = '#6d6a66';
      for (let y = 100; y < 1100; y += 46) {
        for (let x = 80; x < 1500; x += 130) g.fillRect(x, y, 90, 18);
      }
      return canvas.toDataURL('image/jpeg', 0.82);
    });
    return Buffer.from(dataUrl.slice(dataUrl.indexOf(',') + 1), 'base64');
  } finally {
    await tab.close();
  }
}

// Opens the page, and takes the photo: sets it on the camera's file input.
export async function openPage(context, pageUrl) {
  const page = await context.newPage();
  // The wasm reader is what every phone has; a native detector, where the test's browser
  // has one, would stand in its place and leave it untested.
  await page.addInitScript(() => { delete window.BarcodeDetector; });
  await page.goto(pageUrl.href);
  await page.waitForFunction(() => document.documentElement.dataset.reader === 'ready');
  return page;
}

export async function takePhoto(page, jpeg) {
  await page.setInputFiles('#photo', { name: 'foto.jpg', mimeType: 'image/jpeg', buffer: jpeg });
}

export async function statusAfterReading(page, timeoutMs = 60_000) {
  await page.waitForFunction(
    () => !document.body.classList.contains('busy') &&
          !/Lendo|Enviando/.test(document.getElementById('status').textContent),
    null, { timeout: timeoutMs });
  return (await page.textContent('#status')).trim();
}

// A clip for Chromium's fake camera (a file of JPEG frames, played at 30 a second) of the
// barcodes' PNGs, one after another: the desk, the document coming in, held a second with
// a hand's small shake, and going (52 frames each), then the desk for a second and a half.
// The frames are made by a page of `context`.
export async function clipOf(context, pngs) {
  const tab = await context.newPage();
  try {
    const frames = await tab.evaluate(async ({ sources }) => {
      const canvas = document.createElement('canvas');
      canvas.width = 1280;
      canvas.height = 720;
      const g = canvas.getContext('2d');
      const out = [];
      const frame = (image, x, y) => {
        g.fillStyle = '#7a6d5c';
        g.fillRect(0, 0, canvas.width, canvas.height);
        if (image) {
          const width = image.width > image.height ? 900 : 420;
          const height = (image.height * width) / image.width;
          g.fillStyle = '#f2efe8';
          g.fillRect(x - width / 2 - 60, y - height / 2 - 60, width + 120, height + 120);
          g.drawImage(image, x - width / 2, y - height / 2, width, height);
        }
        out.push(canvas.toDataURL('image/jpeg', 0.8));
      };
      for (const source of sources) {
        const image = new Image();
        image.src = source;
        await image.decode();
        for (let i = 0; i < 6; i++) frame(null);
        for (let i = 0; i < 8; i++) frame(image, 640 + 900 * (1 - (i + 1) / 8), 360);
        for (let i = 0; i < 30; i++) frame(image, 640 + 2 * Math.sin(i / 3), 360 + 2 * Math.cos(i / 4));
        for (let i = 0; i < 8; i++) frame(image, 640 - 900 * ((i + 1) / 8), 360);
      }
      for (let i = 0; i < 45; i++) frame(null);  // the desk until the test has looked
      return out;
    }, { sources: pngs.map((png) => `data:image/png;base64,${png.toString('base64')}`) });
    return Buffer.concat(frames.map((url) => Buffer.from(url.slice(url.indexOf(',') + 1), 'base64')));
  } finally {
    await tab.close();
  }
}
