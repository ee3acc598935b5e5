// How the page's fields show values: numbers in their number fields, colours in their pickers.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { colorFromHex, formatNumber, toHex } from '../../../../tools/tessary-code/playground/web/controls.js';

test('a number field shows the fraction digits the snippet shows, without trailing zeros', () => {
  const rows = [
    [120, 1, '120'], [0.35, 4, '0.35'], [0.35, 1, '0.4'], [-0.2, 2, '-0.2'], [1 / 3, 4, '0.3333'],
    [2 / 3, 3, '0.667'], [0.00004, 4, '0'], [0.00005, 4, '0.0001'], [-0.04, 1, '0'],
    [1e21, 1, '1e+21'], [259.96, 1, '260'], [12.5, 0, '13'],
  ];
  for (const [value, digits, shown] of rows) {
    assert.equal(formatNumber(value, digits), shown, `${value} with ${digits} digits`);
  }
});

test('a picker shows each component on 0…255, clamped, and gives back the nearest colour', () => {
  assert.equal(toHex({ red: 1, green: 0.5, blue: 0, alpha: 0.3 }), '#ff8000');
  assert.equal(toHex({ red: 2, green: -1, blue: 0.999, alpha: 1 }), '#ff00ff');
  assert.equal(toHex({ red: 15 / 255, green: 10 / 255, blue: 5 / 255, alpha: 1 }), '#0f0a05');
  const seed = Number(process.env.TESSARY_TEST_SEED ?? Math.floor(Math.random() * 2 ** 32));
  console.log(`seed ${seed} (TESSARY_TEST_SEED=${seed} repeats this run)`);
  let state = seed;
  const random = () => {
    state = (state + 0x6d2b79f5) >>> 0;
    let t = Math.imul(state ^ (state >>> 15), 1 | state);
    t ^= t + Math.imul(t ^ (t >>> 7), 61 | t);
    return ((t ^ (t >>> 14)) >>> 0) / 2 ** 32;
  };
  for (let i = 0; i < 1000; i += 1) {
    const color = { red: random(), green: random(), blue: random(), alpha: random() };
    const back = colorFromHex(toHex(color), color.alpha);
    for (const part of ['red', 'green', 'blue']) {
      assert.ok(Math.abs(back[part] - color[part]) <= 0.5 / 255, `seed ${seed}: ${JSON.stringify(color)}`);
    }
    assert.equal(back.alpha, color.alpha);
    assert.equal(toHex(back), toHex(color));
  }
});
