// How fast the playground answers in a real browser, on generated effects of 10, 100 and 1,000
// cells of one sub-cell each: `make bench-e2e`. Each figure is the median of several tries; a
// table with each goal met or missed is printed at the end, and a missed goal fails the run.
//
//   node bench.mjs PROGRAM GENERATOR    (BENCH_SIZES=10,100 for fewer sizes)
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';
import { serve } from './serve.mjs';

const [program, generator] = process.argv.slice(2).map((file) => path.resolve(file));
const TRIES = 7;
const SIZES = (process.env.BENCH_SIZES ?? "10,100,1000").split(",").map(Number);
const WAIT = { timeout: 60000 };
const rows = [];

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

function record(measure, value, unit, goal, atMost = true) {
  rows.push({ measure, value, unit, goal, met: atMost ? value <= goal : value >= goal, atMost });
  console.log(`${measure}: ${value.toFixed(1)} ${unit}`);
}

// The memory a process holds now and at most, in MB, from /proc.
function processMemory(pid) {
  const status = fs.readFileSync(`/proc/${pid}/status`, 'utf8');
  const kilobytes = (name) => Number(new RegExp(`${name}:\\s+(\\d+)`).exec(status)[1]);
  return { rss: kilobytes('VmRSS') / 1024, hwm: kilobytes('VmHWM') / 1024 };
}

// The processes started by `pid`, and theirs.
function descendants(pid) {
  const children = new Map();
  for (const entry of fs.readdirSync('/proc').filter((name) => /^\d+$/.test(name))) {
    try {
      const parent = Number(fs.readFileSync(`/proc/${entry}/stat`, 'utf8').split(') ')[1].split(' ')[1]);
      children.set(parent, [...(children.get(parent) ?? []), Number(entry)]);
    } catch { /* the process has ended */ }
  }
  const found = [];
  for (let queue = [pid]; queue.length > 0;) {
    const next = children.get(queue.shift()) ?? [];
    found.push(...next);
    queue.push(...next);
  }
  return found;
}

async function openPage(browser, address) {
  const page = await browser.newPage({ viewport: { width: 1500, height: 950 } });
  page.on('pageerror', (error) => console.log('page error:', error.message));
  await page.goto(address);
  await page.waitForSelector('#code span', { state: 'attached', ...WAIT });
  await page.waitForSelector('#cell-fields input[type=range][data-key="birthRate"]', WAIT);
  return page;
}

// Sets the first cell's birth rate slider to the whole number at `fraction` of its range and
// gives the milliseconds until the code shows it; with `wait` false, at once.
function sliderToCode(page, fraction, wait = true) {
  return page.evaluate(([part, waiting]) => new Promise((resolve) => {
    const code = document.querySelector('#code');
    const slider = document.querySelector('#cell-fields input[type=range][data-key="birthRate"]');
    const wanted = Math.round(Number(slider.min) + (Number(slider.max) - Number(slider.min)) * part);
    const pattern = new RegExp(`cell1\\.birthRate = ${wanted}(\\.0+)?\\n`);
    const started = performance.now();
    const observer = new MutationObserver(() => {
      if (!pattern.test(code.textContent)) return;
      observer.disconnect();
      resolve(performance.now() - started);
    });
    if (waiting) observer.observe(code, { childList: true, subtree: true, characterData: true });
    slider.value = wanted;
    slider.dispatchEvent(new Event('input', { bubbles: true }));
    if (!waiting) resolve(0);
  }), [fraction, wait]);
}

// Types `digit` over the first cell's birth rate in the code and gives the milliseconds until
// the slider shows it.
async function codeToSlider(page, digit) {
  await page.waitForFunction(() => /cell1\.birthRate = [\d.]+\n/.test(document.querySelector('#code').textContent), null, WAIT);
  await page.evaluate(() => {
    const code = document.querySelector('#code');
    const text = code.textContent;
    const match = /cell1\.birthRate = ([\d.]+)\n/.exec(text);
    const start = match.index + match[0].indexOf(match[1]);
    const walker = document.createTreeWalker(code, NodeFilter.SHOW_TEXT);
    const position = (offset) => {
      for (let node = walker.nextNode(); node; node = walker.nextNode()) {
        if (offset <= node.data.length) return [node, offset];
        offset -= node.data.length;
      }
      throw new Error('no such offset');
    };
    const [startNode, startOffset] = position(start);
    walker.currentNode = code;
    const [endNode, endOffset] = position(start + match[1].length);
    code.focus();
    window.getSelection().setBaseAndExtent(startNode, startOffset, endNode, endOffset);
    const slider = document.querySelector('#cell-fields input[type=range][data-key="birthRate"]');
    window.benchTyped = new Promise((resolve) => {
      code.addEventListener('keydown', () => {
        const started = performance.now();
        const poll = setInterval(() => {
          if (slider.value !== window.benchDigit) return;
          clearInterval(poll);
          resolve(performance.now() - started);
        }, 1);
      }, { once: true });
    });
  });
  await page.evaluate((value) => { window.benchDigit = value; }, digit);
  await page.keyboard.type(digit);
  const elapsed = await page.evaluate(() => window.benchTyped);
  // The snippet comes back once typing has paused.
  await page.waitForFunction((value) => new RegExp(`cell1\\.birthRate = ${value}\\.0\\n`)
    .test(document.querySelector('#code').textContent), digit, WAIT);
  return elapsed;
}

// Frames per second of the preview over `seconds`: its own frame count where it keeps one,
// else the page's animation frames.
async function framesPerSecond(page, seconds = 3) {
  return page.evaluate((duration) => new Promise((resolve) => {
    const canvas = () => document.querySelector('#preview-frame canvas, #preview');
    const counted = () => Number(canvas()?.dataset.frames);
    const own = Number.isFinite(counted());
    let frames = 0;
    const count = () => { frames += 1; requestAnimationFrame(count); };
    const before = own ? counted() : 0;
    if (!own) requestAnimationFrame(count);
    const started = performance.now();
    setTimeout(() => {
      const shown = own ? counted() - before : frames;
      resolve(shown / ((performance.now() - started) / 1000));
    }, duration * 1000);
  }), seconds);
}

// Bytes the page receives and sends per slider step, through the browser's own network log.
async function bytesPerStep(page, steps) {
  const cdp = await page.context().newCDPSession(page);
  await cdp.send('Network.enable');
  let bytes = 0;
  cdp.on('Network.eventSourceMessageReceived', (event) => { bytes += event.eventName.length + event.data.length; });
  cdp.on('Network.requestWillBeSent', (event) => { bytes += (event.request.postData ?? '').length; });
  cdp.on('Network.dataReceived', (event) => { bytes += event.dataLength; });
  await sleep(500);
  bytes = 0;
  for (let step = 0; step < steps; step += 1) await sliderToCode(page, 0.3 + step / 100);
  await sleep(500);
  await cdp.detach();
  return bytes / steps;
}

// Follows the events as a page that reads a little now and then.
function slowReader(address) {
  const url = new URL(address);
  const socket = net.connect(Number(url.port), url.hostname, () => {
    socket.write(`GET /events HTTP/1.1\r\nHost: ${url.host}\r\n\r\n`);
  });
  socket.on('data', () => {
    socket.pause();
    setTimeout(() => socket.resume(), 1000);
  });
  socket.on('error', () => {});
  return socket;
}

async function benchSize(browser, cells) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'tessary-bench-e2e-'));
  execFileSync(generator, [String(cells), path.join(folder, 'effect.json')]);
  const [server, address] = await serve(program, folder, 'effect.json');
  try {
    const page = await openPage(browser, address);
    const slider = [];
    for (let attempt = 0; attempt < TRIES; attempt += 1) {
      slider.push(await sliderToCode(page, 0.4 + attempt / 50));
      await sleep(300);
    }
    const typed = [];
    for (let attempt = 0; attempt < TRIES; attempt += 1) typed.push(await codeToSlider(page, String(2 + attempt)));
    const goal = { 10: 50, 100: 100, 1000: 250 }[cells];
    record(`${cells} cells: slider input → code shows it`, median(slider), 'ms', goal);
    record(`${cells} cells: digit typed in the code → slider shows it`, median(typed), 'ms', goal);
    if (cells !== 1000) return;

    record('1,000 cells: bytes per slider step', median([await bytesPerStep(page, TRIES)]) / 1024, 'KB', 20);
    const reader = slowReader(address);
    for (let change = 0; change < 300; change += 1) {
      await sliderToCode(page, 0.5 + (change % 40) / 100, false);
      await sleep(20);
    }
    await sliderToCode(page, 0.95);
    const renderers = descendants(process.pid)
      .filter((pid) => { try { return fs.readFileSync(`/proc/${pid}/cmdline`, 'utf8').includes('--type=renderer'); } catch { return false; } })
      .map((pid) => processMemory(pid).rss);
    record('1,000 cells: page process memory after 300 changes', Math.max(...renderers), 'MB', 500);
    const memory = processMemory(server.pid);
    record('1,000 cells: server memory after 300 changes, a slow reader (VmHWM)', memory.hwm, 'MB', 150);
    record('1,000 cells: server memory after 300 changes, a slow reader (VmRSS)', memory.rss, 'MB', 150);
    reader.destroy();
  } finally {
    server.kill('SIGTERM');
  }
}

// The preview of a running effect: the demo, and 10 generated cells drawn with the built-in image.
async function benchPreview(browser) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'tessary-bench-e2e-'));
  fs.writeFileSync(path.join(folder, 'demo.json'), execFileSync(program, ['demo']));
  execFileSync(generator, ['10', path.join(folder, 'cells.json')]);
  for (const [file, measure] of [['demo.json', 'demo'], ['cells.json', '10 cells, built-in image']]) {
    const [server, address] = await serve(program, folder, file);
    try {
      const page = await openPage(browser, address);
      if (file === 'cells.json') {
        await page.evaluate(async () => {
          const token = document.querySelector('meta[name="playground-token"]').content;
          for (let cell = 0; cell < 10; cell += 1) {
            for (const sub of [null, 0]) {
              await fetch('/api/texture', {
                method: 'POST',
                headers: { 'Content-Type': 'application/json', 'X-Playground-Token': token },
                body: JSON.stringify({ cell, sub, kind: 'builtIn' }),
              });
            }
          }
        });
      }
      await sleep(2000);
      const tries = [];
      for (let attempt = 0; attempt < 3; attempt += 1) tries.push(await framesPerSecond(page));
      record(`preview frames per second: ${measure}`, median(tries), 'fps', 30, false);
    } finally {
      server.kill('SIGTERM');
    }
  }
}

const browser = await chromium.launch({
  executablePath: process.env.TESSARY_CHROMIUM ?? '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
try {
  for (const cells of SIZES) await benchSize(browser, cells);
  await benchPreview(browser);
} finally {
  await browser.close();
}

const width = Math.max(...rows.map((row) => row.measure.length));
console.log(`\n${'measure'.padEnd(width)}  ${'median'.padStart(10)}  ${'goal'.padStart(12)}  result`);
for (const row of rows) {
  const goal = `${row.atMost ? '≤' : '≥'} ${row.goal} ${row.unit}`;
  console.log(`${row.measure.padEnd(width)}  ${`${row.value.toFixed(1)} ${row.unit}`.padStart(10)}  ` +
    `${goal.padStart(12)}  ${row.met ? 'goal met' : 'goal MISSED'}`);
}
const missed = rows.filter((row) => !row.met).length;
if (missed > 0) {
  console.error(`\n${missed} of ${rows.length} goals missed`);
  process.exitCode = 1;
}
