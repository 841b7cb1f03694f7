// The studio page: builds the rollouts from what the plug-in describes, sends each edit to the
// server and shows the values and enabled controls the server answers with; the preview images
// are reloaded whenever the server's render moves on. Nothing here knows any parameter.
'use strict';

const token = new URLSearchParams(location.search).get('token') || '';
const controls = new Map();  // parameter name -> {row, input, def}
let shownRevision = -1;
let previewKey = '';
let turntableFrames = 0;
let turntableFrame = 0;

function api(path, body) {
  const init = { headers: { 'X-Studio-Token': token } };
  if (body !== undefined) {
    init.method = 'POST';
    init.headers['Content-Type'] = 'application/json';
    init.body = JSON.stringify(body);
  }
  return fetch(path, init).then(async (res) => {
    const data = await res.json().catch(() => ({}));
    if (!res.ok) throw new Error(data.error || res.status + ' ' + res.statusText);
    return data;
  });
}

function say(text, isError) {
  const m = document.getElementById('message');
  m.textContent = text;
  m.className = isError ? 'error' : '';
}

// Colours travel as the host writes them, "R,G,B" in linear floats; the picker wants #rrggbb.
function toHex(text) {
  return '#' + text.split(',').slice(0, 3).map((v) => {
    const n = Math.round(Math.min(1, Math.max(0, Number(v) || 0)) * 255);
    return n.toString(16).padStart(2, '0');
  }).join('');
}
function fromHex(hex) {
  return [1, 3, 5].map((i) => String(Math.round(parseInt(hex.substr(i, 2), 16) / 255 * 1000) / 1000)).join(',');
}

// One edit in flight at a time; while it runs, later edits of a parameter replace each other,
// so a drag sends its latest value rather than a queue of old ones.
const pending = new Map();
let sending = false;
function send(name, value) {
  pending.set(name, value);
  if (!sending) flush();
}
async function flush() {
  sending = true;
  while (pending.size > 0) {
    const [name, value] = pending.entries().next().value;
    pending.delete(name);
    try {
      const data = await api('api/set', { name, value });
      say('');
      showState(data.material);
    } catch (e) {
      say(e.message, true);
      refresh();
    }
  }
  sending = false;
}

function stepOf(def) {
  if (def.step) return def.step;
  if (def.integer) return 1;
  const span = (def.high ?? 1) - (def.low ?? 0);
  return span > 100 ? 0.1 : 0.01;  // the spinner scales itself when the plug-in gives no step
}

function clampToRange(def, v) {
  if (def.low !== undefined) v = Math.max(def.low, v);
  if (def.high !== undefined) v = Math.min(def.high, v);
  return def.integer ? Math.round(v) : Math.round(v * 1e6) / 1e6;
}

function makeSpinner(def, input) {
  input.type = 'text';
  input.className = 'spinner';
  input.inputMode = 'decimal';
  let drag = null;
  input.addEventListener('mousedown', (e) => {
    if (input.disabled || document.activeElement === input) return;
    drag = { x: e.clientX, start: Number(input.value), moved: false };
    e.preventDefault();
  });
  window.addEventListener('mousemove', (e) => {
    if (!drag) return;
    const dx = e.clientX - drag.x;
    if (Math.abs(dx) < 2 && !drag.moved) return;
    drag.moved = true;
    const v = clampToRange(def, drag.start + dx * stepOf(def) * (e.shiftKey ? 10 : 1));
    input.value = String(v);
    send(def.name, input.value);
  });
  window.addEventListener('mouseup', () => {
    if (drag && !drag.moved) { input.focus(); input.select(); }
    drag = null;
  });
  input.addEventListener('keydown', (e) => {
    if (e.key === 'Enter') { send(def.name, input.value.trim()); input.blur(); }
    if (e.key === 'Escape') { input.blur(); refresh(); }
    if (e.key === 'ArrowUp' || e.key === 'ArrowDown') {
      const v = clampToRange(def, Number(input.value) + (e.key === 'ArrowUp' ? 1 : -1) * stepOf(def));
      input.value = String(v);
      send(def.name, input.value);
      e.preventDefault();
    }
  });
  input.addEventListener('change', () => send(def.name, input.value.trim()));
}

function makeControl(def) {
  const row = document.createElement('div');
  row.className = 'row';
  row.title = def.tooltip || '';
  const label = document.createElement('label');
  label.textContent = def.label || def.name;
  let input;
  if (def.control === 'combo') {
    input = document.createElement('select');
    def.items.forEach((text, i) => input.add(new Option(text, String(i))));
    input.addEventListener('change', () => send(def.name, input.value));
  } else {
    input = document.createElement('input');
    if (def.control === 'checkbox') {
      input.type = 'checkbox';
      input.addEventListener('change', () => send(def.name, input.checked ? 'on' : 'off'));
    } else if (def.control === 'colour') {
      input.type = 'color';
      input.addEventListener('input', () => send(def.name, fromHex(input.value)));
    } else if (def.control === 'spinner') {
      makeSpinner(def, input);
    } else {
      input.type = 'text';
      input.className = 'map';
      input.addEventListener('change', () => send(def.name, input.value.trim()));
    }
  }
  input.id = 'param-' + def.name;
  input.dataset.name = def.name;
  label.htmlFor = input.id;
  row.append(label, input);
  controls.set(def.name, { row, input, def });
  return row;
}

function showState(state) {
  shownRevision = state.revision;
  for (const [name, c] of controls) {
    const value = state.values[name];
    const enabled = state.enabled[name] !== false;
    c.input.disabled = !enabled;
    c.row.classList.toggle('disabled', !enabled);
    if (value === undefined || document.activeElement === c.input) continue;
    if (c.def.control === 'checkbox') c.input.checked = value === 'on';
    else if (c.def.control === 'colour') c.input.value = toHex(value);
    else c.input.value = value;
  }
}

async function loadImage(img, url) {
  const res = await fetch(url, { headers: { 'X-Studio-Token': token } });
  if (!res.ok) return;
  const old = img.src;
  img.src = URL.createObjectURL(await res.blob());
  // Until the new picture is decoded the element still shows the old one: whoever waits on
  // this (the progress line's shown marker) must not see the old picture as the new.
  await img.decode().catch(() => {});
  if (old.startsWith('blob:')) URL.revokeObjectURL(old);
}

const turntableImages = [];
async function showPreview(p) {
  const info = document.getElementById('progress');
  if (p.error) info.textContent = 'render failed: ' + p.error;
  else {
    info.textContent = (p.coarse ? 'coarse' : p.passes + ' spp') + ' at ' + p.size + '\u00d7' + p.size +
      (p.seconds >= 0 ? ' in ' + p.seconds.toFixed(2) + ' s' : '') +
      (p.rendering ? ', rendering' : ', done');
  }
  info.dataset.passes = p.passes;
  info.dataset.revision = p.revision;
  info.dataset.rendering = p.rendering;
  const key = p.revision + '/' + p.passes + '/' + p.coarse + '/' + p.turntableFrames;
  if (key === previewKey || (p.passes === 0 && !p.coarse)) return;
  previewKey = key;
  await Promise.all([loadImage(document.getElementById('view-close'), 'api/preview/close.png'),
                     loadImage(document.getElementById('view-far'), 'api/preview/far.png')]);
  info.dataset.shown = key;
  if (p.turntableFrames !== turntableFrames || p.turntableFrames === 0) {
    turntableFrames = p.turntableFrames;
    turntableImages.length = 0;
    for (let f = 0; f < turntableFrames; ++f) {
      const img = new Image();
      await loadImage(img, 'api/preview/turntable.png?frame=' + f);
      turntableImages.push(img.src);
    }
    document.getElementById('turntable-info').textContent =
      turntableFrames ? turntableFrames + '/' + p.turntableTotal + ' frames' : '';
  }
}

setInterval(() => {
  if (turntableImages.length === 0) return;
  turntableFrame = (turntableFrame + 1) % turntableImages.length;
  document.getElementById('view-turntable').src = turntableImages[turntableFrame];
}, 120);

let refreshing = false;
async function refresh() {
  if (refreshing) return;
  refreshing = true;
  try {
    const data = await api('api/state');
    if (data.material.revision !== shownRevision) showState(data.material);
    await showPreview(data.preview);
  } catch (e) {
    say(e.message, true);
  } finally {
    refreshing = false;
  }
}

function download(format) {
  const view = document.getElementById('export-view').value;
  const a = document.createElement('a');
  a.href = 'api/preview/' + view + '.' + format + '?download=1';
  a.download = 'glitter-' + view + '.' + format;
  document.body.append(a);
  a.click();
  a.remove();
}

async function fileAction(action) {
  const path = document.getElementById('path').value.trim();
  try {
    const data = await api('api/' + action, { path });
    showState(data.material);
    say(action === 'save' ? 'saved ' + path : 'opened ' + path);
  } catch (e) {
    say(e.message, true);
  }
}

async function start() {
  const d = await api('api/describe');
  document.getElementById('class-name').textContent = d.entry.className;
  document.getElementById('category').textContent = d.entry.category;
  const icons = document.getElementById('icons');
  for (const i of [0, 1, 2]) {
    const img = document.createElement('img');
    img.alt = ['inactive', 'active', 'disabled'][i] + ' icon';
    icons.append(img);
    loadImage(img, 'api/icon/' + i + '.png');
  }
  const root = document.getElementById('rollouts');
  for (const r of d.rollouts) {
    const details = document.createElement('details');
    details.open = r.open;
    const summary = document.createElement('summary');
    summary.textContent = r.title;
    details.append(summary);
    for (const def of r.controls) details.append(makeControl(def));
    root.append(details);
  }
  showState(d.state);
  document.getElementById('reset').addEventListener('click', async () => {
    try { showState((await api('api/reset', {})).material); say(''); } catch (e) { say(e.message, true); }
  });
  document.getElementById('open').addEventListener('click', () => fileAction('open'));
  document.getElementById('save').addEventListener('click', () => fileAction('save'));
  document.getElementById('export-png').addEventListener('click', () => download('png'));
  document.getElementById('export-exr').addEventListener('click', () => download('exr'));
  document.body.dataset.ready = 'true';
  refresh();
  setInterval(refresh, 250);
}

start().catch((e) => say(e.message, true));
