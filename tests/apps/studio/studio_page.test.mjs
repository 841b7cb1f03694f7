// glitter-studio's page in headless chromium: edits reach the material and the preview, the
// plug-in's enabling rules show, files round-trip with glitter-host, a damaged file is refused
// and rapid edits leave no render behind. Run: node --test studio_page.test.mjs, with
// GLITTER_STUDIO_EXE and GLITTER_HOST_EXE set (CTest does).
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawn, execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';

const studioExe = process.env.GLITTER_STUDIO_EXE;
const hostExe = process.env.GLITTER_HOST_EXE;
const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'studio-page-'));
let studio, browser, page, base, token;

function startStudio() {
  studio = spawn(studioExe, ['--size', '48', '--max-passes', '3', '--threads', '2'],
                 { cwd: folder, stdio: ['ignore', 'pipe', 'inherit'] });
  return new Promise((resolve, reject) => {
    let out = '';
    studio.stdout.on('data', (d) => {
      out += d;
      const m = out.match(/open (http:\/\/\S+)/);
      if (m) resolve(m[1]);
    });
    studio.on('exit', (code) => reject(new Error('glitter-studio exited with ' + code)));
  });
}

const api = async (p, body) => {
  const res = await fetch(base + p, body === undefined ? { headers: { 'X-Studio-Token': token } } : {
    method: 'POST', headers: { 'X-Studio-Token': token, 'Content-Type': 'application/json' },
    body: JSON.stringify(body) });
  return p.endsWith('.png') ? Buffer.from(await res.arrayBuffer()) : res.json();
};

// Until the preview has finished rendering the material as it is now.
async function settled() {
  for (let i = 0; i < 600; ++i) {
    const s = await api('api/state');
    if (s.preview.revision === s.material.revision && !s.preview.rendering &&
        s.preview.passes === s.preview.maxPasses) {
      return s;
    }
    await new Promise((r) => setTimeout(r, 100));
  }
  throw new Error('the preview did not settle');
}

// Mean and spread of the close view as the page shows it, once the page caught up.
async function closeStats() {
  const s = await settled();
  const key = `${s.preview.revision}/${s.preview.passes}/false/`;
  await page.waitForFunction((k) => (document.getElementById('progress').dataset.shown || '').startsWith(k), key);
  return page.evaluate(() => {
    const img = document.getElementById('view-close');
    const c = document.createElement('canvas');
    c.width = img.naturalWidth;
    c.height = img.naturalHeight;
    const g = c.getContext('2d');
    g.drawImage(img, 0, 0);
    const d = g.getImageData(0, 0, c.width, c.height).data;
    let sum = 0, sq = 0;
    for (let i = 0; i < d.length; i += 4) { const v = d[i] + d[i + 1] + d[i + 2]; sum += v; sq += v * v; }
    const n = d.length / 4;
    return { mean: sum / n, spread: Math.sqrt(sq / n - (sum / n) ** 2) };
  });
}

const disabledControls = () => page.$$eval('#rollouts [data-name]', (els) =>
  els.filter((e) => e.disabled).map((e) => e.dataset.name).sort());

before(async () => {
  const url = await startStudio();
  base = url.slice(0, url.indexOf('?'));
  token = new URL(url).searchParams.get('token');
  browser = await chromium.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
                                    args: ['--no-sandbox'] });
  page = await browser.newPage();
  await page.goto(url);
  await page.waitForFunction(() => document.body.dataset.ready === 'true');
});

// The server must also stop cleanly: under the sanitizer build a report makes the exit code fail.
after(async () => {
  await browser?.close();
  const exited = new Promise((resolve) => studio.on('exit', (code, signal) => resolve(code ?? signal)));
  studio.kill('SIGTERM');
  assert.equal(await exited, 0);
  fs.rmSync(folder, { recursive: true, force: true });
});

test('a typed glossiness reaches the material and moves the preview', async () => {
  const before = await closeStats();
  await page.fill('#param-hilight_glossiness', '40');
  await page.press('#param-hilight_glossiness', 'Enter');
  // The field holds 40 at once; the server has it only once the page's request arrived.
  for (let i = 0; i < 100 && (await api('api/state')).material.values.hilight_glossiness !== '40'; ++i)
    await new Promise((r) => setTimeout(r, 50));
  assert.equal((await api('api/state')).material.values.hilight_glossiness, '40');
  const after = await closeStats();
  assert.ok(Math.abs(after.mean - before.mean) > 0.5 || Math.abs(after.spread - before.spread) > 0.5,
            JSON.stringify({ before, after }));
});

test('enable_flakes off disables what the plug-in rules say, on restores', async () => {
  const initial = await disabledControls();
  await page.uncheck('#param-enable_flakes');
  await page.waitForFunction(() => document.getElementById('param-num_flakes').disabled);
  await api('api/save', { path: 'now.scene' });
  const listing = execFileSync(hostExe, ['rollouts', '--scene', path.join(folder, 'now.scene')]).toString();
  const expected = [...listing.matchAll(/^\s+(\w+)\s.*\sdisabled$/gm)].map((m) => m[1]).sort();
  assert.deepEqual(await disabledControls(), expected);
  assert.ok(expected.length > initial.length);
  await page.check('#param-enable_flakes');
  await page.waitForFunction(() => !document.getElementById('param-num_flakes').disabled);
  assert.deepEqual(await disabledControls(), initial);
});

test('a saved material shows the same values in glitter-host; a damaged file changes nothing', async () => {
  await api('api/set', { name: 'reflection_filter', value: '0.25,0.5,1' });
  await page.fill('#path', 'saved.scene');
  await page.click('#save');
  await page.waitForFunction(() => document.getElementById('message').textContent.startsWith('saved'));
  const values = (await api('api/state')).material.values;
  const shown = execFileSync(hostExe, ['show', '--scene', path.join(folder, 'saved.scene')]).toString();
  const hostValues = Object.fromEntries([...shown.matchAll(/^(\w+)\s+\d+\s+\w+\s+(\S+)/gm)].map((m) => [m[1], m[2]]));
  assert.deepEqual(hostValues, values);

  fs.writeFileSync(path.join(folder, 'damaged.scene'), fs.readFileSync(path.join(folder, 'saved.scene')).subarray(0, 100));
  await page.fill('#path', 'damaged.scene');
  await page.click('#open');
  await page.waitForSelector('#message.error');
  assert.match(await page.textContent('#message'), /damaged\.scene/);
  assert.deepEqual((await api('api/state')).material.values, values);
});

test('rapid drags leave no render running and the last picture is the final values\' render', async () => {
  const box = await page.locator('#param-blur_angle').boundingBox();
  await page.mouse.move(box.x + 10, box.y + 5);
  await page.mouse.down();
  for (let x = 0; x < 60; x += 3) await page.mouse.move(box.x + 10 + x, box.y + 5);
  await page.mouse.up();
  const done = await settled();
  assert.equal(done.preview.activeRenders, 0);
  assert.ok(done.preview.rendersCancelled > 0);
  const dragged = await api('api/preview/close.png');
  await api('api/save', { path: 'final.scene' });
  await api('api/open', { path: 'final.scene' });
  await settled();
  assert.ok(dragged.equals(await api('api/preview/close.png')));
});
