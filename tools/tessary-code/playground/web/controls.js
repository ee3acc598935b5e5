// The controls beside the snippet: the toolbar, the layer's fields, the list of cells and the
// selected cell's fields. They show each state the server sends and send the changes made in
// them.
import { changeHeaders, send, showStatus } from './network.js';

const $ = (selector) => document.querySelector(selector);

// A number as its field shows it: with at most `digits` fraction digits, as the snippet writes
// it, but without trailing zeros. Numbers too large to carry fraction digits are shown as they
// are, since scaling them would change them.
export function formatNumber(value, digits) {
  if (Math.abs(value) >= 1e15) return String(value);
  const scale = 10 ** digits;
  return String(Math.round(value * scale) / scale);
}

// "#rrggbb" for a colour picker; components outside 0…1 are clamped, alpha is left out.
export function toHex(color) {
  const channel = (value) => Math.round(Math.min(1, Math.max(0, value)) * 255)
    .toString(16).padStart(2, '0');
  return '#' + channel(color.red) + channel(color.green) + channel(color.blue);
}

// The colour a picker's "#rrggbb" and an alpha make.
export function colorFromHex(hex, alpha) {
  return {
    red: parseInt(hex.slice(1, 3), 16) / 255,
    green: parseInt(hex.slice(3, 5), 16) / 255,
    blue: parseInt(hex.slice(5, 7), 16) / 255,
    alpha,
  };
}

const controls = {
  state: null,
  selected: { cell: 0, sub: null },
  added: null,  // where a cell being added will stand
  structureKey: '',
  onState: () => {},
};

function cellAt(state, address) {
  const cell = state.cells[address.cell];
  if (!cell || address.sub === null) return cell;
  return cell.subcells[address.sub];
}

export function cellLabel(cell) {
  return cell.subindex === null ? String(cell.index + 1) : `${cell.index + 1}.${cell.subindex + 1}`;
}

// The cell to select when the selected one is gone (removed, or its adding undone): the
// sub-cell before it, else its parent; for a cell, the one before it.
function nearestCell(state, { cell, sub }) {
  const parent = state.cells[cell];
  if (parent && sub !== null) {
    return { cell, sub: parent.subcells.length > 0 ? parent.subcells.length - 1 : null };
  }
  return { cell: Math.max(0, Math.min(cell, state.cells.length - 1)), sub: null };
}

export function applyState(state) {
  controls.state = state;
  if (controls.added && cellAt(state, controls.added)) {
    controls.selected = controls.added;
    controls.added = null;
  } else if (!cellAt(state, controls.selected)) {
    controls.selected = state.cells.length > 0 ? nearestCell(state, controls.selected)
      : { cell: -1, sub: null };
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
  const selectedCell = cellAt(state, controls.selected);
  const structure = JSON.stringify([
    state.cells.map((cell) => [cell.name, cell.subcells.map((sub) => sub.name)]),
    controls.selected,
    selectedCell ? selectedCell.texture : null,
  ]);
  if (structure !== controls.structureKey) {
    controls.structureKey = structure;
    renderCellList(state);
    renderLayerFields(state);
    renderCellFields(state);
  }
  updateFieldValues(state);
  controls.onState(state);
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
  const { selected } = controls;
  const addItem = (cell, address) => {
    const isSelected = address.cell === selected.cell && address.sub === selected.sub;
    const button = element('button', { type: 'button', className: isSelected ? 'selected' : '' }, [
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
  $('#add-subcell').disabled = selected.cell < 0;
  $('#remove-cell').disabled = selected.cell < 0;
}

function selectCell(address) {
  controls.selected = address;
  controls.structureKey = '';
  applyState(controls.state);
}

function cellTarget() {
  return { cell: controls.selected.cell, sub: controls.selected.sub };
}

// A slider with a number field for one LimitedValue of the layer or of the selected cell. The
// slider starts with the property's usual bounds; each value brings its own. Both show the value
// as the chosen platform's snippet does, and send it so.
function numberRow(container, { key, label, digits, min, max }, scope) {
  const dataset = { key, scope, kind: 'number', digits };
  const id = `${scope}-${key}`;
  const slider = element('input', { type: 'range', step: 'any', min, max, dataset, id });
  const field = element('input', { type: 'number', step: 'any', dataset, title: label });
  container.append(element('label', { text: label, title: key, htmlFor: id }), slider, field);

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
    field.value = formatNumber(value, digits);
    sendValue(value, slider.dataset.dragging === '1');
  });
  field.addEventListener('change', () => {
    const value = Number(field.value);
    if (field.value.trim() === '' || !Number.isFinite(value)) return;
    sendValue(value, false);
  });
}

function colorRow(container, { key, label }, scope) {
  const id = `${scope}-${key}`;
  const picker = element('input', {
    type: 'color', id, dataset: { key, scope, kind: 'color', part: 'rgb' },
  });
  const alpha = element('input', {
    type: 'range', min: 0, max: 1, step: 0.01, id: `${id}-alpha`,
    dataset: { key, scope, kind: 'color', part: 'alpha' },
  });
  container.append(element('label', { text: label, htmlFor: id }),
    element('div', { className: 'wide' }, [picker]),
    element('label', { text: 'Alpha', htmlFor: alpha.id }),
    element('div', { className: 'wide' }, [alpha]));
  const target = () => (scope === 'layer' ? {} : cellTarget());
  let dragging = false;
  const value = () => colorFromHex(picker.value, Number(alpha.value));
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

function choiceRow(container, { key, label }, names) {
  const select = element('select', { dataset: { key, scope: 'layer', kind: 'choice' } },
    names.map((name) => element('option', { value: name, text: name })));
  select.addEventListener('change', () => send('choice', { key, value: select.value }));
  container.append(element('label', { text: label }), element('div', { className: 'wide' }, [select]));
}

function nameRow(container, { key, label }) {
  const name = element('input', { type: 'text', dataset: { key, scope: 'cell', kind: 'text' } });
  name.addEventListener('change', () => send('name', { ...cellTarget(), value: name.value }));
  container.append(element('label', { text: label }), element('div', { className: 'wide' }, [name]));
}

function textureRow(container, { label }, cell) {
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
  container.append(element('label', { text: label }),
    element('div', { className: 'wide' }, [texture]),
    element('span'), element('div', { className: 'wide' }, [importButton, exportButton]));
}

// The controls of the properties the server lists for the layer or a cell, in its order, each
// group under its heading.
function renderProperties(container, properties, scope, state, cell = null) {
  let group = '';
  for (const property of properties) {
    if (property.subcellOnly && cell.subindex === null) continue;
    if (property.group && property.group !== group) {
      group = property.group;
      container.append(element('div', { className: 'heading', text: group }));
    }
    if (property.kind === 'number') numberRow(container, property, scope);
    else if (property.kind === 'color') colorRow(container, property, scope);
    else if (property.kind === 'choice') choiceRow(container, property, state.choices[property.key]);
    else if (property.kind === 'text') nameRow(container, property);
    else if (property.kind === 'texture') textureRow(container, property, cell);
  }
}

function renderLayerFields(state) {
  const fields = $('#layer-fields');
  fields.replaceChildren();
  renderProperties(fields, state.properties.layer, 'layer', state);
}

function renderCellFields(state) {
  const fields = $('#cell-fields');
  fields.replaceChildren();
  const cell = cellAt(state, controls.selected);
  $('#cell-title').textContent = cell ? `Cell ${cellLabel(cell)}` : 'No cell';
  if (cell) renderProperties(fields, state.properties.cell, 'cell', state, cell);
}

function updateFieldValues(state) {
  const cell = cellAt(state, controls.selected);
  for (const input of document.querySelectorAll('#controls [data-kind]')) {
    const source = input.dataset.scope === 'layer' ? state.layer : cell;
    if (!source) continue;
    const { key, kind } = input.dataset;
    if (input.dataset.dragging === '1' || input.dataset.editing === '1') continue;
    if (kind === 'color') {
      const color = source[key];
      if (input.dataset.part === 'rgb') input.value = toHex(color);
      else input.value = color.alpha;
    } else if (kind === 'choice' || kind === 'text') {
      input.value = source[key];
    } else if (kind === 'number') {
      // The server adds the snippet's form where the platform mirrors the stored number.
      const number = source.numbers[key].shown ?? source.numbers[key];
      if (input.type === 'range') {
        input.min = number.min;
        input.max = number.max;
        input.value = number.value;
      } else {
        input.value = formatNumber(number.value, Number(input.dataset.digits));
      }
    }
  }
}

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
export function followTextureLink(value) {
  const match = /^(\d+)(?:_(\d+))?: (Import|Export)$/.exec(value);
  if (!match) return;
  const target = { cell: Number(match[1]), sub: match[2] === undefined ? null : Number(match[2]) };
  selectCell(target);
  if (match[3] === 'Import') importTexture(target);
  else exportTexture(target);
}

function installToolbar() {
  $('#undo').addEventListener('click', () => send('undo'));
  $('#redo').addEventListener('click', () => send('redo'));
  $('#text-larger').addEventListener('click', () => send('textSize', { larger: true }));
  $('#text-smaller').addEventListener('click', () => send('textSize', { larger: false }));
  for (const button of document.querySelectorAll('#platform button')) {
    button.addEventListener('click', () => send('platform', { platform: button.dataset.platform }));
  }
  // A new cell is selected once a state shows it, which may come before or after the answer.
  const addCell = async (body, address) => {
    controls.added = address;
    if ((await send('addCell', body)).error) controls.added = null;
  };
  $('#add-cell').addEventListener('click', () => {
    if (controls.state) addCell({}, { cell: controls.state.cells.length, sub: null });
  });
  $('#add-subcell').addEventListener('click', () => {
    const parent = controls.selected.cell;
    const cell = controls.state && controls.state.cells[parent];
    if (cell) addCell({ parent }, { cell: parent, sub: cell.subcells.length });
  });
  $('#remove-cell').addEventListener('click', () => send('removeCell', cellTarget()));

  // Ctrl+Z undoes; Ctrl+Y and Ctrl+Shift+Z redo (Cmd on a Mac). A name being typed keeps the
  // browser's own undo; a number being typed gives way to the value undo brings.
  document.addEventListener('keydown', (event) => {
    const key = event.key.toLowerCase();
    if (!(event.ctrlKey || event.metaKey) || event.altKey || (key !== 'z' && key !== 'y')) return;
    if (event.target instanceof HTMLInputElement && event.target.type === 'text') return;
    event.preventDefault();
    for (const input of document.querySelectorAll('#controls [data-editing]')) {
      delete input.dataset.editing;
    }
    send(key === 'y' || event.shiftKey ? 'redo' : 'undo');
  });
}

function installSaveDialog() {
  const saveDialog = $('#save-dialog');
  $('#save').addEventListener('click', () => {
    $('#save-problem').textContent = '';
    saveDialog.showModal();
  });
  $('#save-cancel').addEventListener('click', () => saveDialog.close());
  $('#save-form').addEventListener('submit', async (event) => {
    event.preventDefault();
    let name = $('#save-name').value.trim();
    if (!name.endsWith('.json')) name += '.json';
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
}

// Makes the toolbar and the save dialog work; `onState` gets every state after the controls
// show it.
export function installControls(onState) {
  controls.onState = onState;
  installToolbar();
  installSaveDialog();
  // A field being typed into keeps what is typed until it is sent; the states that come meanwhile
  // leave it alone.
  const panel = $('#controls');
  panel.addEventListener('input', (event) => {
    if (event.target.type !== 'range') event.target.dataset.editing = '1';
  });
  for (const done of ['change', 'focusout']) {
    panel.addEventListener(done, (event) => delete event.target.dataset.editing);
  }
  window.addEventListener('pointerup', () => {
    for (const slider of document.querySelectorAll('#controls input[data-dragging="1"]')) {
      slider.dispatchEvent(new Event('change'));
    }
  });
}
