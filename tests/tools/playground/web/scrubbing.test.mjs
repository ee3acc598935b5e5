// The page's number scrubbing: which numbers of a snippet line may be scrubbed, and what a drag
// makes of them.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { scrubbableNumberAt, scrubbedNumber } from '../../../../tools/tessary-code/playground/web/scrubbing.js';

test('only the values of property lines are scrubbable', () => {
  // [line with "|" at the offset asked about, the number found there or null, its fraction
  // digits, whether it is a colour component over 255]
  const rows = [
    ['cell1.birthRate = 12|0.0', '120.0', 1, false], ['cell1.birthRate = |120.0', '120.0', 1, false],
    ['cell1.birthRate = 120.0|', '120.0', 1, false], ['cell1.yAcceleration = -4|0.25', '-40.25', 2, false],
    ['  subcell1_2.scale = 0|', '0', 0, false],
    ['cell1.color = CGColor(red: 25|5/255.0, green: 1/255.0, blue: 0/255.0, alpha: 1.0)',
      '255', 0, true],
    ['cell1.color = CGColor(red: 255/255.0, green: 1/255.0, blue: 0/255.0, alpha: 0.|5)',
      '0.5', 1, false],
    ['particlesLayer.emitterPosition = CGPoint(x: 2|00.0, y: -259.0)', '200.0', 1, false],
    ['cell1.spin = 0.0 * (.pi / 18|0.0)', null], ['ce|ll1.birthRate = 120.0', null],
    ['cell1.color = CGColor(red: 255/25|5.0, green: 1/255.0, blue: 0/255.0, alpha: 1.0)', null],
    ['cel|l1.birthRate = 120.0', null], ['subcell1_|2.scale = 1', null], ['cell1.name = "flame |2"', null],
    ['cell1.name = "a\\"b 3|"', null], ['let size = CGSize(width: 4|00.0, height: 300.0)', null],
    ['cell1.birthRate = 120.0  |', null], ['|', null],
  ];
  for (const [marked, number, decimals, isColorComponent] of rows) {
    const line = marked.replace('|', '');
    const text = `let x = 1\n${line}\nlet y = 2`;
    const lineStart = text.indexOf(line);
    const found = scrubbableNumberAt(text, lineStart + marked.indexOf('|'));
    if (number === null) {
      assert.equal(found, null, marked);
      continue;
    }
    assert.ok(found, marked);
    assert.equal(text.slice(found.start, found.start + found.length), number, marked);
    assert.deepEqual([found.value, found.decimals, found.isColorComponent],
      [Number(number), decimals, isColorComponent], marked);
  }
});

test('a drag moves a number in steps that suit it', () => {
  const plain = (value, decimals) => ({ value, decimals, isColorComponent: false });
  const component = (value) => ({ value, decimals: 0, isColorComponent: true });
  const rows = [
    [plain(120, 1), 0, {}, '120.0'], [plain(120, 1), 4, {}, '120.1'], [plain(120, 1), 5, {}, '120.1'],
    [plain(120, 1), -8, {}, '119.8'], [plain(120, 1), 4, { coarser: true }, '121.0'],
    [plain(120, 1), 4, { finer: true }, '120.01'], [plain(3, 0), 8, {}, '5.0'],
    [plain(3, 0), 4, { finer: true }, '3.1'], [plain(0.35, 2), 4, {}, '0.45'],
    [plain(0.35, 2), -4, { finer: true }, '0.34'], [plain(-0.2, 1), 4, { coarser: true, finer: true }, '-0.1'],
    [component(250), 40, {}, '255'], [component(5), -40, {}, '0'],
    [component(100), 4, { coarser: true }, '110'], [component(100), 4, { finer: true }, '101'],
  ];
  for (const [number, dx, modifiers, expected] of rows) {
    assert.equal(scrubbedNumber(number, dx, modifiers), expected,
      `${JSON.stringify(number)} by ${dx} ${JSON.stringify(modifiers)}`);
  }
});
