// Scrubbing a number in the code view: Ctrl-drag (Cmd on a Mac) changes it step by step, Shift
// in steps ten times larger, Alt ten times smaller. Each step is sent as an edit of its line.
import { send } from './network.js';

const PROPERTY_LINE = /^\s*(particlesLayer|cell\d+|subcell\d+_\d+)\.[A-Za-z]+\s*=/;
const PIXELS_PER_STEP = 4;

// The start and end of the line of `text` that holds `offset`.
export function lineBounds(text, offset) {
  const start = text.lastIndexOf('\n', offset - 1) + 1;
  let end = text.indexOf('\n', offset);
  if (end < 0) end = text.length;
  return { start, end };
}

// The number at `offset` in the snippet text that may be scrubbed: a number after the "=" of a
// property line, not part of a name (cell1, subcell2_1), not inside a string, not a divisor
// ("/255.0", "/ 180.0"). Null when there is none.
export function scrubbableNumberAt(text, offset) {
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

// The text of `number` (from scrubbableNumberAt) dragged `dx` pixels: a colour component moves
// in whole steps within 0…255; a number with a fraction in tenths, a whole number in ones, shown
// with at least one fraction digit. `coarser` makes the steps ten times larger, `finer` ten
// times smaller (not for colour components).
export function scrubbedNumber(number, dx, { coarser = false, finer = false } = {}) {
  const steps = Math.round(dx / PIXELS_PER_STEP);
  let step = number.isColorComponent ? 1 : number.decimals > 0 ? 0.1 : 1;
  let decimals = number.isColorComponent ? 0 : Math.max(number.decimals, 1);
  if (coarser) step *= 10;
  if (finer && !number.isColorComponent) {
    step /= 10;
    decimals = Math.max(decimals, Math.round(-Math.log10(step)));
  }
  let value = number.value + steps * step;
  if (number.isColorComponent) value = Math.min(255, Math.max(0, value));
  return value.toFixed(decimals);
}

let scrub = null;

export function isScrubbing() {
  return scrub !== null;
}

function scrubModifier(event) {
  return event.ctrlKey || event.metaKey;
}

// Lets numbers in `code` be scrubbed. `offsetAtPoint(x, y)` gives the offset in `code`'s text
// under a point, `lineAt(offset)` the snippet's line that holds it, and `sendLine(line, text)`
// sends a line as edited.
export function installScrubbing(code, { offsetAtPoint, lineAt, sendLine }) {
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
    const bounds = lineBounds(text, number.start);
    scrub = {
      number: { ...number, start: number.start - bounds.start },
      line: lineAt(bounds.start),
      text: text.slice(bounds.start, bounds.end),
      startX: event.clientX,
      lastText: null,
    };
    send('gesture', { phase: 'begin' });
  });

  code.addEventListener('pointermove', (event) => {
    if (!scrub) {
      const ready = scrubModifier(event) &&
        scrubbableNumberAt(code.textContent, offsetAtPoint(event.clientX, event.clientY) ?? -1);
      code.classList.toggle('scrub-ready', Boolean(ready));
      return;
    }
    const { number } = scrub;
    const formatted = scrubbedNumber(number, event.clientX - scrub.startX,
      { coarser: event.shiftKey, finer: event.altKey });
    const text = scrub.text.slice(0, number.start) + formatted +
      scrub.text.slice(number.start + number.length);
    if (text === scrub.lastText) return;
    scrub.lastText = text;
    sendLine(scrub.line, text);
  });

  const endScrub = () => {
    if (!scrub) return;
    scrub = null;
    code.classList.remove('scrubbing');
    send('gesture', { phase: 'end' });
  };
  code.addEventListener('pointerup', endScrub);
  code.addEventListener('lostpointercapture', endScrub);
}
