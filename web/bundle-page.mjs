// Bundles the page's scripts that are written as modules into the classic scripts that
// the page serves: res/phone/scan-proof.mjs with @noble/hashes (the global ZentoryProof),
// and the reader worker, res/phone/reader/worker.mjs with the modules it imports. A
// classic worker runs wherever the page does and may still importScripts the barcode
// reader, which stays a file of its own that phones keep across releases. The build
// writes both to files; the browser test's stand-in server takes the same bytes from here.
//   node web/bundle-page.mjs OUTPUT_DIR
import { writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const esbuild = createRequire(import.meta.url)('esbuild');

function bundle(entry, options) {
  const result = esbuild.buildSync({
    entryPoints: [fileURLToPath(new URL(entry, import.meta.url))],
    // The same bytes from any folder: the bundle names its modules from the tree's root.
    absWorkingDir: fileURLToPath(new URL('..', import.meta.url)),
    nodePaths: [fileURLToPath(new URL('node_modules', import.meta.url))],
    bundle: true,
    format: 'iife',
    target: 'es2017',
    legalComments: 'inline',
    logLevel: 'warning',
    write: false,
    ...options,
  });
  return result.outputFiles[0].text;
}

export function bundleScanProof() {
  return bundle('../res/phone/scan-proof.mjs', { globalName: 'ZentoryProof', minify: true });
}

// Kept readable: its size is the wasm's small part, and a phone's error names its lines.
export function bundleReaderWorker() {
  return bundle('../res/phone/reader/worker.mjs', {});
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  if (process.argv.length !== 3) {
    process.stderr.write('usage: node web/bundle-page.mjs OUTPUT_DIR\n');
    process.exit(2);
  }
  writeFileSync(path.join(process.argv[2], 'scan-proof.js'), bundleScanProof());
  writeFileSync(path.join(process.argv[2], 'reader-worker.js'), bundleReaderWorker());
}
