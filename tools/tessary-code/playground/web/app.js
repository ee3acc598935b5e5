// The playground page: controls, the coloured and editable snippet, and a live preview. The
// server owns the effect; the page sends actions and shows the states and snippets it is sent.
'use strict';

const $ = (selector) => document.querySelector(selector);

const LAYER_NUMBERS = [
  ['viewWidth', 'View width'],
  ['viewHeight', 'View height'],
  ['emitterPositionX', 'Position X'],
  ['emitterPositionY', 'Position Y'],
  ['emitterWidth', 'Emitter width'],
  ['emitterHeight', 'Emitter height'],
];

const CELL_NUMBERS = [
  ['Emission'],
  ['birthRate', 'Birth rate'],
  ['lifetime', 'Lifetime'],
  ['lifetimeRange', 'Lifetime range'],
  ['beginTime', 'Begin time', 'sub'],
  ['duration', 'Duration', 'sub'],
  ['Motion'],
  ['velocity', 'Velocity'],
  ['velocityRange', 'Velocity range'],
  ['xAcceleration', 'X acceleration'],
  ['yAcceleration', 'Y acceleration'],
  ['emissionLatitude', 'Latitude °'],
  ['emissionLongitude', 'Longitude °'],
  ['emissionRange', 'Range °'],
  ['spin', 'Spin °/s'],
  ['spinRange', 'Spin range °'],
  ['Look'],
  ['scale', 'Scale'],
  ['scaleRange', 'Scale range'],
  ['scaleSpeed', 'Scale speed'],
  ['alphaRange', 'Alpha range'],
  ['alphaSpeed', 'Alpha speed'],
  ['redRange', 'Red range'],
  ['greenRange', 'Green range'],
  ['blueRange', 'Blue range'],
];

const app = {
  state: null,
  selected: { cell: 0, sub: null },
  structureKey: '',
  codeAnswer: '',
  editsInFlight: 0,
  waitingSnippet: null,
  snippetTimer: 0,
  lastTyped: -Infinity,
  scrub: null,
};

// ---- Talking to the server -------------------------------------------------------------------

// Every change carries the secret this run of the server put into the page, so that no other
// site's page can make one.
const changeHeaders = (contentType) => ({
  'Content-Type': contentType,
  'X-Playground-Token': document.querySelector('meta[name="playground-token"]').content,
});

// Actions go out one at a time, in order. A queued live value that has not gone out yet is
// replaced by a newer one for the same control, so a fast drag never piles up requests.
const outbox = { queue: [], busy: false };

function send(action, body = {}, coalesceKey = null) {
  return new Promise((resolve) => {
    const last = outbox.queue[outbox.queue.length - 1];
    if (coalesceKey && last && last.coalesceKey === coalesceKey) {
      last.body = body;
      last.resolvers.push(resolve);
    } else {
      outbox.queue.push({ action, body, coalesceKey, resolvers: [resolve] });
    }
    pump();
  });
}

async function pump() {
  if (outbox.busy) return;
  outbox.busy = true;
  while (outbox.queue.length > 0) {
    const item = outbox.queue.shift();
    let result;
    try {
      const response = await fetch('/api/' + item.action, {
        method: 'POST',
        headers: changeHeaders('application/json'),
        body: JSON.stringify(item.body),
      });
      result = await response.json();
      if (!response.ok) showStatus(result.error || 'The server refused the change.', true);
    } catch (error) {
      result = { error: String(error) };
      showStatus('The playground server cannot be reached.', true);
    }
    item.resolvers.forEach((resolve) => resolve(result));
  }
  outbox.busy = false;
}

function showStatus(text, isError = false) {
  const status = $('#status');
  status.textContent = text;
  status.classList.toggle('error', isError);
}

function connectEvents() {
  const events = new EventSource('/events');
  events.addEventListener('state', (event) => applyState(JSON.parse(event.data)));
  events.addEventListener('snippet', (event) => receiveSnippet(JSON.parse(event.data)));
  events.addEventListener('notice', (event) => showStatus(JSON.parse(event.data).message, true));
  // The server follows only so many pages at once and lets the oldest go for a new one.
  events.addEventListener('closed', (event) => {
    events.close();
    showStatus(JSON.parse(event.data).message, true);
  });
  events.onerror = () => showStatus('Reconnecting to the playground server…', true);
  events.onopen = () => showStatus('');
}

// ---- State and controls ----------------------------------------------------------------------

function cellAt(state, address) {
  const cell = state.cells[address.cell];
  if (!cell || address.sub === null) return cell;
  return cell.subcells[address.sub];
}

function cellLabel(cell) {
  return cell.subindex === null ? String(cell.index + 1) : `${cell.index + 1}.${cell.subindex + 1}`;
}

function applyState(state) {
  app.state = state;
  if (!cellAt(state, app.selected)) {
    app.selected = state.cells.length > 0 ? { cell: 0, sub: null } : { cell: -1, sub: null };
  }
  $('#file-name').textContent = state.file ? state.file : 'demo effect (not saved)';
  $('#save').textContent = state.file ? 'Saved' : 'Save…';
  $('#save').disabled = Boolean(state.file);
  $('#undo').disabled = !state.canUndo;
  $('#redo').disabled = !state.canRedo;
  $('#text-smaller').disabled = state.isMinTextSize;
  for (const button of document.querySelectorAll('#platform button')) {
    button.classList.toggle('selected', button.dataset.platform === state.platform);
  }
  const structure = JSON.stringify([
    state.cells.map((cell) => [cell.name, cell.subcells.map((sub) => sub.name)]),
    app.selected,
    cellAt(state, app.selected) ? cellAt(state, app.selected).texture : null,
  ]);
  if (structure !== app.structureKey) {
    app.structureKey = structure;
    renderCellList(state);
    renderLayerFields(state);
    renderCellFields(state);
  }
  updateFieldValues(state);
  preview.setState(state);
}

function element(tag, properties = {}, children = []) {
  const node = document.createElement(tag);
  for (const [key, value] of Object.entries(properties)) {
    if (key === 'dataset') Object.assign(node.dataset, value);
    else if (key === 'text') node.textContent = value;
    else node[key] = value;
  }
  for (const child of children) node.append(child);
  return node;
}

function renderCellList(state) {
  const list = $('#cell-list');
  list.replaceChildren();
  const addItem = (cell, address) => {
    const selected = address.cell === app.selected.cell && address.sub === app.selected.sub;
    const button = element('button', { type: 'button', className: selected ? 'selected' : '' }, [
      element('span', { className: 'number', text: cellLabel(cell) }),
      element('span', { text: cell.name || '(no name)' }),
    ]);
    button.addEventListener('click', () => selectCell(address));
    list.append(element('li', { className: address.sub === null ? '' : 'sub' }, [button]));
  };
  state.cells.forEach((cell, index) => {
    addItem(cell, { cell: index, sub: null });
    cell.subcells.forEach((sub, subIndex) => addItem(sub, { cell: index, sub: subIndex }));
  });
  $('#add-subcell').disabled = app.selected.cell < 0;
  $('#remove-cell').disabled = app.selected.cell < 0;
}

function selectCell(address) {
  app.selected = address;
  app.structureKey = '';
  applyState(app.state);
}

function cellTarget() {
  return { cell: app.selected.cell, sub: app.selected.sub };
}

// A slider with a number field for one LimitedValue. `target` is {} for the layer, or the cell.
function numberRow(container, key, label, scope) {
  const slider = element('input', { type: 'range', step: 'any', dataset: { key, scope } });
  const field = element('input', { type: 'number', step: 'any', dataset: { key, scope } });
  container.append(element('label', { text: label, title: key }), slider, field);

  const target = () => (scope === 'layer' ? {} : cellTarget());
  const sendValue = (value, live) =>
    send('set', { ...target(), key, value, live }, live ? `set:${scope}:${key}` : null);

  slider.addEventListener('pointerdown', () => {
    slider.dataset.dragging = '1';
    send('gesture', { phase: 'begin' });
  });
  const endDrag = () => {
    if (slider.dataset.dragging !== '1') return;
    delete slider.dataset.dragging;
    send('gesture', { phase: 'end' });
  };
  // The range input may keep the release to itself; its change event and the window's release
  // both end the drag.
  slider.addEventListener('change', endDrag);
  slider.addEventListener('input', () => {
    const value = Number(slider.value);
    field.value = formatNumber(value);
    sendValue(value, slider.dataset.dragging === '1');
  });
  field.addEventListener('change', () => {
    const value = Number(field.value);
    if (field.value.trim() === '' || !Number.isFinite(value)) return;
    sendValue(value, false);
  });
}

window.addEventListener('pointerup', () => {
  for (const slider of document.querySelectorAll('#controls input[data-dragging="1"]')) {
    slider.dispatchEvent(new Event('change'));
  }
});

function formatNumber(value) {
  return String(Math.round(value * 10000) / 10000);
}

function colorRow(container, key, label, scope) {
  const picker = element('input', { type: 'color', dataset: { key, scope, part: 'rgb' } });
  const alpha = element('input', {
    type: 'range', min: 0, max: 1, step: 0.01, dataset: { key, scope, part: 'alpha' },
    title: 'Alpha',
  });
  container.append(element('label', { text: label }),
    element('div', { className: 'wide' }, [picker, alpha]));
  const target = () => (scope === 'layer' ? {} : cellTarget());
  let dragging = false;
  const value = () => {
    const hex = picker.value;
    return {
      red: parseInt(hex.slice(1, 3), 16) / 255,
      green: parseInt(hex.slice(3, 5), 16) / 255,
      blue: parseInt(hex.slice(5, 7), 16) / 255,
      alpha: Number(alpha.value),
    };
  };
  const live = () => {
    if (!dragging) {
      dragging = true;
      send('gesture', { phase: 'begin' });
    }
    send('set', { ...target(), key, value: value(), live: true }, `set:${scope}:${key}`);
  };
  const end = () => {
    send('set', { ...target(), key, value: value(), live: true }, `set:${scope}:${key}`);
    if (dragging) send('gesture', { phase: 'end' });
    dragging = false;
  };
  picker.addEventListener('input', live);
  picker.addEventListener('change', end);
  alpha.addEventListener('input', live);
  alpha.addEventListener('change', end);
}

function choiceRow(container, key, label, names) {
  const select = element('select', { dataset: { key, scope: 'layer' } },
    names.map((name) => element('option', { value: name, text: name })));
  select.addEventListener('change', () => send('choice', { key, value: select.value }));
  container.append(element('label', { text: label }), element('div', { className: 'wide' }, [select]));
}

function renderLayerFields(state) {
  const fields = $('#layer-fields');
  fields.replaceChildren();
  choiceRow(fields, 'emitterShape', 'Shape', state.choices.emitterShape);
  choiceRow(fields, 'emitterMode', 'Mode', state.choices.emitterMode);
  choiceRow(fields, 'renderMode', 'Render mode', state.choices.renderMode);
  colorRow(fields, 'background', 'Background', 'layer');
  for (const [key, label] of LAYER_NUMBERS) numberRow(fields, key, label, 'layer');
}

function renderCellFields(state) {
  const fields = $('#cell-fields');
  fields.replaceChildren();
  const cell = cellAt(state, app.selected);
  $('#cell-title').textContent = cell ? `Cell ${cellLabel(cell)}` : 'No cell';
  if (!cell) return;

  const name = element('input', { type: 'text', value: cell.name, dataset: { key: 'name' } });
  name.addEventListener('change', () => send('name', { ...cellTarget(), value: name.value }));
  fields.append(element('label', { text: 'Name' }), element('div', { className: 'wide' }, [name]));

  const texture = element('select', { dataset: { key: 'texture' } }, [
    element('option', { value: 'builtIn', text: 'Built-in spark' }),
    element('option', { value: 'none', text: 'No texture' }),
  ]);
  if (cell.texture.kind === 'file') {
    texture.append(element('option', { value: 'file', text: cell.texture.file }));
  }
  texture.value = cell.texture.kind;
  texture.addEventListener('change', () => {
    if (texture.value !== 'file') send('texture', { ...cellTarget(), kind: texture.value });
  });
  const importButton = element('button', { type: 'button', text: 'Import', id: 'import-texture' });
  importButton.addEventListener('click', () => importTexture(cellTarget()));
  const exportButton = element('button', {
    type: 'button', text: 'Export', id: 'export-texture', disabled: cell.texture.kind !== 'file',
  });
  exportButton.addEventListener('click', () => exportTexture(cellTarget()));
  fields.append(element('label', { text: 'Texture' }), element('div', { className: 'wide' }, [texture]),
    element('span'), element('div', { className: 'wide' }, [importButton, exportButton]));
  colorRow(fields, 'color', 'Colour', 'cell');

  for (const [key, label, only] of CELL_NUMBERS) {
    if (label === undefined) {
      fields.append(element('div', { className: 'heading', text: key }));
    } else if (only !== 'sub' || cell.subindex !== null) {
      numberRow(fields, key, label, 'cell');
    }
  }
}

function toHex(color) {
  const channel = (value) => Math.round(Math.min(1, Math.max(0, value)) * 255)
    .toString(16).padStart(2, '0');
  return '#' + channel(color.red) + channel(color.green) + channel(color.blue);
}

function updateFieldValues(state) {
  const cell = cellAt(state, app.selected);
  for (const input of document.querySelectorAll('#controls [data-key]')) {
    const source = input.dataset.scope === 'layer' ? state.layer : cell;
    if (!source) continue;
    const key = input.dataset.key;
    if (input.dataset.dragging === '1' || document.activeElement === input && input.type !== 'range') {
      continue;
    }
    if (key === 'background' || key === 'color') {
      const color = source[key];
      if (input.dataset.part === 'rgb') input.value = toHex(color);
      else input.value = color.alpha;
    } else if (key === 'emitterShape' || key === 'emitterMode' || key === 'renderMode') {
      input.value = source[key];
    } else if (key === 'name') {
      input.value = source.name;
    } else if (source.numbers && source.numbers[key]) {
      const number = source.numbers[key];
      if (input.type === 'range') {
        input.min = number.min;
        input.max = number.max;
        input.value = number.value;
      } else {
        input.value = formatNumber(number.value);
      }
    }
  }
}

// ---- Textures --------------------------------------------------------------------------------

function importTexture(target) {
  const chooser = $('#texture-file');
  chooser.value = '';
  chooser.onchange = async () => {
    const file = chooser.files[0];
    if (!file) return;
    const query = new URLSearchParams({ cell: target.cell, name: file.name });
    if (target.sub !== null) query.set('sub', target.sub);
    const response = await fetch('/api/texture/import?' + query, {
      method: 'POST',
      headers: changeHeaders(file.type || 'application/octet-stream'),
      body: file,
    });
    const result = await response.json();
    if (response.ok) showStatus(`Imported ${result.file}.`);
    else showStatus(result.error, true);
  };
  chooser.click();
}

function exportTexture(target) {
  const query = new URLSearchParams({ cell: target.cell, download: '1' });
  if (target.sub !== null) query.set('sub', target.sub);
  const link = element('a', { href: '/api/texture/export?' + query, download: '' });
  document.body.append(link);
  link.click();
  link.remove();
}

// The link values of the snippet's texture comments: "0: Import", "0_1: Export".
function followTextureLink(value) {
  const match = /^(\d+)(?:_(\d+))?: (Import|Export)$/.exec(value);
  if (!match) return;
  const target = { cell: Number(match[1]), sub: match[2] === undefined ? null : Number(match[2]) };
  selectCell(target);
  if (match[3] === 'Import') importTexture(target);
  else exportTexture(target);
}

// ---- The code view ---------------------------------------------------------------------------

const code = $('#code');
const codeStyles = new CSSStyleSheet();
document.adoptedStyleSheets = [codeStyles];

function caretOffset() {
  const selection = window.getSelection();
  if (!selection.rangeCount || !code.contains(selection.anchorNode)) return null;
  const range = selection.getRangeAt(0);
  const before = document.createRange();
  before.selectNodeContents(code);
  before.setEnd(range.endContainer, range.endOffset);
  return before.toString().length;
}

function textPosition(offset) {
  const walker = document.createTreeWalker(code, NodeFilter.SHOW_TEXT);
  let remaining = offset;
  let node = walker.nextNode();
  let last = null;
  while (node) {
    if (remaining <= node.data.length) return { node, offset: remaining };
    remaining -= node.data.length;
    last = node;
    node = walker.nextNode();
  }
  return last ? { node: last, offset: last.data.length } : { node: code, offset: 0 };
}

function setCaret(offset) {
  const position = textPosition(offset);
  const range = document.createRange();
  range.setStart(position.node, position.offset);
  range.collapse(true);
  const selection = window.getSelection();
  selection.removeAllRanges();
  selection.addRange(range);
}

// While a person types into the code view, a new snippet would take away what they are typing
// (a "1" shown back as "1.0" before the "." comes). It waits until the typed text has been
// answered and typing has paused.
const TYPING_PAUSE_MS = 1200;

function receiveSnippet(snippet) {
  app.waitingSnippet = snippet;
  showWaitingSnippet();
}

function showWaitingSnippet() {
  if (!app.waitingSnippet) return;
  const sinceTyping = performance.now() - app.lastTyped;
  if (app.editsInFlight > 0) return;
  if (document.activeElement === code && sinceTyping < TYPING_PAUSE_MS) {
    clearTimeout(app.snippetTimer);
    app.snippetTimer = setTimeout(showWaitingSnippet, TYPING_PAUSE_MS - sinceTyping + 10);
    return;
  }
  const snippet = app.waitingSnippet;
  app.waitingSnippet = null;
  showSnippet(snippet);
}

function showSnippet(snippet) {
  codeStyles.replaceSync(snippet.css.replace(/^\./gm, '#code .'));
  const caret = document.activeElement === code ? caretOffset() : null;
  code.innerHTML = snippet.html;
  if (caret !== null) setCaret(caret);
  if (!app.scrub) {
    markLine(null);
    showAnswer('');
  }
  code.dataset.sequence = snippet.sequence;
}

function lineBounds(text, offset) {
  const start = text.lastIndexOf('\n', offset - 1) + 1;
  let end = text.indexOf('\n', offset);
  if (end < 0) end = text.length;
  return { start, end };
}

// Marks the line that holds `offset` as pending or invalid; null clears the mark.
function markLine(kind, offset = null) {
  const mark = $('#line-mark');
  app.codeAnswer = kind || '';
  if (!kind || offset === null) {
    mark.hidden = true;
    return;
  }
  const text = code.textContent;
  const bounds = lineBounds(text, Math.min(offset, text.length));
  const start = textPosition(bounds.start);
  const range = document.createRange();
  range.setStart(start.node, start.offset);
  range.collapse(true);
  let rect = range.getClientRects()[0] || range.getBoundingClientRect();
  if (!rect || rect.height === 0) {
    const end = textPosition(Math.min(bounds.end, text.length));
    range.setEnd(end.node, end.offset);
    rect = range.getBoundingClientRect();
  }
  const scroller = $('#code-scroll').getBoundingClientRect();
  mark.style.top = `${rect.top - scroller.top + $('#code-scroll').scrollTop}px`;
  mark.style.height = `${rect.height}px`;
  mark.className = `line-mark ${kind}`;
  mark.hidden = false;
}

function showAnswer(answer) {
  const label = $('#answer');
  const texts = {
    valid: 'valid',
    pending: 'pending: finish the number',
    invalid: 'invalid: not understood',
  };
  label.textContent = texts[answer] || '';
  label.className = `answer ${answer || ''}`;
}

async function sendCode(live) {
  const caret = caretOffset();
  app.editsInFlight += 1;
  const result = await send('code', { text: code.textContent, live }, 'code');
  app.editsInFlight -= 1;
  if (!result.answer) return;
  showAnswer(result.answer);
  if (result.answer === 'valid') markLine(null);
  else markLine(result.answer, caret === null ? 0 : caret);
  showWaitingSnippet();
}

code.addEventListener('input', () => {
  app.lastTyped = performance.now();
  if (!app.scrub) sendCode(false);
});

code.addEventListener('keydown', (event) => {
  if (event.key === 'Enter') {
    event.preventDefault();
    document.execCommand('insertText', false, '\n');
  }
});

code.addEventListener('click', (event) => {
  const link = event.target.closest('[data-link]');
  if (link && !event.ctrlKey && !event.metaKey) {
    event.preventDefault();
    followTextureLink(link.dataset.link);
  }
});

// ---- Scrubbing numbers in the code view ------------------------------------------------------

const PROPERTY_LINE = /^\s*(particlesLayer|cell\d+|subcell\d+_\d+)\.[A-Za-z]+\s*=/;

// The number at `offset` in the snippet text that may be scrubbed: a number after the "=" of a
// property line, not part of a name (cell1, subcell2_1), not inside a string, not a divisor
// ("/255.0", "/ 180.0").
function scrubbableNumberAt(text, offset) {
  const bounds = lineBounds(text, offset);
  const line = text.slice(bounds.start, bounds.end);
  const head = PROPERTY_LINE.exec(line);
  if (!head) return null;
  const pattern = /-?\d+(?:\.\d+)?/g;
  let match;
  while ((match = pattern.exec(line)) !== null) {
    const start = match.index;
    const end = start + match[0].length;
    const before = line.slice(0, start);
    if (start < head[0].length) continue;
    if (/[A-Za-z0-9_.]$/.test(before)) continue;
    if (/\/\s*$/.test(before)) continue;
    if ((before.match(/(?<!\\)"/g) || []).length % 2 === 1) continue;
    const at = offset - bounds.start;
    if (at >= start && at <= end) {
      const fraction = match[0].split('.')[1];
      return {
        start: bounds.start + start,
        length: match[0].length,
        value: Number(match[0]),
        decimals: fraction ? fraction.length : 0,
        isColorComponent: line.slice(end).startsWith('/255'),
      };
    }
  }
  return null;
}

function offsetAtPoint(x, y) {
  const range = document.caretRangeFromPoint(x, y);
  if (!range || !code.contains(range.startContainer)) return null;
  const before = document.createRange();
  before.selectNodeContents(code);
  before.setEnd(range.startContainer, range.startOffset);
  return before.toString().length;
}

function scrubModifier(event) {
  return event.ctrlKey || event.metaKey;
}

code.addEventListener('pointerdown', (event) => {
  if (!scrubModifier(event) || event.button !== 0) return;
  const offset = offsetAtPoint(event.clientX, event.clientY);
  if (offset === null) return;
  const text = code.textContent;
  const number = scrubbableNumberAt(text, offset);
  if (!number) return;
  event.preventDefault();
  code.setPointerCapture(event.pointerId);
  code.classList.add('scrubbing');
  app.scrub = { ...number, text, startX: event.clientX, lastText: null };
  send('gesture', { phase: 'begin' });
});

code.addEventListener('pointermove', (event) => {
  const scrub = app.scrub;
  if (!scrub) {
    const ready = scrubModifier(event) &&
      scrubbableNumberAt(code.textContent, offsetAtPoint(event.clientX, event.clientY) ?? -1);
    code.classList.toggle('scrub-ready', Boolean(ready));
    return;
  }
  const steps = Math.round((event.clientX - scrub.startX) / 4);
  let step = scrub.isColorComponent ? 1 : scrub.decimals > 0 ? 0.1 : 1;
  let decimals = scrub.isColorComponent ? 0 : Math.max(scrub.decimals, 1);
  if (event.shiftKey) step *= 10;
  if (event.altKey && !scrub.isColorComponent) {
    step /= 10;
    decimals = Math.max(decimals, Math.round(-Math.log10(step)));
  }
  let value = scrub.value + steps * step;
  if (scrub.isColorComponent) value = Math.min(255, Math.max(0, value));
  const formatted = value.toFixed(decimals);
  const text = scrub.text.slice(0, scrub.start) + formatted +
    scrub.text.slice(scrub.start + scrub.length);
  if (text === scrub.lastText) return;
  scrub.lastText = text;
  send('code', { text, live: true }, 'code');
});

function endScrub() {
  if (!app.scrub) return;
  app.scrub = null;
  code.classList.remove('scrubbing');
  send('gesture', { phase: 'end' });
}
code.addEventListener('pointerup', endScrub);
code.addEventListener('lostpointercapture', endScrub);

// ---- Toolbar ---------------------------------------------------------------------------------

$('#undo').addEventListener('click', () => send('undo'));
$('#redo').addEventListener('click', () => send('redo'));
$('#text-larger').addEventListener('click', () => send('textSize', { larger: true }));
$('#text-smaller').addEventListener('click', () => send('textSize', { larger: false }));
for (const button of document.querySelectorAll('#platform button')) {
  button.addEventListener('click', () => send('platform', { platform: button.dataset.platform }));
}
$('#add-cell').addEventListener('click', async () => {
  await send('addCell');
  if (app.state) selectCell({ cell: app.state.cells.length - 1, sub: null });
});
$('#add-subcell').addEventListener('click', async () => {
  const parent = app.selected.cell;
  await send('addCell', { parent });
  const cell = app.state && app.state.cells[parent];
  if (cell) selectCell({ cell: parent, sub: cell.subcells.length - 1 });
});
$('#remove-cell').addEventListener('click', () => send('removeCell', cellTarget()));

document.addEventListener('keydown', (event) => {
  if (!(event.ctrlKey || event.metaKey) || event.key.toLowerCase() !== 'z') return;
  if (event.target instanceof HTMLInputElement && event.target.type === 'text') return;
  event.preventDefault();
  send(event.shiftKey ? 'redo' : 'undo');
});

const saveDialog = $('#save-dialog');
$('#save').addEventListener('click', () => {
  $('#save-problem').textContent = '';
  saveDialog.showModal();
});
$('#save-cancel').addEventListener('click', () => saveDialog.close());
$('#save-form').addEventListener('submit', async (event) => {
  event.preventDefault();
  const name = $('#save-name').value.trim();
  let result = await send('save', { name });
  if (result.error && result.error.endsWith('exists already') &&
      window.confirm(`${name} exists already. Replace it?`)) {
    result = await send('save', { name, overwrite: true });
  }
  if (result.error) {
    $('#save-problem').textContent = result.error;
    return;
  }
  saveDialog.close();
  showStatus(`Saved to ${result.file}. Every change is saved from now on.`);
});

// ---- Preview ---------------------------------------------------------------------------------

// A particle system close to the one the snippet sets up: cells emit from the emitter's shape at
// their birth rate, particles move with their velocity and acceleration, turn, grow and fade, and
// sub-cells are emitted from their parent's particles.
const preview = (() => {
  const canvas = $('#preview');
  const context = canvas.getContext('2d');
  const MAX_PARTICLES = 6000;
  const images = new Map();
  let state = null;
  let particles = [];
  let emitterDebt = new Map();
  let lastTime = performance.now();

  const builtInSprite = (() => {
    const sprite = document.createElement('canvas');
    sprite.width = sprite.height = 64;
    const g = sprite.getContext('2d');
    const gradient = g.createRadialGradient(32, 32, 0, 32, 32, 32);
    gradient.addColorStop(0, 'rgba(255,255,255,1)');
    gradient.addColorStop(0.25, 'rgba(255,255,255,0.8)');
    gradient.addColorStop(1, 'rgba(255,255,255,0)');
    g.fillStyle = gradient;
    g.fillRect(0, 0, 64, 64);
    return sprite;
  })();

  function spriteFor(cellState, key) {
    if (cellState.texture.kind !== 'file') return { image: builtInSprite, tints: new Map() };
    const id = `${key}|${cellState.texture.file}`;
    if (!images.has(id)) {
      const entry = { image: builtInSprite, tints: new Map() };
      images.set(id, entry);
      const image = new Image();
      const [cell, sub] = key.split(':');
      const query = new URLSearchParams({ cell, file: cellState.texture.file });
      if (sub !== '') query.set('sub', sub);
      image.onload = () => {
        entry.image = image;
        entry.tints.clear();
      };
      image.src = '/api/texture/export?' + query;
    }
    return images.get(id);
  }

  function tinted(sprite, r, g, b) {
    const key = (r >> 4) * 256 + (g >> 4) * 16 + (b >> 4);
    let canvasForTint = sprite.tints.get(key);
    if (canvasForTint) return canvasForTint;
    const source = sprite.image;
    const width = source.naturalWidth || source.width;
    const height = source.naturalHeight || source.height;
    canvasForTint = document.createElement('canvas');
    canvasForTint.width = width;
    canvasForTint.height = height;
    const g2 = canvasForTint.getContext('2d');
    g2.drawImage(source, 0, 0);
    g2.globalCompositeOperation = 'multiply';
    g2.fillStyle = `rgb(${(r >> 4) * 17},${(g >> 4) * 17},${(b >> 4) * 17})`;
    g2.fillRect(0, 0, width, height);
    g2.globalCompositeOperation = 'destination-in';
    g2.drawImage(source, 0, 0);
    if (sprite.tints.size > 512) sprite.tints.clear();
    sprite.tints.set(key, canvasForTint);
    return canvasForTint;
  }

  const value = (cell, key) => cell.numbers[key].value;
  const spread = (range) => (Math.random() * 2 - 1) * range;
  const radians = (degrees) => (degrees * Math.PI) / 180;

  function emitterPoint(layer) {
    const x = layer.numbers.emitterPositionX.value;
    const y = layer.numbers.emitterPositionY.value;
    const w = layer.numbers.emitterWidth.value;
    const h = layer.numbers.emitterHeight.value;
    const onOutline = layer.emitterMode === 'outline';
    const inside = layer.emitterMode === 'surface' || layer.emitterMode === 'volume';
    switch (layer.emitterShape) {
      case 'line':
        return { x: x + (Math.random() - 0.5) * w, y };
      case 'rectangle':
      case 'cuboid': {
        if (inside || !onOutline) {
          return { x: x + (Math.random() - 0.5) * w, y: y + (Math.random() - 0.5) * h };
        }
        const along = Math.random() * 2 * (w + h);
        if (along < w) return { x: x - w / 2 + along, y: y - h / 2 };
        if (along < w + h) return { x: x + w / 2, y: y - h / 2 + (along - w) };
        if (along < 2 * w + h) return { x: x + w / 2 - (along - w - h), y: y + h / 2 };
        return { x: x - w / 2, y: y + h / 2 - (along - 2 * w - h) };
      }
      case 'circle':
      case 'sphere': {
        const angle = Math.random() * Math.PI * 2;
        const radius = (onOutline ? 1 : Math.sqrt(Math.random())) * (w / 2);
        return { x: x + Math.cos(angle) * radius, y: y + Math.sin(angle) * radius };
      }
      default:
        return { x, y };
    }
  }

  function spawn(cell, key, origin) {
    if (particles.length >= MAX_PARTICLES) return;
    const lifetime = Math.max(0, value(cell, 'lifetime') + spread(value(cell, 'lifetimeRange')));
    if (lifetime <= 0) return;
    const speed = value(cell, 'velocity') + spread(value(cell, 'velocityRange'));
    const angle = radians(value(cell, 'emissionLongitude') +
      spread(value(cell, 'emissionRange') / 2));
    const planar = Math.cos(radians(value(cell, 'emissionLatitude')));
    const color = cell.color;
    particles.push({
      cell, key,
      x: origin.x, y: origin.y,
      vx: Math.cos(angle) * speed * planar,
      vy: Math.sin(angle) * speed * planar,
      age: 0, lifetime,
      scale: value(cell, 'scale') + spread(value(cell, 'scaleRange')),
      rotation: 0,
      spin: radians(value(cell, 'spin') + spread(value(cell, 'spinRange'))),
      red: color.red + spread(value(cell, 'redRange')),
      green: color.green + spread(value(cell, 'greenRange')),
      blue: color.blue + spread(value(cell, 'blueRange')),
      alpha: color.alpha + spread(value(cell, 'alphaRange')),
      subDebt: new Map(),
    });
  }

  function emit(cell, key, amount, origin) {
    let owed = amount;
    while (owed >= 1) {
      spawn(cell, key, origin());
      owed -= 1;
    }
    return owed;
  }

  function step(dt) {
    const layer = state.layer;
    state.cells.forEach((cell, index) => {
      const key = `${index}:`;
      const owed = (emitterDebt.get(key) || 0) + value(cell, 'birthRate') * dt;
      emitterDebt.set(key, emit(cell, key, owed, () => emitterPoint(layer)));
    });
    for (const particle of particles) {
      particle.age += dt;
      particle.vx += value(particle.cell, 'xAcceleration') * dt;
      particle.vy += value(particle.cell, 'yAcceleration') * dt;
      particle.x += particle.vx * dt;
      particle.y += particle.vy * dt;
      particle.rotation += particle.spin * dt;
      particle.scale += value(particle.cell, 'scaleSpeed') * dt;
      particle.alpha += value(particle.cell, 'alphaSpeed') * dt;
      if (particle.key.endsWith(':')) {
        particle.cell.subcells.forEach((sub, subIndex) => {
          const begin = value(sub, 'beginTime');
          const duration = value(sub, 'duration');
          if (particle.age < begin || (duration > 0 && particle.age > begin + duration)) return;
          const subKey = `${particle.key}${subIndex}`;
          const owed = (particle.subDebt.get(subKey) || 0) + value(sub, 'birthRate') * dt;
          const origin = () => ({ x: particle.x, y: particle.y });
          particle.subDebt.set(subKey, emit(sub, subKey, owed, origin));
        });
      }
    }
    particles = particles.filter((particle) => particle.age < particle.lifetime && particle.alpha > 0 &&
      particle.scale > 0);
  }

  function draw() {
    const layer = state.layer;
    const width = Math.max(1, layer.numbers.viewWidth.value);
    const height = Math.max(1, layer.numbers.viewHeight.value);
    const frame = $('#preview-frame').getBoundingClientRect();
    const fit = Math.min((frame.width - 28) / width, (frame.height - 28) / height, 2);
    const ratio = window.devicePixelRatio || 1;
    const cssWidth = Math.max(1, Math.floor(width * fit));
    const cssHeight = Math.max(1, Math.floor(height * fit));
    if (canvas.width !== Math.floor(cssWidth * ratio) || canvas.height !== Math.floor(cssHeight * ratio)) {
      canvas.width = Math.floor(cssWidth * ratio);
      canvas.height = Math.floor(cssHeight * ratio);
      canvas.style.width = `${cssWidth}px`;
      canvas.style.height = `${cssHeight}px`;
    }
    context.setTransform(1, 0, 0, 1, 0, 0);
    context.globalCompositeOperation = 'source-over';
    context.globalAlpha = 1;
    const background = layer.background;
    context.fillStyle = `rgba(${background.red * 255},${background.green * 255},${background.blue * 255},${background.alpha})`;
    context.clearRect(0, 0, canvas.width, canvas.height);
    context.fillRect(0, 0, canvas.width, canvas.height);
    context.setTransform(fit * ratio, 0, 0, fit * ratio, 0, 0);
    context.globalCompositeOperation = layer.renderMode === 'additive' ? 'lighter' : 'source-over';
    const ordered = layer.renderMode === 'oldestFirst' ? [...particles].reverse() : particles;
    for (const particle of ordered) {
      const sprite = spriteFor(particle.cell, particle.key);
      const clamp = (component) => Math.max(0, Math.min(255, Math.round(component * 255)));
      const image = tinted(sprite, clamp(particle.red), clamp(particle.green), clamp(particle.blue));
      const size = Math.max(0, particle.scale);
      const w = image.width * size;
      const h = image.height * size;
      context.globalAlpha = Math.max(0, Math.min(1, particle.alpha));
      context.save();
      context.translate(particle.x, particle.y);
      if (particle.rotation) context.rotate(particle.rotation);
      context.drawImage(image, -w / 2, -h / 2, w, h);
      context.restore();
    }
    $('#particle-count').textContent = `${particles.length} particles`;
  }

  function frame(now) {
    const dt = Math.min(0.05, (now - lastTime) / 1000);
    lastTime = now;
    if (state) {
      step(dt);
      draw();
    }
    requestAnimationFrame(frame);
  }
  requestAnimationFrame(frame);

  return {
    setState(next) {
      // Particles keep flying, but with the new values of their cell.
      const cellsByKey = new Map();
      next.cells.forEach((cell, index) => {
        cellsByKey.set(`${index}:`, cell);
        cell.subcells.forEach((sub, subIndex) => cellsByKey.set(`${index}:${subIndex}`, sub));
      });
      particles = particles.filter((particle) => cellsByKey.has(particle.key));
      for (const particle of particles) particle.cell = cellsByKey.get(particle.key);
      state = next;
    },
  };
})();

connectEvents();
