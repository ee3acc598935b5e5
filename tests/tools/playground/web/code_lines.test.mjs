// The code view's lines and the state's patches against plain references: a hunk made of two
// texts turns the first into the second, and a patch changes only what it names.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { changedLines, lineText, patchLines, typedOnto } from '../../../../tools/tessary-code/playground/web/code_view.js';
import { applyJsonPatch } from '../../../../tools/tessary-code/playground/web/json_patch.js';

test('the lines changed between two texts, patched into the first, give the second', () => {
  const seed = Number(process.env.TESSARY_TEST_SEED ?? Date.now() % 1e9);
  console.log(`seed ${seed} (replay with TESSARY_TEST_SEED=${seed})`);
  let state = seed;
  const random = (limit) => {
    state = (state * 1103515245 + 12345) % 2147483648;
    return state % limit;
  };
  const text = () => Array.from({ length: random(8) }, () => 'abc'[random(3)]);
  for (let run = 0; run < 2000; run += 1) {
    const [from, to] = [text(), text()];
    const hunk = changedLines(from, to);
    assert.deepEqual(patchLines(from.slice(), [hunk]), to, `${from} → ${to}, seed ${seed}`);
    assert.deepEqual(patchLines(from.slice(), [{ ...hunk, lines: hunk.lines.map((line) => `<b>${line}</b>`) }], lineText), to);
  }
  const long = Array.from({ length: 30000 }, (_, index) => String(index));
  assert.deepEqual(patchLines(['a', 'b'], [{ start: 1, removed: 1, lines: long }]), ['a', ...long]);
});

test('typing carries onto lines that arrived meanwhile without taking back what they changed', () => {
  const from = ['a', 'b', 'c', 'd', 'e'];
  const rows = [
    ['nothing arrived', ['a', 'B', 'c', 'd', 'e'], from, ['a', 'B', 'c', 'd', 'e']],
    ['a slider moved another line', ['a', 'B', 'c', 'd', 'e'], ['a', 'b', 'c', 'D', 'e'], ['a', 'B', 'c', 'D', 'e']],
    ['both changed one line: the typing stays', ['a', 'B', 'c', 'd', 'e'], ['a', 'X', 'c', 'd', 'e'], ['a', 'B', 'c', 'd', 'e']],
    ['a line break typed, a later line moved', ['a', 'b1', 'b2', 'c', 'd', 'e'], ['a', 'b', 'c', 'd', 'E'],
      ['a', 'b1', 'b2', 'c', 'd', 'E']],
    ['lines added above the typing', ['a', 'b', 'c', 'D', 'e'], ['a', 'x', 'y', 'b', 'c', 'd', 'e'],
      ['a', 'x', 'y', 'b', 'c', 'D', 'e']],
    ['lines added below the typing', ['A', 'b', 'c', 'd', 'e'], ['a', 'b', 'c', 'x', 'd', 'e'],
      ['A', 'b', 'c', 'x', 'd', 'e']],
    ['a line break typed next to lines added: as shown', ['a', 'b1', 'b2', 'c', 'd', 'e'],
      ['a', 'b', 'x', 'c', 'd', 'e'], ['a', 'b1', 'b2', 'c', 'd', 'e']],
  ];
  for (const [label, shown, received, expected] of rows) {
    assert.deepEqual(typedOnto(from.slice(), shown, received), expected, label);
    // The edit sent against the lines received makes them the lines typed onto them.
    assert.deepEqual(patchLines(received.slice(), [changedLines(received, expected)]), expected, label);
  }
  assert.deepEqual(typedOnto(null, ['x'], ['y']), ['x']);
});

test('a line of markup shows its text', () => {
  assert.equal(lineText('<span class="s0">a &lt;b&gt; &amp;amp; &quot;c&#39;</span><span data-link="0: &quot;x&quot;">d</span>'),
    'a <b> &amp; "c\'d');
});

test('a state patch changes what it names and leaves the rest, and the state it was given, as they were', () => {
  const state = { cells: [{ n: 1 }, { n: 2 }], layer: { a: 1, 'b/c': 2, 'd~e': 3 } };
  const rows = [
    [[{ op: 'replace', path: '/cells/1/n', value: 5 }], { ...state, cells: [{ n: 1 }, { n: 5 }] }],
    [[{ op: 'add', path: '/cells/-', value: { n: 3 } }], { ...state, cells: [...state.cells, { n: 3 }] }],
    [[{ op: 'add', path: '/cells/0', value: { n: 0 } }], { ...state, cells: [{ n: 0 }, ...state.cells] }],
    [[{ op: 'remove', path: '/cells/0' }], { ...state, cells: [{ n: 2 }] }],
    [[{ op: 'remove', path: '/layer/b~1c' }, { op: 'replace', path: '/layer/d~0e', value: 4 }],
      { ...state, layer: { a: 1, 'd~e': 4 } }],
    [[{ op: 'replace', path: '', value: { other: true } }], { other: true }],
  ];
  const before = structuredClone(state);
  for (const [operations, expected] of rows) {
    const patched = applyJsonPatch(state, operations);
    assert.deepEqual(patched, expected, JSON.stringify(operations));
    if (patched.layer === state.layer) assert.ok(!operations.some((op) => op.path.startsWith('/layer')));
  }
  assert.deepEqual(state, before);
});
