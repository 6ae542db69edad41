// Bundles res/phone/scan-proof.mjs with @noble/hashes into one classic script, as the page
// serves it (the global ZentoryProof). The build writes it to a file; the browser test's
// stand-in server takes the same bytes from here.
//   node web/bundle-scan-proof.mjs OUTPUT.js
import { writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { fileURLToPath } from 'node:url';

const esbuild = createRequire(import.meta.url)('esbuild');

export function bundleScanProof() {
  const result = esbuild.buildSync({
    entryPoints: [fileURLToPath(new URL('../res/phone/scan-proof.mjs', import.meta.url))],
    nodePaths: [fileURLToPath(new URL('node_modules', import.meta.url))],
    bundle: true,
    format: 'iife',
    globalName: 'ZentoryProof',
    minify: true,
    target: 'es2017',
    legalComments: 'inline',
    logLevel: 'warning',
    write: false,
  });
  return result.outputFiles[0].text;
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  if (process.argv.length !== 3) {
    process.stderr.write('usage: node web/bundle-scan-proof.mjs OUTPUT.js\n');
    process.exit(2);
  }
  writeFileSync(process.argv[2], bundleScanProof());
}
