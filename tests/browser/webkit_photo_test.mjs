// The phone page's photo path in WebKit, the engine of every iPhone browser: WebKitGTK's
// MiniBrowser driven over W3C WebDriver (WebKitWebDriver), on an X display, against the
// server of harness.mjs (the mock, or zentory-cli with ZENTORY_LISTEN_CMD). As root, with
// zentory-cli, the page is its secure address, trusted as a phone that installed the
// authority (the system's certificates and the authority, in a mount namespace of the
// browser's own): photos are read there without a camera, and with WebKit's mock camera
// the live view starts.
//
//   eval "$(scripts/lib/xvfb-start.sh)"   # when there is no display
//   ZENTORY_LISTEN_CMD=build/native/zentory-cli node --test tests/browser/webkit_photo_test.mjs
//   scripts/lib/xvfb-stop.sh
//
// Skips without WebKitWebDriver, MiniBrowser or a display, except under CI=true.
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { existsSync, mkdtempSync, readdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import net from 'node:net';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { test } from 'node:test';
import { barcodePng, launchPhone, photoOf, repoRoot, startServer } from './harness.mjs';

const SLIP = '00191455700000110009956850418332600000624818';
const NFE_KEY = '35200714200166000187550010000000046550000044';
const SENT = 'Código enviado ao computador.';
const ELEMENT = 'element-6066-11e4-a52e-4f735466cecf';

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

function onPath(name) {
  return (process.env.PATH || '').split(':').map((dir) => path.join(dir, name)).find(existsSync);
}

function findMiniBrowser() {
  if (process.env.MINIBROWSER) return process.env.MINIBROWSER;
  for (const base of ['/usr/lib/x86_64-linux-gnu', '/usr/lib/aarch64-linux-gnu', '/usr/libexec']) {
    let dirs = [];
    try {
      dirs = readdirSync(base).filter((d) => /^webkit2?gtk-\d/.test(d)).sort().reverse();
    } catch {
      continue;
    }
    const found = dirs.map((d) => path.join(base, d, 'MiniBrowser')).find(existsSync);
    if (found) return found;
  }
  return undefined;
}

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

// Waits until `probe` returns something other than undefined, at most `ms`.
async function until(what, ms, probe) {
  const deadline = Date.now() + ms;
  for (;;) {
    const value = await probe();
    if (value !== undefined) return value;
    if (Date.now() > deadline) throw new Error(`${what}: not within ${ms / 1000} s`);
    await sleep(250);
  }
}

// WebKitWebDriver and the MiniBrowser it starts, in a process group of their own and a
// home of their own, so both go and leave nothing behind.
async function startDriver(driverBinary, home, trusted) {
  const port = await freePort();
  const command = [driverBinary, `--port=${port}`, '--host=127.0.0.1'];
  // The certificates GnuTLS trusts, seen by the browser alone as `trusted` holds them.
  const child = spawn(trusted ? 'unshare' : command[0], trusted
    ? ['--mount', '--propagation', 'private', 'sh', '-c',
       `mount --bind "${trusted}" /etc/ssl/certs/ca-certificates.crt && exec "$@"`, 'sh', ...command]
    : command.slice(1), {
    detached: true,
    stdio: ['ignore', 'pipe', 'pipe'],
    env: { ...process.env, HOME: home, XDG_CACHE_HOME: `${home}/cache`,
           XDG_DATA_HOME: `${home}/data`, XDG_CONFIG_HOME: `${home}/config` },
  });
  let output = '';
  const keep = (chunk) => { output = (output + chunk).slice(-20_000); };
  child.stdout.on('data', keep);
  child.stderr.on('data', keep);
  const exited = new Promise((resolve) => child.once('exit', resolve));
  const base = `http://127.0.0.1:${port}`;
  const stop = async () => {
    const signal = (name) => { try { process.kill(-child.pid, name); } catch { /* gone */ } };
    signal('SIGTERM');
    // Unreferenced, so that a driver that quits at once does not keep node waiting.
    await Promise.race([exited, new Promise((resolve) => setTimeout(resolve, 3000).unref())]);
    signal('SIGKILL');
    // The browser's helpers may hold the pipes a moment longer; the test need not wait.
    child.stdout.destroy();
    child.stderr.destroy();
  };
  try {
    await until('WebKitWebDriver answering', 10_000, async () => {
      if (child.exitCode !== null) throw new Error(`WebKitWebDriver ended: ${output}`);
      try { return (await fetch(`${base}/status`)).ok || undefined; } catch { return undefined; }
    });
  } catch (error) {
    await stop();
    throw error;
  }
  return { base, stop, output: () => output };
}

// One W3C WebDriver command; its value, or an error naming WebDriver's.
async function call(base, method, route, body, timeoutMs = 30_000) {
  let response;
  try {
    response = await fetch(base + route, {
      method,
      headers: { 'Content-Type': 'application/json' },
      body: body === undefined ? undefined : JSON.stringify(body),
      signal: AbortSignal.timeout(timeoutMs),
    });
  } catch (error) {
    throw new Error(`${method} ${route}: ${error.name === 'TimeoutError'
      ? `no answer within ${timeoutMs / 1000} s` : error.message}`);
  }
  const reply = await response.json();
  if (!response.ok) {
    throw new Error(`${method} ${route}: ${reply.value?.error}: ${reply.value?.message}`);
  }
  return reply.value;
}

// The photos of tests/browser/photos when they are there, otherwise two made here with
// Chromium: a slip's barcode and an NF-e key's, slightly tilted.
async function choosePhotos(scratch) {
  const listing = `${repoRoot}tests/browser/photos/photos.json`;
  if (existsSync(listing)) {
    const all = JSON.parse(readFileSync(listing, 'utf8'));
    // The first slip's (kind 1, ITF) and the first NF-e key's (kind 3, Code 128).
    const pick = [1, 3].map((kind) => all.find((p) => p.kind === kind)).filter(Boolean);
    if (pick.length) {
      return pick.map((p) => ({ file: path.resolve(path.dirname(listing), p.file), code: p.code }));
    }
  }
  const phone = await launchPhone();
  try {
    const photos = [];
    for (const [kind, code, degrees] of [['itf', SLIP, 3], ['code128', NFE_KEY, -2]]) {
      const file = path.join(scratch, `${kind}.jpg`);
      writeFileSync(file, await photoOf(phone.context, await barcodePng(kind, code), { degrees }));
      photos.push({ file, code });
    }
    return photos;
  } finally {
    await phone.close();
  }
}

// What the page saw, for a failure's message: its state, the errors collected since it
// loaded, and what a reader worker started anew says (the page's own keeps its reason).
const PAGE_STATE = `
  const done = arguments[arguments.length - 1];
  const state = { reader: document.documentElement.dataset.reader,
                  status: document.getElementById('status').textContent.trim(),
                  errors: window.zentoryErrors || 'not collected' };
  const finish = (worker) => { state.freshWorker = worker; done(state); };
  setTimeout(() => finish('no answer within 20 s'), 20000);
  try {
    const fresh = new Worker(readerWorkerUrl);
    fresh.onerror = (e) => finish(e.message ? e.message + ' at ' + e.filename + ':' + e.lineno
                                            : 'reader-worker.js did not load');
    fresh.onmessage = (e) => { fresh.terminate(); finish(JSON.stringify(e.data)); };
  } catch (e) {
    finish('new Worker: ' + e);
  }`;

// Errors of the page and of its worker from here on, kept where PAGE_STATE finds them.
const COLLECT_ERRORS = `
  const errors = window.zentoryErrors = [];
  const keep = (what) => { if (errors.length < 20) errors.push(String(what)); };
  addEventListener('error', (e) => keep(e.message + ' at ' + e.filename + ':' + e.lineno));
  addEventListener('unhandledrejection', (e) => keep('rejected: ' + (e.reason?.stack || e.reason)));
  // The page's worker, where it keeps one in a global: its failures and its reads' errors.
  if (typeof worker === 'object' && worker) {
    worker.addEventListener('error', (e) => keep('worker: ' + e.message));
    worker.addEventListener('message', (e) => e.data?.error &&
      keep('worker read: ' + e.data.error));
  }`;

test('the photo path reads and sends a code in WebKit', async (t) => {
  const driverBinary = onPath('WebKitWebDriver');
  const miniBrowser = findMiniBrowser();
  const missing = [!driverBinary && 'WebKitWebDriver (webkit2gtk-driver)',
                   !miniBrowser && 'MiniBrowser', !process.env.DISPLAY && 'an X display (DISPLAY)']
    .filter(Boolean);
  if (missing.length) {
    if (process.env.CI === 'true') assert.fail(`missing: ${missing.join(', ')}`);
    t.skip(`missing: ${missing.join(', ')}`);
    return;
  }

  const scratch = mkdtempSync(path.join(tmpdir(), 'zentory-webkit-'));
  const cleanups = [() => rmSync(scratch, { recursive: true, force: true })];
  let driver;
  let command;
  try {
    const photos = await choosePhotos(scratch);
    const secure = process.getuid() === 0 && /zentory-cli/.test(process.env.ZENTORY_LISTEN_CMD || '') &&
      existsSync('/etc/ssl/certs/ca-certificates.crt');
    if (secure) {
      process.env.ZENTORY_LISTEN_ARGS = `${process.env.ZENTORY_LISTEN_ARGS || ''} --certs ${scratch}`.trim();
    } else {
      t.diagnostic('the plain page only: the secure one needs root and zentory-cli');
    }
    const server = await startServer();
    cleanups.unshift(server.stop);
    let trusted = null;
    const pageUrl = new URL(server.pageUrl);
    if (secure) {
      trusted = path.join(scratch, 'trusted.crt');
      writeFileSync(trusted, readFileSync('/etc/ssl/certs/ca-certificates.crt', 'utf8') +
                             readFileSync(path.join(scratch, 'ca.pem'), 'utf8'));
      pageUrl.protocol = 'https:';
    }
    driver = await startDriver(driverBinary, scratch, trusted);
    cleanups.unshift(driver.stop);
    // A session of MiniBrowser (this one has no --headless: the display is Xvfb's), with
    // MediaStream on, and WebKit's mock camera when asked.
    const open = async (camera) => {
      const created = await call(driver.base, 'POST', '/session', {
        capabilities: { alwaysMatch: {
          browserName: 'MiniBrowser',
          'webkitgtk:browserOptions': { binary: miniBrowser, args: [
            '--automation', '--enable-media-stream=true', `--enable-mock-capture-devices=${camera}`] },
        } },
      }, 20_000);
      const session = `${driver.base}/session/${created.sessionId}`;
      const close = () => call(session, 'DELETE', '', undefined, 5000).catch(() => {});
      cleanups.unshift(close);
      command = (method, route, body) => call(session, method, route, body);
      return close;
    };
    const run = (script) => command('POST', '/execute/sync', { script, args: [] });
    const closeFirst = await open(false);

    await command('POST', '/url', { url: pageUrl.href });
    await run(COLLECT_ERRORS);
    await until('the reader ready', 30_000, async () =>
      (await run('return document.documentElement.dataset.reader')) === 'ready' || undefined);
    // Where WebKit has a native detector, the wasm reader would go untested.
    await run('delete window.BarcodeDetector');
    const input =
      (await command('POST', '/element', { using: 'css selector', value: '#photo' }))[ELEMENT];

    for (const { file, code } of photos) {
      const since = server.arrivals.count;
      // Emptied first: the status that follows is this photo's own.
      await run("document.getElementById('status').textContent = ''");
      const began = Date.now();
      await command('POST', `/element/${input}/value`, { text: file });
      const status = await until(`${path.basename(file)} read`, 60_000, async () => {
        const [busy, text] = await run("return [document.body.classList.contains('busy'), " +
                                       "document.getElementById('status').textContent.trim()]");
        return !busy && text && !/Lendo|Enviando/.test(text) ? text : undefined;
      });
      t.diagnostic(`${path.basename(file)}: "${status}" after ${Date.now() - began} ms`);
      assert.equal(status, SENT, path.basename(file));
      const arrived = await server.arrivals.after(since, 500);
      assert.deepEqual(arrived.map((line) => line.code), [code], path.basename(file));
    }
    if (secure) {
      // No camera: the live view says so in plain words, and stays closed.
      await run("document.getElementById('live-start').click()");
      const said = await until('the page on a missing camera', 20_000, async () => {
        const text = await run("return document.getElementById('status').textContent.trim()");
        return /câmera/i.test(text) && !/Aponte/.test(text) ? text : undefined;
      });
      t.diagnostic(`without a camera: "${said}"`);
      assert.equal(await run("return document.getElementById('live').hidden"), true);
      // WebKit's mock camera: the live view starts and the worker reads its frames.
      await closeFirst();
      await open(true);
      await command('POST', '/url', { url: pageUrl.href });
      await until('the reader ready', 30_000, async () =>
        (await run('return document.documentElement.dataset.reader')) === 'ready' || undefined);
      await run("document.getElementById('live-start').click()");
      await until('frames read from the mock camera', 30_000, async () =>
        (await run('return live && live.stream && live.frames > 2')) || undefined);
    }
  } catch (error) {
    if (command) {
      const state = await command('POST', '/execute/async', { script: PAGE_STATE, args: [] })
        .catch((e) => e.message);
      error.message += `\nthe page in WebKit: ${JSON.stringify(state, null, 1)}`;
    }
    if (driver?.output()) error.message += `\nWebKitWebDriver said: ${driver.output()}`;
    throw error;
  } finally {
    for (const cleanup of cleanups) await cleanup();
  }
});
