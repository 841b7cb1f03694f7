// glitter-studio's responsiveness at its default 256x256 preview: seconds from a parameter
// change to the first preview update and to 16 samples per pixel, and the page's load time in
// headless chromium. Run after building the release preset and installing the page tests' npm
// folder (scripts/deps.sh):
//   node bench/studio_bench.mjs [build/release/apps/studio/glitter-studio]
import { spawn } from 'node:child_process';
import { createRequire } from 'node:module';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const { chromium } = createRequire(path.join(here, '../tests/apps/studio/'))('playwright-core');
const exe = process.argv[2] || path.join(here, '../build/release/apps/studio/glitter-studio');
const rounds = 3;

const studio = spawn(exe, ['--max-passes', '16'], { stdio: ['ignore', 'pipe', 'inherit'] });
const url = await new Promise((resolve) => {
  let out = '';
  studio.stdout.on('data', (d) => { out += d; const m = out.match(/open (\S+)/); if (m) resolve(m[1]); });
});
const token = new URL(url).searchParams.get('token');
const base = url.slice(0, url.indexOf('?'));
const headers = { 'X-Studio-Token': token, 'Content-Type': 'application/json' };
const state = async () => (await fetch(base + 'api/state', { headers })).json();
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];

async function until(test) {
  for (;;) {
    const s = await state();
    if (test(s)) return performance.now();
    await sleep(5);
  }
}

const first = [], full = [];
for (let i = 0; i < rounds; ++i) {
  await until((s) => !s.preview.rendering);
  const t0 = performance.now();
  const res = await fetch(base + 'api/set', { method: 'POST', headers,
    body: JSON.stringify({ name: 'hilight_glossiness', value: String(1 + i) }) });
  const revision = (await res.json()).material.revision;
  const t1 = await until((s) => s.preview.revision === revision && (s.preview.coarse || s.preview.passes > 0));
  const t2 = await until((s) => s.preview.revision === revision && s.preview.passes >= 16);
  first.push((t1 - t0) / 1000);
  full.push((t2 - t0) / 1000);
}

const browser = await chromium.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium', args: ['--no-sandbox'] });
const loads = [];
for (let i = 0; i < rounds; ++i) {
  const page = await browser.newPage();
  const t0 = performance.now();
  await page.goto(url);
  await page.waitForFunction(() => document.body.dataset.ready === 'true');
  loads.push((performance.now() - t0) / 1000);
  await page.close();
}
await browser.close();
studio.kill('SIGTERM');

const f = (x) => x.toFixed(3) + ' s';
console.log(`change to first preview update: median ${f(median(first))} (${first.map(f).join(', ')})`);
console.log(`change to 16 spp at 256x256:    median ${f(median(full))} (${full.map(f).join(', ')})`);
console.log(`page load (rollouts shown):     median ${f(median(loads))} (${loads.map(f).join(', ')})`);
