// How the page's live camera reads clips (make_clips.py): each clip is played by
// Chromium's fake camera into the page's live view, the whole browser held to a quarter of
// one core, and each document's code is timed from the moment it is sharp and steady in
// view to its arrival at the server.
//
//   node bench/phone_reading/live.mjs --clips DIR [--levels ordinary,hard] [--verbose]
//        [--json FILE] [--percent 25] [--prefer-pix] [--camera-inside]
import { readFileSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { parseArgs } from 'node:util';
import { launchPhone, startServer } from '../../tests/browser/harness.mjs';
import { quarterCore } from './quarter_core.mjs';

const { values: opts } = parseArgs({
  options: {
    clips: { type: 'string' },
    levels: { type: 'string', default: '' },
    verbose: { type: 'boolean', default: false },
    json: { type: 'string', default: `/tmp/zentory-live-reading-${Date.now()}.json` },
    percent: { type: 'string', default: '25' },
    'prefer-pix': { type: 'boolean', default: false },
    'camera-inside': { type: 'boolean', default: false },
  },
});
if (!opts.clips) {
  process.stderr.write('usage: live.mjs --clips DIR [--levels L,...] [--verbose] [--json FILE] [--percent P]\n');
  process.exit(2);
}
const log = (line) => process.stdout.write(`${line}\n`);
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const preferPix = opts['prefer-pix'];
// What the page must send of a document: its barcode, or with the preference its Pix code.
const expectedOf = (doc) => (preferPix && doc.pix ? doc.pix : doc.code);

const manifest = JSON.parse(readFileSync(path.join(opts.clips, 'manifest.json'), 'utf8'));
const levels = opts.levels ? opts.levels.split(',') : null;
const clips = manifest.clips.filter((clip) => !levels || levels.includes(clip.level));

// Which frame of the clip the page's video shows when: each frame carries its number in
// its bottom left corner (make_clips.py's stamp), read here four times a second into
// window.__shown as [Date.now(), number]. The camera runs late when the machine is busy;
// the stamps say by how much.
function frameClock(stamp) {
  window.__shown = [];
  window.__cameraAt = null;
  const devices = navigator.mediaDevices;
  const open = devices.getUserMedia.bind(devices);
  devices.getUserMedia = async (constraints) => {
    const stream = await open(constraints);
    if (window.__cameraAt === null) window.__cameraAt = Date.now();
    return stream;
  };
  // The frame's luma plane, copied in the corner only: the sampling must not take the
  // reader's share of the CPU.
  setInterval(async () => {
    const video = document.getElementById('video');
    if (!video || video.readyState < 2 || !video.videoHeight) return;
    let frame;
    try {
      frame = new VideoFrame(video);
      const at = Date.now();
      const rect = { x: 0, y: frame.visibleRect.height - stamp.side, width: stamp.bits * stamp.side,
                     height: stamp.side };
      const planes = new Uint8Array(frame.allocationSize({ rect }));
      const [luma] = await frame.copyTo(planes, { rect });
      let number = 0;
      for (let bit = 0; bit < stamp.bits; bit++) {
        const middle = luma.offset + (stamp.side >> 1) * luma.stride + bit * stamp.side + (stamp.side >> 1);
        if (planes[middle] > 128) number |= 1 << bit;
      }
      window.__shown.push([at, number]);
    } catch {
      // no frame yet
    } finally {
      if (frame) frame.close();
    }
  }, 250);
}

// The moment (Date.now()) the page showed the frame of clip time `seconds`, from the
// stamps seen: between the two nearest, or beyond the nearest at the clip's own pace.
function wallClock(shown, perSecond) {
  return (seconds) => {
    const wanted = seconds * perSecond;
    let before = null;
    let after = null;
    for (const [at, number] of shown) {
      if (number <= wanted && (!before || number >= before[1])) before = [at, number];
      if (number >= wanted && (!after || number < after[1])) after = [at, number];
    }
    if (before && after && after[1] > before[1]) {
      return before[0] + (after[0] - before[0]) * (wanted - before[1]) / (after[1] - before[1]);
    }
    const near = before || after;
    return near ? near[0] + ((wanted - near[1]) / perSecond) * 1000 : null;
  };
}

async function playClip(server, cpu, clip) {
  const file = path.resolve(opts.clips, clip.file);
  process.env.CHROMIUM = cpu ? cpu.executable : process.env.CHROMIUM;
  // Nothing is intercepted: a routed request costs a round trip that a phone never pays.
  const phone = await launchPhone({
    blockOutside: false,
    args: ['--use-fake-device-for-media-stream', `--use-file-for-fake-video-capture=${file}`,
           '--use-fake-ui-for-media-stream'],
    permissions: ['camera'],
  });
  const since = server.arrivals.count;
  let cameraAt = null;
  let status = '';
  let shown = [];
  try {
    const page = await phone.context.newPage();
    await page.addInitScript(frameClock, clip.stamp);
    // As a person does: the page ready, then "Câmera ao vivo", which starts the camera and
    // with it the clip.
    await page.goto(server.pageUrl.href);
    await page.waitForFunction(() => document.documentElement.dataset.reader === 'ready', null,
                               { timeout: 60_000 });
    await page.click('#live-start');
    await page.waitForFunction(() => window.__cameraAt !== null, null, { timeout: 60_000 });
    cameraAt = await page.evaluate(() => window.__cameraAt);
    // One pass of the clip: until its last frame shows (the fake camera then starts it
    // again), or twice its length.
    const last = Math.floor(clip.seconds * clip.stamp.per_second) - 2;
    const end = cameraAt + 2 * clip.seconds * 1000 + 10_000;
    while (Date.now() < end) {
      await sleep(500);
      const seen = await page.evaluate(() => window.__shown.map((s) => s[1]));
      const top = Math.max(-1, ...seen);
      if (top >= last || seen.length > 1 && seen[seen.length - 1] < top) break;
    }
    await sleep(1000);
    status = await page.locator('#status').textContent();
    shown = await page.evaluate(() => window.__shown);
    await page.close();
  } finally {
    await phone.close();
  }
  const arrivals = server.arrivals.lines.slice(since).map((line, i) => ({
    code: line.code ?? line.unparsed, at: server.arrivals.times[since + i],
  }));
  // Until the clip came round again.
  const pass = shown.findIndex((s, i) => i > 0 && s[1] < shown[i - 1][1]);
  return { arrivals, status, wall: wallClock(pass < 0 ? shown : shown.slice(0, pass), clip.stamp.per_second),
           lag: shown.length ? Math.round(shown[0][0] - cameraAt - (shown[0][1] / clip.stamp.per_second) * 1000) : null };
}

// Each document: read or not, the time from sharp and steady to arrival, and how often it
// arrived while in view; codes that belong to no document are wrong.
function judge(clip, arrivals, wall) {
  const docs = clip.documents.map((doc) => {
    const expected = expectedOf(doc);
    const steady = wall(doc.steady_from);
    const window = arrivals.filter((a) => a.code === expected && a.at <= wall(doc.gone_at) + 1500 &&
                                          a.at >= wall(doc.steady_from - 3));
    const first = window[0];
    return {
      clip: clip.file, level: clip.level, kind: doc.kind, stress: doc.stress, expected,
      outcome: first ? 'read' : 'unread',
      ms: first ? Math.round(first.at - steady) : null,
      times: window.length,
    };
  });
  const known = new Set(clip.documents.flatMap((doc) => [doc.code, doc.pix].filter(Boolean)));
  const wrong = arrivals.filter((a) => !known.has(a.code)).map((a) => a.code);
  return { docs, wrong };
}

function quantile(sorted, q) {
  if (!sorted.length) return null;
  const at = (sorted.length - 1) * q;
  const lo = Math.floor(at);
  const hi = Math.ceil(at);
  return sorted[lo] + (sorted[hi] - sorted[lo]) * (at - lo);
}
const seconds = (ms) => (ms === null ? '-' : `${(ms / 1000).toFixed(2)} s`);

async function main() {
  let cpu = null;
  try {
    cpu = quarterCore(Number(opts.percent), { cameraInside: opts['camera-inside'] });
  } catch (error) {
    log(`not held to a quarter core (${error.message}): the figures are the machine's`);
  }
  const server = await startServer();
  const report = { clips: opts.clips, cpu: cpu ? cpu.label : 'not held', preferPix, results: [], wrong: [] };
  try {
    for (const clip of clips) {
      const { arrivals, status, wall, lag } = await playClip(server, cpu, clip);
      const { docs, wrong } = judge(clip, arrivals, wall);
      report.results.push(...docs);
      report.wrong.push(...wrong.map((code) => ({ clip: clip.file, code })));
      if (opts.verbose) {
        for (const d of docs) {
          log(`  ${clip.file} ${d.kind.padEnd(14)} ${d.outcome.padEnd(6)} ${seconds(d.ms).padStart(8)}` +
              `${d.times > 1 ? `  sent ${d.times} times` : ''}${d.stress.length ? `  (${d.stress.join(', ')})` : ''}`);
        }
        if (wrong.length) log(`  ${clip.file} wrong: ${wrong.join(', ')}`);
        log(`  ${clip.file} page says: ${status.trim()}; the camera's first stamp came ${lag} ms late`);
      }
    }
  } finally {
    await server.stop();
    if (cpu) cpu.close();
  }
  log(`live camera, ${report.cpu}:`);
  const byLevel = {};
  for (const r of report.results) (byLevel[r.level] ??= []).push(r);
  report.summary = {};
  for (const [level, of] of Object.entries(byLevel)) {
    const read = of.filter((r) => r.outcome === 'read');
    // A code that arrived before its document was steady counts as at once.
    const times = read.map((r) => Math.max(0, r.ms)).sort((a, b) => a - b);
    const twice = of.filter((r) => r.times > 1).length;
    const summary = { documents: of.length, read: read.length, median: quantile(times, 0.5),
                      p95: quantile(times, 0.95), sentTwice: twice };
    report.summary[level] = summary;
    log(`  ${level}: ${read.length} of ${of.length} read (${(100 * read.length / of.length).toFixed(0)} %), ` +
        `sharp and steady to arrival: median ${seconds(summary.median)}, 95th percentile ${seconds(summary.p95)}; ` +
        `sent twice while in view: ${twice}`);
  }
  log(`  wrong codes: ${report.wrong.length}`);
  writeFileSync(opts.json, JSON.stringify(report, null, 1));
  log(`results: ${opts.json}`);
}

await main();
