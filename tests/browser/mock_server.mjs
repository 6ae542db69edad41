// A stand-in for `zentory-cli listen --http PORT --token TOKEN`, for working on the
// phone's page and its test without the C++ build. Same arguments, same answers, and one
// JSON line on stdout per accepted code. Listens on 127.0.0.1 only.
//
//   node tests/browser/mock_server.mjs listen --http 8080 --token 0123456789abcdef0123456789abcdef
// (--port, the UDP port of the real listener, is taken and ignored.)
import { createHash, createHmac, randomBytes, timingSafeEqual } from 'node:crypto';
import http from 'node:http';
import { readFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';
import { gzipSync } from 'node:zlib';
import { bundleReaderWorker, bundleScanProof } from '../../web/bundle-page.mjs';

const here = (relative) => fileURLToPath(new URL(relative, import.meta.url));
const reader = '../../web/node_modules/zxing-wasm/dist/';
const sha256 = (bytes) => createHash('sha256').update(bytes).digest('hex');
const JS = 'application/javascript; charset=utf-8';

// As the build does: the reader's files and the page's scripts named by their content and
// kept for good, the page's scripts once the names they hold are in; the page itself is
// revalidated by its ETag. The page's files are read anew for each request, so that
// editing them needs no restart.
const READER = [
  ['ZXING_READER_JS', '/zxing-reader.', '.js', readFileSync(here(reader + 'iife/reader/index.js')), JS],
  ['ZXING_READER_WASM', '/zxing_reader.', '.wasm',
   readFileSync(here(reader + 'reader/zxing_reader.wasm')), 'application/wasm'],
  ['SCAN_PROOF_JS', '/scan-proof.', '.js', Buffer.from(bundleScanProof()), JS],
].map(([name, stem, extension, bytes, type]) => {
  return { name, path: `${stem}${sha256(bytes).slice(0, 12)}${extension}`, bytes, type };
});
const source = (file) => readFileSync(here(`../../res/phone/${file}`), 'utf8');
const substituted = (text, names) =>
  Object.entries(names).reduce((done, [name, value]) => done.replaceAll(`@${name}@`, value), text);

// The page's files as they are now: path -> [text, content type, immutable].
function pageFiles() {
  const names = Object.fromEntries(READER.map(({ name, path }) => [name, path]));
  const worker = substituted(bundleReaderWorker(), names);
  names.READER_WORKER_JS = `/reader-worker.${sha256(worker).slice(0, 12)}.js`;
  const app = substituted(source('app.js'), names);
  names.PHONE_APP_JS = `/app.${sha256(app).slice(0, 12)}.js`;
  const live = source('live.js');
  names.PHONE_LIVE_JS = `/live.${sha256(live).slice(0, 12)}.js`;
  return {
    '/': [substituted(source('index.html'), names), 'text/html; charset=utf-8', false],
    [names.PHONE_APP_JS]: [app, JS, true],
    [names.PHONE_LIVE_JS]: [live, JS, true],
    [names.READER_WORKER_JS]: [worker, JS, true],
  };
}

const compressed = (bytes, type, immutable) => {
  const body = gzipSync(bytes, { level: 9 });
  return { body, type, immutable, etag: `"${sha256(body).slice(0, 16)}"` };
};
const readerFiles = new Map();  // compressed once, when first asked for
function fileFor(path) {
  const file = READER.find((candidate) => candidate.path === path);
  if (file) {
    if (!readerFiles.has(path)) readerFiles.set(path, compressed(file.bytes, file.type, true));
    return readerFiles.get(path);
  }
  const page = pageFiles()[path];
  return page && compressed(Buffer.from(page[0]), page[1], page[2]);
}

// gzip named with a q above 0, or not named and "*" is; no header at all is no.
function acceptsGzip(header = '') {
  let gzip;
  let any;
  for (const element of header.split(',')) {
    const [coding, ...parameters] = element.split(';').map((part) => part.trim());
    const q = parameters.find((parameter) => /^q\s*=/i.test(parameter));
    const yes = q === undefined || /[1-9]/.test(q.split('=')[1]);
    if (/^(x-)?gzip$/i.test(coding)) gzip = yes;
    else if (coding === '*') any = yes;
  }
  return gzip ?? any ?? false;
}

function matchesETag(header, etag) {
  if (header === undefined) return false;
  if (header.trim() === '*') return true;
  return (header.match(/(W\/)?"[^"]*"/g) || []).some((tag) => tag.replace(/^W\//, '') === etag);
}

const MAX_BODY = 1024;
const RATE_WINDOW_MS = 60_000;
const RATE_LIMIT = 30;

function parseArguments(argv) {
  const [command, ...rest] = argv;
  const options = {};
  for (let i = 0; i < rest.length; i += 2) options[rest[i]] = rest[i + 1];
  const port = Number(options['--http']);
  if (command !== 'listen' || !Number.isInteger(port) || port < 1 || port > 65535 ||
      !options['--token']) {
    process.stderr.write('usage: mock_server.mjs listen [--port UDP] --http PORT --token TOKEN\n');
    process.exit(2);
  }
  return { port, token: options['--token'] };
}

// ------------------------------------------------------------ interpretation

const mod10 = (digits) => {
  let sum = 0;
  [...digits].reverse().forEach((d, i) => {
    const p = Number(d) * (i % 2 === 0 ? 2 : 1);
    sum += p >= 10 ? p - 9 : p;
  });
  return (10 - (sum % 10)) % 10;
};
const mod11Remainder = (digits) =>
  [...digits].reverse().reduce((sum, d, i) => sum + Number(d) * (2 + (i % 8)), 0) % 11;
const mod11 = (digits) => { const r = mod11Remainder(digits); return r <= 1 ? 0 : 11 - r; };

function amount(digits) {
  const reais = digits.slice(0, -2).replace(/^0+/, '');
  const centavos = digits.slice(-2);
  if (!reais && centavos === '00') return 'R$ N/A';
  return `R$ ${reais || '0'},${centavos}`;
}

// The factor's cycle restarted at 1000 on 22 Feb 2025; a factor names the date from
// 3000 days before to 5500 days after today.
function dueDate(factorText, today = new Date()) {
  if (factorText[0] === '0') return 'N/A';
  const day = 86_400_000;
  const todayDay = Math.floor(Date.UTC(today.getFullYear(), today.getMonth(), today.getDate()) / day);
  let date = Date.UTC(1997, 9, 7) / day + Number(factorText);
  while (date < todayDay - 3000) date += 9000;
  if (date > todayDay + 5500 && todayDay - (date - 9000) <= date - todayDay) date -= 9000;
  const d = new Date(date * day);
  const two = (n) => String(n).padStart(2, '0');
  return `${two(d.getUTCDate())}/${two(d.getUTCMonth() + 1)}/${d.getUTCFullYear()}`;
}

function interpret(code, kindByte) {
  if (kindByte === 3) {
    let next = 0;
    const typeable = '##-####-##.###.###/####-##-##-###-###.###.###-###.###.###-#'
      .replace(/#/g, () => code[next++]);
    return { kind: 3, letter: 'N', valid: mod11(code.slice(0, 43)) === Number(code[43]),
             typeable, value: '', due: '' };
  }
  if (code[0] !== '8') {
    const r = mod11Remainder(code.slice(0, 4) + code.slice(5));
    const fields = [code.slice(0, 4) + code.slice(19, 24), code.slice(24, 34), code.slice(34, 44)]
      .map((f) => f + mod10(f)).map((f) => `${f.slice(0, 5)}.${f.slice(5)}`);
    return { kind: 1, letter: 'B', valid: Number(code[4]) === (r <= 1 ? 1 : 11 - r),
             typeable: [...fields, code[4], code.slice(5, 19)].join(' '),
             value: amount(code.slice(9, 19)), due: dueDate(code.slice(5, 9)) };
  }
  const type = code[2];
  const check = type === '8' || type === '9' ? mod11 : mod10;
  const blocks = [0, 11, 22, 33].map((s) => code.slice(s, s + 11))
    .map((b) => `${b}-${check(b)}`);
  return { kind: 2, letter: 'C', valid: check(code.slice(0, 3) + code.slice(4)) === Number(code[3]),
           typeable: blocks.join(' '),
           value: type >= '6' && type <= '9' ? amount(code.slice(4, 15)) : 'R$ N/A', due: '' };
}

// ------------------------------------------------------------ server

function answer(res, status, body, type = 'text/plain; charset=utf-8') {
  res.writeHead(status, { 'Content-Type': type, 'Cache-Control': 'no-store',
                          'X-Content-Type-Options': 'nosniff' });
  res.end(body);
}

function sendFile(req, res, file) {
  if (!acceptsGzip(req.headers['accept-encoding'])) {
    return answer(res, 406, 'This page is sent gzip-compressed only: ask with Accept-Encoding: gzip.');
  }
  const headers = {
    'Cache-Control': file.immutable ? 'public, max-age=31536000, immutable' : 'no-cache',
    ETag: file.etag, Vary: 'Accept-Encoding', 'X-Content-Type-Options': 'nosniff',
    'Accept-Ranges': 'none', 'Content-Length': file.body.length,
  };
  if (matchesETag(req.headers['if-none-match'], file.etag)) {
    res.writeHead(304, headers);
    return res.end();
  }
  res.writeHead(200, { ...headers, 'Content-Type': file.type, 'Content-Encoding': 'gzip' });
  res.end(req.method === 'HEAD' ? undefined : file.body);
}

function serve({ port, token }) {
  const recent = new Map();  // sender address -> times of its recent posts

  const tooMany = (sender) => {
    const now = Date.now();
    const times = (recent.get(sender) || []).filter((t) => now - t < RATE_WINDOW_MS);
    times.push(now);
    recent.set(sender, times);
    return times.length > RATE_LIMIT;
  };

  // As the real server: a nonce serves one scan from the address that asked, for a minute.
  const nonces = new Map();  // nonce -> { sender, at }
  const onNonce = (req, res) => {
    const sender = req.socket.remoteAddress.replace(/^::ffff:/, '');
    if (!sender.startsWith('127.')) return answer(res, 403, 'sender');
    // Scans alone count against the rate: a nonce and its scan are one.
    const nonce = randomBytes(16).toString('hex');
    nonces.set(nonce, { sender, at: Date.now() });
    answer(res, 200, JSON.stringify({ nonce }), 'application/json');
  };

  const onScan = (req, res, url) => {
    const sender = req.socket.remoteAddress.replace(/^::ffff:/, '');
    // Only this computer can reach a server bound to 127.0.0.1; the real one also
    // takes the private networks.
    if (!sender.startsWith('127.')) return answer(res, 403, 'sender');
    if (tooMany(sender)) return answer(res, 429, 'too many');
    const nonce = url.searchParams.get('n') || '';
    const issued = nonces.get(nonce);
    nonces.delete(nonce);
    if (!issued || issued.sender !== sender || Date.now() - issued.at >= 60_000) {
      return answer(res, 403, 'nonce');
    }
    const chunks = [];
    let size = 0;
    req.on('data', (chunk) => {
      size += chunk.length;
      if (size <= MAX_BODY) chunks.push(chunk);
      // Beyond this a client is not a phone: stop reading.
      else if (size > 1 << 20) req.destroy();
    });
    req.on('end', () => {
      if (size > MAX_BODY) return answer(res, 413, 'too large');
      const kind = url.searchParams.get('k') || '';
      // A Pix code may carry UTF-8; the slips' digits read alike either way.
      const code = Buffer.concat(chunks).toString(kind === 'P' ? 'utf8' : 'latin1');
      const expected = createHmac('sha256', token).update(`${nonce}:${kind}:${code}`).digest();
      const proof = Buffer.from(url.searchParams.get('p') || '', 'hex');
      if (proof.length !== expected.length || !timingSafeEqual(proof, expected)) {
        return answer(res, 403, 'token');
      }
      if (kind === 'P' && /^000201/.test(code)) {
        process.stdout.write(JSON.stringify({ sender, valid: true, code, kind_letter: 'P', kind: 4 }) + '\n');
        return answer(res, 200, JSON.stringify({ code, kind: 'P', name: '', city: '', value: '', valid: true }),
                      'application/json');
      }
      const kindByte = Number(kind);
      if (!/^[0-9]{44}$/.test(code) || (kindByte !== 1 && kindByte !== 3)) {
        return answer(res, 400, 'bad code');
      }
      const seen = interpret(code, kindByte);
      process.stdout.write(JSON.stringify({
        sender, valid: seen.valid, due: seen.due, value: seen.value, typeable: seen.typeable,
        code, kind_letter: seen.letter, kind: seen.kind,
      }) + '\n');
      answer(res, 200, JSON.stringify({ code, typeable: seen.typeable, value: seen.value,
                                        due: seen.kind === 1 ? seen.due : '', valid: seen.valid }),
             'application/json');
    });
  };

  const server = http.createServer((req, res) => {
    const url = new URL(req.url, 'http://127.0.0.1');
    const file = (req.method === 'GET' || req.method === 'HEAD') && fileFor(url.pathname);
    if (file) return sendFile(req, res, file);
    if (req.method === 'POST' && url.pathname === '/nonce') return onNonce(req, res);
    if (req.method === 'POST' && url.pathname === '/scan') return onScan(req, res, url);
    answer(res, 404, 'not found');
  });
  server.listen(port, '127.0.0.1', () => {
    process.stderr.write(`mock server on http://127.0.0.1:${port}/#t=${token}\n`);
  });
  const stop = () => { server.close(() => process.exit(0)); server.closeAllConnections(); };
  process.on('SIGTERM', stop);
  process.on('SIGINT', stop);
}

serve(parseArguments(process.argv.slice(2)));
