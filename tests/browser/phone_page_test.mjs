// The phone's scanning page, in Debian's Chromium dressed as an Android phone, against a
// server that speaks the page's protocol: the mock beside this file by default,
// `zentory-cli listen --http` with ZENTORY_LISTEN_CMD=build/native/zentory-cli, or a
// running server with ZENTORY_PAGE_URL and ZENTORY_ARRIVALS_FILE (see harness.mjs).
//
//   npm ci --prefix web && node --test tests/browser/phone_page_test.mjs
import assert from 'node:assert/strict';
import { createHash } from 'node:crypto';
import { spawn, spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import http from 'node:http';
import { after, before, describe, it } from 'node:test';
import { gunzipSync } from 'node:zlib';
import {
  barcodePng, launchPhone, openPage, photoOf, photoWithoutBarcode, postScan, repoRoot,
  startServer, statusAfterReading, takePhoto,
} from './harness.mjs';
import { bundleReaderWorker, bundleScanProof } from '../../web/bundle-page.mjs';
import { acceptScan, crc16, utf8Bytes } from '../../res/phone/reader/checks.mjs';

const SLIP = '00191455700000110009956850418332600000624818';
const NFE_KEY = '35200714200166000187550010000000046550000044';  // check digit 4, as zentory-cli decode says
const COLLECTION = '84620000002311301132632914523029359083800000';
const SLIP_WRONG_DIGIT = '00197455700000110009956850418332600000624818';
// A static Pix code with an amount, its CRC made by another program.
const PIX = '00020126330014br.gov.bcb.pix01111234567890952040000530398654071234.565802BR' +
  '5913Fulano de Tal6008BRASILIA62120508PEDIDO426304F902';

const UNREADABLE = 'Não consegui ler, tente de novo';
const UNPAIRED = 'Este celular não está pareado: leia de novo o QR code no computador';

describe('the page sends only what the program would take', () => {

  it('agrees with zentory-cli decode on every code of its test data', () => {
    const lines = readFileSync(`${repoRoot}tests/cli/decode_expected.jsonl`, 'utf8')
      .split('\n').filter(Boolean).map((line) => JSON.parse(line));
    assert.ok(lines.length >= 10);
    for (const { code, kind, valid } of lines) {
      if (kind === 'N') {
        // A key is sent whenever it has 44 digits; the program judges its check digit.
        assert.equal(acceptScan(code, 'Code128')?.kind ?? null,
                     /^\d{44}$/.test(code) ? 3 : null, code);
      } else {
        assert.equal(acceptScan(code, 'ITF') !== null, valid, code);
      }
    }
  });

  // Each pair differs only in the general check digit: the first is right by the rule
  // the value-type digit (third) chooses, the second by the other modulo. Checked with
  // zentory-cli decode.
  const collectionPairs = {
    0: ['82021234583728000113011326329145230293590838', '82051234583728000113011326329145230293590838'],
    5: ['82591234567890000113011326329145230293590838', '82511234567890000113011326329145230293590838'],
    6: ['82671234567890000113011326329145230293590838', '82601234567890000113011326329145230293590838'],
    7: ['82751234567890000113011326329145230293590838', '82781234567890000113011326329145230293590838'],
    8: ['82861234567890000113011326329145230293590838', '82831234567890000113011326329145230293590838'],
    9: ['82941234567890000113011326329145230293590838', '82911234567890000113011326329145230293590838'],
  };
  for (const [type, [right, otherModulo]] of Object.entries(collectionPairs)) {
    it(`collection slip with value type ${type}: takes the right modulo only`, () => {
      assert.deepEqual({ ...acceptScan(right, 'ITF') }, { code: right, kind: 1 });
      assert.equal(acceptScan(otherModulo, 'ITF'), null);
    });
  }

  it('edge remainders: 0 and 1 give 1 on bank slips, 0 on modulo-11 collection slips', () => {
    // Both bank slips carry 1, for remainders 1 and 0; the collection slip carries 0.
    assert.ok(acceptScan('00191045570000011019956850418332600000624818', 'ITF'));
    assert.ok(acceptScan('00191045570000011089956850418332600000624818', 'ITF'));
    assert.ok(acceptScan('83800000000004000113011326329145230293590838', 'ITF'));
    assert.equal(acceptScan('83810000000004000113011326329145230293590838', 'ITF'), null);
  });

  it('takes the native detector names, and refuses other symbologies and lengths', () => {
    assert.equal(acceptScan(SLIP, 'itf')?.kind, 1);
    assert.equal(acceptScan(NFE_KEY, 'code_128')?.kind, 3);
    assert.equal(acceptScan(` ${NFE_KEY}\n`, 'Code128')?.code, NFE_KEY);
    assert.equal(acceptScan(SLIP, 'EAN13'), null);
    assert.equal(acceptScan(SLIP, 'QRCode'), null);
    assert.equal(acceptScan(NFE_KEY.slice(1), 'Code128'), null);
    assert.equal(acceptScan(`${NFE_KEY}0`, 'Code128'), null);
    assert.equal(acceptScan(`${NFE_KEY.slice(0, 43)}A`, 'Code128'), null);
  });

  it('takes a Pix QR code only whole: its CRC holds, and nothing cut or changed', () => {
    assert.deepEqual({ ...acceptScan(`${PIX}\n`, 'QRCode') }, { code: PIX, kind: 'P' });
    assert.equal(acceptScan(PIX, 'qr_code')?.kind, 'P');
    assert.equal(acceptScan(PIX.replace('Fulano', 'Fulana'), 'QRCode'), null);
    assert.equal(acceptScan(PIX.slice(0, -1) + '3', 'QRCode'), null);
    assert.equal(acceptScan(PIX.slice(0, 60), 'QRCode'), null);
    assert.equal(acceptScan(PIX, 'Code128'), null);
  });

  it('refuses a Pix code whose CRC holds but whose name hides a character that does not show', () => {
    const withBlank = (blank) => {
      const body = PIX.slice(0, -4).replace('Fulano de', `Fulano${blank}de`);
      return body + crc16(utf8Bytes(body)).toString(16).toUpperCase().padStart(4, '0');
    };
    assert.equal(acceptScan(withBlank('\u00e9'), 'QRCode')?.kind, 'P');  // the CRC made here holds
    for (const hidden of ['\u0085', '\u009b', '\u00a0', '\u00ad', '\u200b', '\u2028', '\u2029',
                          '\u202e', '\u2066', '\ufeff']) {
      assert.equal(acceptScan(withBlank(hidden), 'QRCode'), null, escape(hidden));
    }
  });
});

// One server for the whole file, as a phone and the program would have it; started by
// the first group that needs it, so that the groups above run without it.
let server;
let starting;
const serverStarted = async () => { server = await (starting ??= startServer()); };
after(async () => { await server?.stop(); });

// The same token with its last digit changed.
const wrongToken = (token) => token.slice(0, -1) + (token.endsWith('0') ? '1' : '0');

describe('the page on a phone', () => {
  let phone;
  let page;

  before(async () => {
    await serverStarted();
    phone = await launchPhone();
    page = await openPage(phone.context, server.pageUrl);
  });
  after(async () => { await phone?.close(); });

  // Takes the photo and returns the page's message and what reached the computer.
  async function scan(targetPage, jpeg) {
    const since = server.arrivals.count;
    await takePhoto(targetPage, jpeg);
    const status = await statusAfterReading(targetPage);
    return { status, arrived: await server.arrivals.after(since) };
  }

  const photos = [
    ['a bank slip tilted 4 degrees', 'itf', SLIP, 4, 1],
    ['a bank slip tilted 11 degrees the other way', 'itf', SLIP, -11, 1],
    ['a bank slip in a portrait photo', 'itf', SLIP, 92, 1],
    ['a utility bill', 'itf', COLLECTION, 3, 2],
    ['an NF-e key tilted 3 degrees', 'code128', NFE_KEY, -3, 3],
  ];
  for (const [name, symbology, code, degrees, kind] of photos) {
    it(`sends ${name}, and exactly that code arrives`, async () => {
      const jpeg = await photoOf(phone.context, await barcodePng(symbology, code),
                                 { degrees, noise: 30, seed: degrees + 100 });
      const { status, arrived } = await scan(page, jpeg);
      assert.equal(status, 'Código enviado ao computador.');
      assert.equal(arrived.length, 1, JSON.stringify(arrived));
      assert.equal(arrived[0].code, code);
      assert.equal(arrived[0].kind, kind);
      assert.equal(arrived[0].valid, true);
      // What the page shows comes from the computer's answer.
      assert.equal((await page.textContent('#sent-code')).trim(), arrived[0].typeable);
      for (const [field, shown] of [['value', '#sent-value'], ['due', '#sent-due']]) {
        assert.equal(await page.isVisible(shown), arrived[0][field] !== '', field);
        if (arrived[0][field]) assert.equal((await page.textContent(shown)).trim(), arrived[0][field]);
      }
      assert.ok(!(await page.isVisible('#sent-warning')));
    });
  }

  it('sends a photo of a Pix QR code as one Pix record, and shows its receiver and amount', async () => {
    const jpeg = await photoOf(phone.context, await barcodePng('qrcode', PIX),
                               { degrees: 8, noise: 30, seed: 7, width: 360 });
    const { status, arrived } = await scan(page, jpeg);
    assert.equal(status, 'Código enviado ao computador.');
    assert.deepEqual(arrived.map((line) => [line.code, line.kind_letter, line.valid]), [[PIX, 'P', true]]);
    assert.equal((await page.textContent('#sent-label')).trim(), 'Pix enviado');
    assert.equal((await page.textContent('#sent-code')).trim(), 'Fulano de Tal, BRASILIA');
    assert.equal((await page.textContent('#sent-value')).trim(), 'R$ 1.234,56');
  });

  // Phone photos of printed pages (bench/phone-reading --ci-photos): framed from the
  // barcode to the whole form, tilted, upside down, with a shadow's edge across the bars.
  const printed = JSON.parse(readFileSync(`${repoRoot}tests/browser/photos/photos.json`, 'utf8'));
  const kindOf = (line) => (line.kind === 3 ? 3 : line.kind === 4 ? 'P' : 1);
  for (const { file, kind, code, pix } of printed) {
    it(`reads the printed ${file} and sends exactly its code`, async () => {
      const { status, arrived } = await scan(page, readFileSync(`${repoRoot}tests/browser/photos/${file}`));
      assert.equal(status, 'Código enviado ao computador.');
      assert.deepEqual(arrived.map((line) => [line.code, kindOf(line)]), [[code, kind]]);
      // A slip that also carries a Pix QR code: the barcode went, and the page says so.
      if (pix) await page.waitForFunction(() => /foi enviado o código de barras/.test(document.getElementById('sent-note').textContent));
    });
  }

  it('sends the Pix of a slip that carries both when the computer prefers it', async () => {
    const slip = printed.find((photo) => photo.pix);
    const prefers = await phone.context.newPage();
    await prefers.route(/\/nonce$/, async (route) => {
      const response = await route.fetch();
      route.fulfill({ response, json: { ...(await response.json()), preferPix: true } });
    });
    try {
      await prefers.goto(server.pageUrl.href);
      await prefers.waitForFunction(() => document.documentElement.dataset.reader === 'ready');
      const { status, arrived } = await scan(prefers, readFileSync(`${repoRoot}tests/browser/photos/${slip.file}`));
      assert.equal(status, 'Código enviado ao computador.');
      assert.deepEqual(arrived.map((line) => [line.code, kindOf(line)]), [[slip.pix, 'P']]);
      assert.equal((await prefers.textContent('#sent-label')).trim(), 'Pix enviado');
      assert.match(await prefers.textContent('#sent-note'), /Foi enviado o Pix deste boleto/);
    } finally {
      await prefers.close();
    }
  });

  it('reads a photo that the page itself draws, where workers have no canvas (Safari before 16.4)', async () => {
    const older = await phone.context.newPage();
    await older.route(/\/reader-worker\.[0-9a-f]+\.js$/, async (route) => {
      const response = await route.fetch();
      route.fulfill({ response, body: `self.OffscreenCanvas = undefined;\n${await response.text()}` });
    });
    try {
      await older.goto(server.pageUrl.href);
      await older.waitForFunction(() => document.documentElement.dataset.reader === 'ready');
      const { status, arrived } = await scan(older, readFileSync(`${repoRoot}tests/browser/photos/${printed[0].file}`));
      assert.equal(status, 'Código enviado ao computador.');
      assert.deepEqual(arrived.map((line) => line.code), [printed[0].code]);
    } finally {
      await older.close();
    }
  });

  // Anyone on the Wi-Fi sees the page load and the scans: none of it holds the pairing
  // secret (checked with tcpdump on loopback where the test runs as root), and a scan
  // captured and sent again is refused.
  it('sends no secret over the network, and a scan sent again is refused', async () => {
    const canCapture = process.getuid?.() === 0 &&
      spawnSync('tcpdump', ['--version'], { stdio: 'ignore' }).status === 0;
    const work = mkdtempSync(path.join(tmpdir(), 'zentory-capture-'));
    const capture = path.join(work, 'page.pcap');
    const tcpdump = canCapture && spawn('tcpdump', ['-i', 'lo', '-U', '-s', '0', '-w', capture,
                                                     `tcp port ${server.pageUrl.port}`],
                                        { stdio: ['ignore', 'ignore', 'pipe'] });
    if (tcpdump) await new Promise((resolve) => tcpdump.stderr.once('data', resolve));
    const fresh = await phone.context.newPage();
    const scans = [];
    fresh.on('request', (request) => {
      if (new URL(request.url()).pathname === '/scan') scans.push(request);
    });
    try {
      await fresh.addInitScript(() => { delete window.BarcodeDetector; });
      await fresh.goto(server.pageUrl.href);
      await fresh.waitForFunction(() => document.documentElement.dataset.reader === 'ready');
      const { status, arrived } = await scan(fresh, readFileSync(`${repoRoot}tests/browser/photos/${printed[1].file}`));
      assert.equal(status, 'Código enviado ao computador.');
      assert.deepEqual(arrived.map((line) => line.code), [printed[1].code]);
    } finally {
      await fresh.close();
      if (tcpdump) {
        await new Promise((resolve) => setTimeout(resolve, 300));
        tcpdump.kill('SIGINT');
        await new Promise((resolve) => tcpdump.once('exit', resolve));
      }
    }
    try {
      if (tcpdump) {
        const packets = readFileSync(capture);
        assert.ok(packets.includes('POST /scan'), 'the capture holds no scan');
        assert.ok(!packets.includes(server.token), 'the pairing secret went over the network');
      }
    } finally {
      rmSync(work, { recursive: true, force: true });
    }
    assert.equal(scans.length, 1);
    assert.ok(!scans[0].url().includes(server.token));
    // Sent again as someone else on the Wi-Fi would: from another address (the phone's
    // browser also keeps its six connections to the computer open).
    const since = server.arrivals.count;
    const replay = await new Promise((resolve, reject) => {
      const localAddress = server.pageUrl.hostname === '127.0.0.1' ? '127.0.0.2' : undefined;
      http.request(scans[0].url(), { method: 'POST', localAddress }, (response) => {
        let text = '';
        response.on('data', (chunk) => { text += chunk; });
        response.on('end', () => resolve({ status: response.statusCode, text }));
      }).on('error', reject).end(scans[0].postData());
    });
    assert.deepEqual([replay.status, replay.text.trim()], [403, 'nonce']);
    assert.deepEqual(await server.arrivals.after(since, 500), []);
  });

  it('moves an old link\'s secret out of the address it sends, and still sends', async () => {
    const old = new URL(server.pageUrl);
    old.hash = '';
    old.search = `?t=${server.token}`;
    const oldLink = await openPage(phone.context, old);
    try {
      const address = new URL(oldLink.url());
      assert.deepEqual([address.search, address.hash], ['', `#t=${server.token}`]);
      const jpeg = await photoOf(phone.context, await barcodePng('itf', COLLECTION), { degrees: 1 });
      const { status, arrived } = await scan(oldLink, jpeg);
      assert.equal(status, 'Código enviado ao computador.');
      assert.deepEqual(arrived.map((line) => line.code), [COLLECTION]);
    } finally {
      await oldLink.close();
    }
  });

  it('does not send a slip whose check digit is wrong', async () => {
    const jpeg = await photoOf(phone.context, await barcodePng('itf', SLIP_WRONG_DIGIT), { degrees: 2 });
    const { status, arrived } = await scan(page, jpeg);
    assert.equal(status, UNREADABLE);
    assert.deepEqual(arrived, []);
    assert.ok(!(await page.isVisible('#result')));
  });

  it('says it could not read a photo with no barcode, and sends nothing', async () => {
    const { status, arrived } = await scan(page, await photoWithoutBarcode(phone.context));
    assert.equal(status, UNREADABLE);
    assert.deepEqual(arrived, []);
  });

  it('reads the same photo twice when it is taken again', async () => {
    const jpeg = await photoOf(phone.context, await barcodePng('code128', NFE_KEY), { degrees: 0 });
    const first = await scan(page, jpeg);
    const second = await scan(page, jpeg);
    assert.deepEqual([first.arrived.length, second.arrived.length], [1, 1]);
  });

  it('with a wrong token, says the phone is not paired and nothing arrives', async () => {
    const wrong = new URL(server.pageUrl);
    wrong.hash = `#t=${wrongToken(server.token)}`;
    const unpaired = await openPage(phone.context, wrong);
    try {
      const jpeg = await photoOf(phone.context, await barcodePng('itf', SLIP), { degrees: 2 });
      const { status, arrived } = await scan(unpaired, jpeg);
      assert.equal(status, UNPAIRED);
      assert.deepEqual(arrived, []);
    } finally {
      await unpaired.close();
    }
  });

  it('without a token, says so before any photo', async () => {
    const bare = await openPage(phone.context, new URL('/', server.pageUrl));
    try {
      assert.equal((await bare.textContent('#status')).trim(), UNPAIRED);
    } finally {
      await bare.close();
    }
  });

  it('says so when the computer does not give it the reader', async () => {
    const broken = await phone.context.newPage();
    await broken.route(/\/zxing_reader\.[0-9a-f]+\.wasm$/, (route) => route.fulfill({ status: 404, body: '' }));
    try {
      await broken.goto(server.pageUrl.href);
      await broken.waitForFunction(
        () => document.getElementById('status').textContent.includes('leitor de códigos'),
        null, { timeout: 15_000 });
    } finally {
      await broken.close();
    }
  });

  it('loads its reader from this computer and asks nothing of the Internet', async () => {
    const fresh = await phone.context.newPage();
    const requested = [];
    fresh.on('request', (request) => requested.push(request.url()));
    try {
      const wasm = fresh.waitForResponse((r) => /^\/zxing_reader\.[0-9a-f]+\.wasm$/.test(new URL(r.url()).pathname));
      await fresh.goto(server.pageUrl.href);
      // Fetched as the page starts, before any photo: ready when the camera returns.
      assert.ok((await wasm).ok());
    } finally {
      await fresh.close();
    }
    assert.deepEqual(requested.filter((url) => new URL(url).origin !== server.pageUrl.origin), []);
    assert.deepEqual(phone.outside, []);
  });
});

describe('the server, asked directly', () => {
  // The scans below go from 127.0.0.1, whose burst the phones above have spent: its rate
  // limit's bucket is full again after 4 s (20 requests at 5 a second).
  before(async () => {
    await serverStarted();
    await new Promise((resolve) => setTimeout(resolve, 4000));
  });

  const post = (body, options) => postScan(server.pageUrl, body, options);

  // The raw answer, undecoded: fetch would unzip and hide the 304. From an address of its
  // own, as a second phone: the phones above have spent much of 127.0.0.1's rate limit.
  const raw = (path, headers = { 'Accept-Encoding': 'gzip, deflate' }, method = 'GET') =>
    new Promise((resolve, reject) => {
      const localAddress = server.pageUrl.hostname === '127.0.0.1' ? '127.0.0.2' : undefined;
      http.request(new URL(path, server.pageUrl), { method, headers, localAddress }, (response) => {
        const chunks = [];
        response.on('data', (chunk) => chunks.push(chunk));
        response.on('end', () => resolve({ status: response.statusCode, headers: response.headers,
                                           body: Buffer.concat(chunks) }));
      }).on('error', reject).end();
    });

  it('serves the page and the reader gzipped, the page revalidated, its scripts and the reader for good', async () => {
    const dist = `${repoRoot}web/node_modules/zxing-wasm/dist/`;
    const readerJs = readFileSync(`${dist}iife/reader/index.js`);
    const readerWasm = readFileSync(`${dist}reader/zxing_reader.wasm`);
    const sha = (bytes) => createHash('sha256').update(bytes).digest('hex');
    const jsPath = `/zxing-reader.${sha(readerJs).slice(0, 12)}.js`;
    const wasmPath = `/zxing_reader.${sha(readerWasm).slice(0, 12)}.wasm`;
    const proofJs = Buffer.from(bundleScanProof());
    const proofPath = `/scan-proof.${sha(proofJs).slice(0, 12)}.js`;
    const names = { ZXING_READER_JS: jsPath, ZXING_READER_WASM: wasmPath, SCAN_PROOF_JS: proofPath };
    const substituted = (source) => Object.entries(names).reduce(
      (text, [name, value]) => text.replaceAll(`@${name}@`, value),
      source.includes('\n') ? source : readFileSync(`${repoRoot}res/phone/${source}`, 'utf8'));
    // Each script is named by what it serves, the names that it holds included.
    const named = (variable, source, stem) => {
      const text = substituted(source);
      names[variable] = `/${stem}.${sha(text).slice(0, 12)}.js`;
      return [names[variable], 'application/javascript', Buffer.from(text), true];
    };
    const expected = [
      named('READER_WORKER_JS', bundleReaderWorker(), 'reader-worker'),
      named('PHONE_APP_JS', 'app.js', 'app'),
      named('PHONE_LIVE_JS', 'live.js', 'live'),
      [jsPath, 'application/javascript', readerJs, true],
      [proofPath, 'application/javascript', proofJs, true],
      [wasmPath, 'application/wasm', readerWasm, true],
    ];
    expected.unshift([server.pageUrl.pathname, 'text/html',
                      Buffer.from(substituted('index.html')), false]);
    const sizes = {};
    for (const [path, type, bytes, immutable] of expected) {
      const first = await raw(path);
      sizes[path] = first.body.length;
      assert.equal(first.status, 200, path);
      assert.equal(first.headers['content-type'].split(';')[0].trim(), type, path);
      assert.equal(first.headers['content-encoding'], 'gzip', path);
      assert.equal(first.headers.vary, 'Accept-Encoding', path);
      assert.ok(gunzipSync(first.body).equals(bytes), `${path} is not its source`);
      assert.equal(first.headers['cache-control'],
                   immutable ? 'public, max-age=31536000, immutable' : 'no-cache', path);
      const again = await raw(path, { 'Accept-Encoding': 'gzip', 'If-None-Match': first.headers.etag });
      assert.deepEqual([again.status, again.body.length], [304, 0], path);
    }
    const head = await raw(wasmPath, { 'Accept-Encoding': 'gzip' }, 'HEAD');
    assert.deepEqual([head.status, head.body.length], [200, 0]);
    assert.equal(Number(head.headers['content-length']), sizes[wasmPath]);
    for (const headers of [{}, { 'Accept-Encoding': 'deflate, gzip;q=0' }]) {
      const refused = await raw(names.PHONE_APP_JS, headers);
      assert.equal(refused.status, 406, JSON.stringify(headers));
      assert.match(refused.body.toString(), /gzip/);
    }
    assert.equal((await raw('/nothing-here')).status, 404);
  });

  it('answers a code with its interpretation', async () => {
    const since = server.arrivals.count;
    const response = await post(SLIP);
    assert.equal(response.status, 200);
    const answer = await response.json();
    assert.equal(answer.code, SLIP);
    assert.equal(answer.typeable, '00199.95687 50418.332602 00006.248181 1 45570000011000');
    assert.equal(answer.value, 'R$ 110,00');
    assert.match(answer.due, /^\d\d\/\d\d\/\d{4}$/);
    assert.equal(answer.valid, true);
    assert.equal((await server.arrivals.next(since)).code, SLIP);
  });

  const refusals = [
    ['a 100 kB body', () => post('1'.repeat(100_000)), 413, null],
    ['a body that is not digits', () => post(`${SLIP.slice(0, 43)}X`), 400, null],
    ['43 digits', () => post(SLIP.slice(0, 43)), 400, null],
    ['a wrong token', () => post(SLIP, { token: wrongToken(server.token) }), 403, 'token'],
    ['the token itself in place of a proof', () =>
      fetch(new URL(`/scan?t=${server.token}&k=1`, server.pageUrl), { method: 'POST', body: SLIP }),
     403, 'nonce'],
  ];
  for (const [name, send, status, body] of refusals) {
    it(`refuses ${name}, takes nothing, and goes on serving`, async () => {
      const since = server.arrivals.count;
      const response = await send();
      assert.equal(response.status, status);
      const text = await response.text();
      if (body) assert.equal(text.trim(), body);
      assert.deepEqual(await server.arrivals.after(since, 500), []);
      assert.equal((await fetch(server.pageUrl)).status, 200);
    });
  }
});
