// The playground in a real browser: `tessary-code serve` on a free port, driven through Debian's
// Chromium. Screenshots go to $TESSARY_E2E_SCREENSHOTS (default build/e2e) for a person to see.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import crypto from 'node:crypto';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';
import { serve as startServing } from './serve.mjs';

const program = path.resolve(process.env.TESSARY_CODE ?? '../../build/tessary-code');
const screenshots = path.resolve(process.env.TESSARY_E2E_SCREENSHOTS ?? '../../build/e2e');
const WAIT = { timeout: 10000 };

let server, address, folder, browser, page;

const effectText = () => fs.readFileSync(path.join(folder, 'fire.json'), 'utf8');
const shoot = (name) => page.screenshot({ path: path.join(screenshots, name) });
const codeText = () => page.evaluate(() => document.querySelector('#code').textContent);

// Waits until the effect file matches `pattern`, or with `absent` no longer does.
async function waitForFile(pattern, absent = false) {
  for (const deadline = Date.now() + 10000; pattern.test(effectText()) === absent;) {
    if (Date.now() > deadline) assert.fail(`the effect file never came to ${absent ? 'lack' : 'match'} ${pattern}`);
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
}

// Waits until the first span of the code view starting with `prefix` has the changed line's
// bold look; its text and colour. Both are read in the same frame as the look: a snippet arriving
// later replaces the span, and a replaced span has no computed style.
async function waitForChangedLook(prefix) {
  const look = await page.waitForFunction((start) => {
    const span = [...document.querySelectorAll('#code span')].find((candidate) =>
      candidate.textContent.startsWith(start) && getComputedStyle(candidate).fontWeight === '700');
    return span && { text: span.textContent, color: getComputedStyle(span).color };
  }, prefix, WAIT);
  return look.jsonValue();
}

// Runs `gesture` and lets go of the mouse button and `keys` whatever happens, so that a failed
// test does not leave a drag going on into the next ones.
async function holding(keys, gesture) {
  try {
    for (const key of keys) await page.keyboard.down(key);
    await page.mouse.down();
    await gesture();
  } finally {
    await page.mouse.up();
    for (const key of keys) await page.keyboard.up(key);
  }
}

// Waits until the code view's text matches `pattern`.
async function waitForCode(pattern) {
  await page.waitForFunction((source) => new RegExp(source).test(document.querySelector('#code').textContent),
    pattern.source, WAIT).catch(async () => assert.fail(`the code never matched ${pattern}; status: ` +
    await page.locator('#status').textContent()));
}

// The text `target` inside the line that starts with `linePrefix`: selected for typing over it,
// or else scrolled into view; its screen rectangle.
async function findInLine(linePrefix, target, select) {
  return page.evaluate(([prefix, wanted, selecting]) => {
    const code = document.querySelector('#code');
    const textPosition = (offset) => {  // a character offset as a position in the text nodes
      const walker = document.createTreeWalker(code, NodeFilter.SHOW_TEXT);
      for (let node = walker.nextNode(); node; offset -= node.data.length, node = walker.nextNode()) {
        if (offset <= node.data.length) return { node, offset };
      }
      return { node: code, offset: code.childNodes.length };
    };
    const start = code.textContent.indexOf(wanted, code.textContent.indexOf('\n' + prefix) + 1);
    const [a, b] = [textPosition(start), textPosition(start + wanted.length)];
    const range = document.createRange();
    range.setStart(a.node, a.offset);
    range.setEnd(b.node, b.offset);
    if (selecting) {
      code.focus();
      window.getSelection().setBaseAndExtent(a.node, a.offset, b.node, b.offset);
    } else range.startContainer.parentElement.scrollIntoView({ block: 'center' });
    const rect = range.getBoundingClientRect();
    return { x: rect.x + rect.width / 2, y: rect.y + rect.height / 2 };
  }, [linePrefix, target, select]);
}

// `tessary-code serve` in the test folder on a free port, with `effect` or the demo in memory.
const serve = (...effect) => startServing(program, folder, ...effect);

before(async () => {
  fs.mkdirSync(screenshots, { recursive: true });
  folder = fs.mkdtempSync(path.join(os.tmpdir(), 'tessary-e2e-'));
  fs.writeFileSync(path.join(folder, 'fire.json'), execFileSync(program, ['demo']));
  [server, address] = await serve('fire.json');
  // A new, empty profile (the user data folder) for every run.
  browser = await chromium.launchPersistentContext(fs.mkdtempSync(path.join(os.tmpdir(), 'tessary-chromium-')), {
    executablePath: process.env.TESSARY_CHROMIUM ?? '/usr/bin/chromium',
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    viewport: { width: 1500, height: 950 }, acceptDownloads: true,
    permissions: ['clipboard-read', 'clipboard-write'],
  });
  page = browser.pages()[0] ?? await browser.newPage();
  page.on('pageerror', (error) => console.log('page error:', error.message));
  await page.goto(address);
  await page.waitForSelector('#code span', { state: 'attached', ...WAIT });
  await page.waitForSelector('#cell-fields input[data-key="birthRate"]', WAIT);
});

after(async () => {
  await browser?.close();
  server?.kill('SIGTERM');
});

// The demo's texture files are not in the test's folder: the preview says so and draws the
// built-in image.
const textureNote = () => page.getByRole('status').filter({ hasText: 'Texture files not found' });

test('the page shows the demo effect and says which texture files it lacks', async () => {
  assert.match(await codeText(), /cell1\.birthRate = 120\.0/);
  await textureNote().filter({ hasText: '“flame.png” (cell 1)' }).waitFor(WAIT);
  assert.match(await textureNote().textContent(), /“sparkle\.png” \(cell 1\.1\), “smoke\.png” \(cell 3\)/);
  await page.waitForTimeout(1500);
  await shoot('playground.png');
});

test('dragging a slider shows the changed look, then the new value', async () => {
  const slider = page.locator('#cell-fields input[type=range][data-key="birthRate"]');
  const box = await slider.boundingBox();
  const fraction = await slider.evaluate((input) =>
    (Number(input.value) - Number(input.min)) / (Number(input.max) - Number(input.min)));
  const x = box.x + 8 + fraction * (box.width - 16);
  const y = box.y + box.height / 2;
  await page.mouse.move(x, y);
  await holding([], async () => {
    for (let step = 1; step <= 6; step += 1) await page.mouse.move(x + step * 6, y);
    const dragging = await waitForChangedLook('cell1.birthRate');
    assert.equal(dragging.color, 'rgb(0, 255, 0)');
    assert.doesNotMatch(dragging.text, /= 120\.0/);
    await shoot('slider-dragging.png');
  });

  // Let go: the line gets its colours back and keeps the new value.
  await page.waitForFunction(() => ![...document.querySelectorAll('#code span')].some((span) =>
    span.textContent.startsWith('cell1.birthRate') && getComputedStyle(span).fontWeight === '700'), null, WAIT);
  await waitForCode(/cell1\.birthRate = (?!120\.0\n)[\d.]+\n/);
  const shown = Number(/cell1\.birthRate = ([\d.]+)/.exec(await codeText())[1]);
  assert.ok(shown > 120, `birth rate ${shown}`);
  await waitForFile(/"birthRate": \{"value": 120\.0/, true);
  await shoot('slider-released.png');
});

test('a number typed into the code moves the slider and is saved', async () => {
  await findInLine('cell1.lifetime =', '1.6', true);
  await page.keyboard.type('2.5', { delay: 40 });
  await page.waitForFunction(
    () => document.querySelector('#cell-fields input[type=range][data-key="lifetime"]').value === '2.5',
    null, WAIT);
  await waitForFile(/"lifetime": 2\.5/);
  await waitForCode(/cell1\.lifetime = 2\.5\n/);
});

// Types `typed` over `target` in the line starting with `linePrefix` and waits until the line
// and the answer are marked `kind` both at once: a snippet still on its way clears them when shown.
async function typeAndWaitForMark(linePrefix, target, typed, kind) {
  await findInLine(linePrefix, target, true);
  await page.keyboard.type(typed, { delay: 40 });
  await page.waitForFunction((wanted) => {
    const mark = document.querySelector('#line-mark');
    return !mark.hidden && mark.classList.contains(wanted) &&
      document.querySelector('#answer').textContent.includes(wanted);
  }, kind, WAIT);
  await shoot(`code-${kind}.png`);
}

test('an unfinished number is marked as being typed', async () => {
  await typeAndWaitForMark('cell1.velocity =', '60.0', '1.', 'pending');
  await page.keyboard.type('5', { delay: 40 });
  await page.waitForSelector('#line-mark', { state: 'hidden', ...WAIT });
  await waitForFile(/"velocity": (\{"value": )?1\.5/);
});

test('text that is not understood is marked until the next build restores the code', async () => {
  await typeAndWaitForMark('cell1.scaleRange =', '0.1', 'x', 'invalid');
  await page.locator('#cell-fields input[type=number][data-key="scaleRange"]').fill('0.2');
  await page.keyboard.press('Enter');
  await waitForCode(/cell1\.scaleRange = 0\.2\n/);
});

test('a blank typed and taken back is no change; Enter breaks the line the server reads', async () => {
  await findInLine('cell1.lifetimeRange =', '0.4', true);
  await page.keyboard.press('ArrowRight');
  await page.keyboard.type(' ');
  await page.waitForFunction(() => document.querySelector('#answer').textContent !== '', null, WAIT);
  await page.keyboard.press('Backspace');
  await page.waitForSelector('#line-mark', { state: 'hidden', ...WAIT });
  assert.equal(await page.locator('#answer').textContent(), '');

  // "40.0" broken after its "4": the line reads 4.
  const { x, y } = await findInLine('cell1.yAcceleration =', '40.0', false);
  await page.mouse.click(x - 1, y);
  await page.keyboard.press('Home');
  await page.keyboard.press('End');
  for (let step = 0; step < 3; step += 1) await page.keyboard.press('ArrowLeft');
  await page.keyboard.press('Enter');
  await page.waitForFunction(() =>
    document.querySelector('#cell-fields input[type=range][data-key="yAcceleration"]').value === '4', null, WAIT);
  await waitForCode(/cell1\.yAcceleration = 4\.0\n/);
});

test('numbers in the code can be scrubbed', async () => {
  const { x, y } = await findInLine('cell1.scale =', '0.35', false);
  await page.mouse.move(x, y);
  await holding(['Control'], async () => {
    for (let step = 1; step <= 5; step += 1) await page.mouse.move(x + step * 8, y);
    await waitForChangedLook('cell1.scale =');
    await shoot('code-scrubbing.png');
  });
  await waitForCode(/cell1\.scale = (?!0\.35\n)[\d.]+\n/);
});

test('undo and redo, by button and key, also show in the focused field', async () => {
  const field = page.locator('#cell-fields input[type=number][data-key="spinRange"]');
  await field.fill('45');
  await field.press('Enter');
  await waitForCode(/cell1\.spinRange = 45\.0/);
  await waitForFile(/"spinRange": (\{"value": )?45\.0/);
  // The field keeps the focus through the first two.
  for (const [keys, shown] of [['Control+z', '90'], ['Control+Shift+Z', '45'], [null, '90'], ['Control+y', '45']]) {
    await (keys ? page.keyboard.press(keys) : page.locator('#undo').click());
    await waitForCode(new RegExp(`cell1\\.spinRange = ${shown}\\.0`));
    await page.waitForFunction((value) => document.querySelector(
      '#cell-fields input[type=number][data-key="spinRange"]').value === value, shown, WAIT);
  }
  await waitForFile(/"spinRange": (\{"value": )?45\.0/);
});

test('numbers typed and deleted in the code are saved, as one undo step, once the typing pauses', async () => {
  const saved = new Set();
  const watch = setInterval(() => saved.add(/"velocityRange": ([\d.]+)/.exec(effectText())[1]), 20);
  await findInLine('cell1.velocityRange =', '20.0', true);
  await page.keyboard.type('345', { delay: 60 });
  for (const key of ['Backspace', 'Backspace']) await page.keyboard.press(key, { delay: 60 });
  await waitForFile(/"velocityRange": 3\.0/);
  clearInterval(watch);
  assert.deepEqual([...saved].filter((value) => value !== '3.0'), ['20.0']);
  await page.keyboard.press('Control+z');
  await waitForFile(/"velocityRange": 20\.0/);
  await waitForCode(/cell1\.velocityRange = 20\.0/);
});

test('a change that arrives while a number is typed is not taken back by the typing', async () => {
  await findInLine('cell1.alphaSpeed =', '-0.6', true);
  await page.keyboard.type('-0.', { delay: 40 });
  // As from another page: the new snippet reaches this page, which holds it back while typing.
  await page.evaluate(() => fetch('/api/set', {
    method: 'POST',
    headers: { 'Content-Type': 'application/json',
      'X-Playground-Token': document.querySelector('meta[name="playground-token"]').content },
    body: JSON.stringify({ cell: 0, sub: null, key: 'greenRange', value: 0.3, live: false }),
  }));
  await waitForFile(/"greenRange": 0\.3/);
  await new Promise((resolve) => setTimeout(resolve, 300));
  await page.keyboard.type('5', { delay: 40 });
  await waitForFile(/"alphaSpeed": -0\.5/);
  await waitForCode(/cell1\.alphaSpeed = -0\.5\n[^]*cell1\.greenRange = 0\.3\n/);
  assert.match(effectText(), /"greenRange": 0\.3/);
});

test('the platform switch rewrites the code for iOS; the position field shows the code\'s y', async () => {
  const field = page.locator('#layer-fields input[type=number][data-key="emitterPositionY"]');
  const expectFieldShowsCode = async () => assert.equal(Number(await field.inputValue()),
    Number(/emitterPosition = CGPoint\(x: [-\d.]+, y: ([-\d.]+)\)/.exec(await codeText())[1]));
  await expectFieldShowsCode();
  await page.locator('#platform button[data-platform="iOS"]').click();
  await waitForCode(/UIView\(frame:/);
  assert.match(await codeText(), /UIImage\(named: "flame"\)/);
  await expectFieldShowsCode();
  await shoot('platform-ios.png');
  await page.locator('#platform button[data-platform="macOS"]').click();
  await waitForCode(/NSView\(frame:/);
  await expectFieldShowsCode();
});

test('a texture is imported into the effect folder and exported again', async () => {
  const [chooser] = await Promise.all([page.waitForEvent('filechooser'), page.locator('#import-texture').click()]);
  const png = fs.readFileSync(new URL('star.png', import.meta.url));
  await chooser.setFiles({ name: 'star.png', mimeType: 'image/png', buffer: png });
  await waitForCode(/NSImage\(named:"star"\)/);
  assert.deepEqual(fs.readFileSync(path.join(folder, 'star.png')), png);
  await waitForFile(/"texture": "star\.png"/);
  assert.equal(await page.locator('#cell-fields select[data-key="texture"]').inputValue(), 'file');
  await page.waitForFunction(() => !document.querySelector('#texture-note').textContent.includes('(cell 1)'),
    null, WAIT);

  const [download] = await Promise.all([page.waitForEvent('download'), page.locator('#export-texture').click()]);
  assert.equal(download.suggestedFilename(), 'star.png');
  assert.deepEqual(fs.readFileSync(await download.path()), png);
  await page.waitForTimeout(1000);
  await shoot('texture-imported.png');
});

test('a removed sub-cell\'s parent is selected; position sliders run across the view; alphas are labelled', async () => {
  await page.locator('#cell-list button', { hasText: 'ember' }).click();
  await page.locator('#add-subcell').click();
  await page.waitForFunction(() => document.querySelector('#cell-title').textContent === 'Cell 2.1', null, WAIT);
  await page.locator('#remove-cell').click();
  await page.waitForFunction(() => document.querySelector('#cell-title').textContent === 'Cell 2', null, WAIT);
  assert.deepEqual(await Promise.all(['emitterPositionX', 'emitterPositionY', 'emitterWidth', 'emitterHeight'].map(
    (key) => page.locator(`#layer-fields input[type=range][data-key="${key}"]`).getAttribute('max'))),
  ['400', '300', '400', '300']);
  await page.locator('#layer-fields input[type=number][data-key="viewWidth"]').fill('640');
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => document.querySelector('#layer-emitterPositionX').max === '640', null, WAIT);
  for (const fields of ['#layer-fields', '#cell-fields']) {
    assert.equal(await page.locator(fields).getByLabel('Alpha', { exact: true }).getAttribute('type'), 'range');
  }
});

test('a name saved without ".json" gets it', async () => {
  const [memory, url] = await serve();
  const other = await browser.newPage();
  try {
    await other.goto(url);
    await other.locator('#save').click();
    await other.locator('#save-name').fill('flame');
    await other.locator('#save-confirm').click();
    await other.waitForFunction(() => document.querySelector('#file-name').textContent === 'flame.json', null, WAIT);
  } finally {
    await other.close();
    memory.kill('SIGTERM');
  }
});

test('a page of another site cannot slip a change into the body of a refused request', async () => {
  const before = fs.readFileSync(path.join(folder, 'fire.json'));
  const token = await page.locator('meta[name="playground-token"]').getAttribute('content');
  const playground = new URL(address);
  const change = JSON.stringify({ key: 'viewWidth', value: 4242 });
  // Even with the page's own origin and secret, a request inside another's body is never read.
  const hidden = `POST /api/set HTTP/1.1\r\nHost: ${playground.host}\r\n` +
    `Origin: ${playground.origin}\r\nX-Playground-Token: ${token}\r\n` +
    `Content-Type: application/json\r\nContent-Length: ${change.length}\r\n\r\n${change}`;
  const otherSite = http.createServer((_, response) => response.end('<title>another site</title>'));
  await new Promise((resolve) => otherSite.listen(0, '127.0.0.1', resolve));
  const attacker = await browser.newPage();
  try {
    await attacker.goto(`http://localhost:${otherSite.address().port}/`);
    // The hidden request, repeated after every padding length up to its own, starts at every
    // offset a server might go on reading from.
    const answered = await attacker.evaluate(([url, request]) => Promise.all(
      Array.from(request, (_, padding) => fetch(url, {
        mode: 'no-cors', method: 'POST', body: 'x'.repeat(padding) + request.repeat(40),
      }).then(() => true, () => false)),
    ), [new URL('/api/set', address).href, hidden]);
    assert.ok(answered.some(Boolean), 'the playground never answered the other site');
    await attacker.waitForTimeout(1500);
  } finally {
    await attacker.close();
    otherSite.close();
  }
  assert.deepEqual(fs.readFileSync(path.join(folder, 'fire.json')), before);
});

test('Open Swift imports emitter code as the effect, one step that undo takes back', async () => {
  await page.locator('#open-swift').click();
  await page.locator('#import-source').fill([
    'let sparks = CAEmitterLayer()',
    'sparks.emitterShape = .circle',
    'let spark = CAEmitterCell()',
    'spark.name = "imported"',
    'spark.birthRate = 42',
    'spark.redSpeed = 1',
    'sparks.emitterCells = [spark]',
  ].join('\n'));
  await page.locator('#import-run').click();
  await page.waitForFunction(() => document.querySelector('#import-report').textContent
    .includes('source:6:1: not kept: spark.redSpeed = 1: the effect has no red speed'), null, WAIT);
  await shoot('import-code.png');
  await page.locator('#import-dialog button', { hasText: 'Close' }).click();
  await waitForCode(/cell1\.birthRate = 42\.0/);
  await waitForFile(/"name": "imported"/);
  await page.locator('#undo').click();
  await waitForFile(/"name": "imported"/, true);
  await waitForCode(/cell1\.name = "(?!imported)/);
});

// The code view of a large effect holds only the lines in view; a change far down shows at its
// line once scrolled to, and after a series of changes the whole snippet copied from the page is
// the one the program writes for the saved effect.
test('at 1,000 cells a change shows at its line and the page\'s snippet stays the server\'s', async () => {
  const demo = JSON.parse(execFileSync(program, ['demo']));
  demo.layer.cells = Array.from({ length: 1000 }, (_, index) => ({ ...demo.layer.cells[0], name: `c${index}` }));
  fs.writeFileSync(path.join(folder, 'large.json'), JSON.stringify(demo));
  const [large, largeAddress] = await serve('large.json');
  const largePage = await browser.newPage();
  try {
    await largePage.goto(largeAddress);
    await largePage.waitForSelector('#code span', { state: 'attached', ...WAIT });
    assert.ok(await largePage.locator('#code').evaluate((code) => code.textContent.split('\n').length) < 1000);
    const change = (body) => largePage.evaluate(async (sent) => {
      const token = document.querySelector('meta[name="playground-token"]').content;
      await fetch('/api/set', {
        method: 'POST', body: JSON.stringify(sent),
        headers: { 'Content-Type': 'application/json', 'X-Playground-Token': token },
      });
    }, body);
    await change({ cell: 999, key: 'birthRate', value: 222 });
    await change({ cell: 0, key: 'velocity', value: 77 });
    await change({ cell: 999, sub: 0, key: 'lifetime', value: 1.25 });
    await largePage.waitForTimeout(1000);  // the changes saved
    const written = execFileSync(program, ['build', path.join(folder, 'large.json'), '--format', 'plain'],
      { maxBuffer: 64 << 20 }).toString();
    const line = written.split('\n').findIndex((text) => text.startsWith('cell1000.birthRate'));
    await largePage.locator('#code-scroll').evaluate((scroller, at) => {
      scroller.scrollTop = at * parseFloat(document.querySelector('#code').style.lineHeight);
    }, line);
    await largePage.waitForFunction(() => /cell1000\.birthRate = 222\.0\n/.test(document.querySelector('#code').textContent), null, WAIT);

    await largePage.locator('#code').focus();
    await largePage.keyboard.press('Control+A');
    await largePage.keyboard.press('Control+C');
    const copied = await largePage.evaluate(() => navigator.clipboard.readText());
    const digest = (text) => crypto.createHash('sha256').update(text.replace(/\n$/, '')).digest('hex');
    assert.match(copied, /cell1000\.birthRate = 222\.0\n/);
    assert.equal(digest(copied), digest(written));
  } finally {
    await largePage.close();
    large.kill('SIGTERM');
  }
});
