// The coloured, editable snippet. The page keeps the snippet's lines, as the server colours them
// and as plain text, and puts only the lines in view (and some around them) into the document,
// so its cost follows what is visible rather than the effect's size. It patches the lines each
// change brings (not while a person is typing), sends what is typed as the lines changed against
// the version it shows, and marks a line the server could not use.
import { followTextureLink } from './controls.js';
import { send } from './network.js';
import { installScrubbing, isScrubbing } from './scrubbing.js';

const $ = (selector) => document.querySelector(selector);

// While a person types into the code view, a new snippet would take away what they are typing
// (a "1" shown back as "1.0" before the "." comes). It waits until the typed text has been
// answered and typing has paused.
const TYPING_PAUSE_MS = 1200;
// Lines drawn above and below the visible ones, so that scrolling a little draws nothing new.
const MARGIN_LINES = 60;
// As #code's padding in app.css.
const PADDING_TOP = 10;
const PADDING_BOTTOM = 40;

const view = {
  code: null,
  scroller: null,
  spacer: null,
  styles: null,
  version: -1,
  received: { html: [], text: [] }, // the lines of the version the server sent last
  shownFrom: null, // the lines received that the lines shown were taken from
  shown: { html: [], text: [] }, // those lines, or them as a person typed over them
  first: 0, // the lines from `first` to `last` are in the document
  last: 0,
  lineHeight: 17,
  waiting: false,
  allSelected: false,
  renderQueued: false,
  editsInFlight: 0,
  resend: false,
  snippetTimer: 0,
  lastTyped: -Infinity,
};

const ENTITIES = { '&amp;': '&', '&lt;': '<', '&gt;': '>', '&quot;': '"', '&#39;': "'" };
const MARKUP = { '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;' };

// The text a line of the server's markup shows.
export function lineText(html) {
  return html.replace(/<[^>]*>/g, '').replace(/&(?:amp|lt|gt|quot|#39);/g, (entity) => ENTITIES[entity]);
}

function escapeHtml(text) {
  return text.replace(/[&<>"']/g, (character) => MARKUP[character]);
}

// `lines` with each hunk's `removed` lines from `start` on replaced by its `lines` (made over by
// `convert`), in order; may change `lines` itself.
export function patchLines(lines, hunks, convert = (line) => line) {
  let result = lines;
  for (const hunk of hunks) {
    const added = hunk.lines.map(convert);
    // Spreading a very long list would overflow the call's arguments.
    if (added.length < 10000) result.splice(hunk.start, hunk.removed, ...added);
    else result = result.slice(0, hunk.start).concat(added, result.slice(hunk.start + hunk.removed));
  }
  return result;
}

// The hunk that makes `to` of `from`: the lines between their common beginning and end.
export function changedLines(from, to) {
  const shorter = Math.min(from.length, to.length);
  let start = 0;
  while (start < shorter && from[start] === to[start]) start += 1;
  let end = 0;
  while (end < shorter - start && from[from.length - 1 - end] === to[to.length - 1 - end]) end += 1;
  return { start, removed: from.length - start - end, lines: to.slice(start, to.length - end) };
}

// The lines shown, with what was typed since they were taken from the server's lines `from`,
// carried onto the newer lines `received`, so that lines the server changed meanwhile (a slider
// moved in another page) keep their new text unless they were typed on. Where typing and the
// server both changed how many lines there are, with their changes near each other, the lines
// shown are taken as they are.
export function typedOnto(from, shown, received) {
  if (!from || from === received) return shown;
  const typed = changedLines(from, shown);
  const arrived = changedLines(from, received);
  if (typed.removed === typed.lines.length && arrived.removed === arrived.lines.length) {
    return received.map((line, index) => (shown[index] !== from[index] ? shown[index] : line));
  }
  if (typed.start + typed.removed < arrived.start) return patchLines(received.slice(), [typed]);
  if (arrived.start + arrived.removed < typed.start) {
    const shift = arrived.lines.length - arrived.removed;
    return patchLines(received.slice(), [{ ...typed, start: typed.start + shift }]);
  }
  return shown;
}

// Every line is as high as the largest font asks, so a line's place follows from its number.
function lineHeightOf(css) {
  const sizes = [...css.matchAll(/font-size:([\d.]+)px/g)].map((match) => Number(match[1]));
  return Math.ceil(Math.max(13, ...sizes) * 1.3);
}

// The text of the lines in the document. Text the browser put in markup of its own (a <br> or a
// <div> for a line break) counts as the line breaks it shows.
function windowText() {
  let text = '';
  const walk = (node) => {
    for (const child of node.childNodes) {
      if (child.nodeType === Node.TEXT_NODE) {
        text += child.data;
      } else if (child.nodeName === 'BR') {
        text += '\n';
      } else {
        if (/^(DIV|P)$/.test(child.nodeName) && text !== '' && !text.endsWith('\n')) text += '\n';
        walk(child);
      }
    }
  };
  walk(view.code);
  return text;
}

// A character offset in the document's lines as a position in their text nodes.
function textPosition(offset) {
  const walker = document.createTreeWalker(view.code, NodeFilter.SHOW_TEXT);
  let remaining = offset;
  let last = null;
  for (let node = walker.nextNode(); node; node = walker.nextNode()) {
    if (remaining <= node.data.length) return { node, offset: remaining };
    remaining -= node.data.length;
    last = node;
  }
  return last ? { node: last, offset: last.data.length } : { node: view.code, offset: 0 };
}

function offsetOf(node, offset) {
  const before = document.createRange();
  before.selectNodeContents(view.code);
  before.setEnd(node, offset);
  return before.toString().length;
}

// The line of the snippet that holds `offset` of the document's lines, and the offset's column.
function lineAt(offset) {
  const text = windowText().slice(0, offset);
  const lineStart = text.lastIndexOf('\n') + 1;
  return { line: view.first + text.split('\n').length - 1, column: offset - lineStart };
}

// The selection as lines and columns; null when it is not in the code view.
function savedSelection() {
  const selection = window.getSelection();
  if (!selection.rangeCount || !view.code.contains(selection.anchorNode)) return null;
  return {
    anchor: lineAt(offsetOf(selection.anchorNode, selection.anchorOffset)),
    focus: lineAt(offsetOf(selection.focusNode, selection.focusOffset)),
  };
}

function domPosition({ line, column }) {
  if (line < view.first || line >= view.last) return null;
  let offset = Math.min(column, view.shown.text[line].length);
  for (let at = view.first; at < line; at += 1) offset += view.shown.text[at].length + 1;
  return textPosition(offset);
}

function restoreSelection(saved) {
  const anchor = saved && domPosition(saved.anchor);
  const focus = saved && domPosition(saved.focus);
  if (anchor && focus) {
    window.getSelection().setBaseAndExtent(anchor.node, anchor.offset, focus.node, focus.offset);
  }
}

// Puts the lines in view, and those of the selection, into the document.
function render(selection = savedSelection()) {
  const { scroller, code, lineHeight } = view;
  const total = view.shown.text.length;
  const top = Math.max(0, scroller.scrollTop - PADDING_TOP);
  let first = Math.max(0, Math.floor(top / lineHeight) - MARGIN_LINES);
  let last = Math.min(total, Math.ceil((top + scroller.clientHeight) / lineHeight) + MARGIN_LINES);
  if (selection) {
    first = Math.min(first, selection.anchor.line, selection.focus.line);
    last = Math.min(total, Math.max(last, selection.anchor.line + 1, selection.focus.line + 1));
  }
  view.first = first;
  view.last = last;
  code.style.top = `${first * lineHeight}px`;
  code.style.lineHeight = `${lineHeight}px`;
  view.spacer.style.height = `${PADDING_TOP + total * lineHeight + PADDING_BOTTOM}px`;
  code.innerHTML = view.shown.html.slice(first, last).join('\n');
  restoreSelection(selection);
}

// Draws again when scrolling brings lines near the edge of those in the document into view.
function followScrolling() {
  if (view.renderQueued) return;
  view.renderQueued = true;
  requestAnimationFrame(() => {
    view.renderQueued = false;
    const { scroller, lineHeight } = view;
    const firstVisible = Math.floor(Math.max(0, scroller.scrollTop - PADDING_TOP) / lineHeight);
    const lastVisible = firstVisible + Math.ceil(scroller.clientHeight / lineHeight);
    const total = view.shown.text.length;
    const slack = MARGIN_LINES / 2;
    if ((view.first > 0 && firstVisible - view.first < slack) ||
        (view.last < total && view.last - lastVisible < slack)) {
      render();
    }
  });
}

// Takes a snapshot of the snippet or a patch of the version shown; false when it follows on from
// another version than the one shown.
export function receiveSnippet(message) {
  const { received } = view;
  if (message.lines) {
    received.html = message.lines;
    received.text = message.lines.map(lineText);
  } else if (message.from === view.version) {
    received.html = patchLines(received.html, message.hunks);
    received.text = patchLines(received.text, message.hunks, lineText);
  } else {
    return false;
  }
  if (message.css !== undefined) {
    view.styles.replaceSync(message.css.replace(/^\./gm, '#code .'));
    view.lineHeight = lineHeightOf(message.css);
  }
  view.version = message.version;
  view.waiting = true;
  if (view.resend) {
    view.resend = false;
    sendCode();
  }
  showWaitingSnippet();
  return true;
}

function showWaitingSnippet() {
  if (!view.waiting || view.editsInFlight > 0) return;
  const sinceTyping = performance.now() - view.lastTyped;
  if (document.activeElement === view.code && sinceTyping < TYPING_PAUSE_MS) {
    clearTimeout(view.snippetTimer);
    view.snippetTimer = setTimeout(showWaitingSnippet, TYPING_PAUSE_MS - sinceTyping + 10);
    return;
  }
  view.waiting = false;
  const selection = document.activeElement === view.code ? savedSelection() : null;
  view.shown = { html: view.received.html.slice(), text: view.received.text.slice() };
  view.shownFrom = view.received.text.slice();
  render(selection);
  if (!isScrubbing()) {
    markLine(null);
    showAnswer('');
  }
  view.code.dataset.version = view.version;
}

// Marks `line` as pending or invalid; null clears the mark.
function markLine(kind, line = null) {
  const mark = $('#line-mark');
  if (!kind || line === null) {
    mark.hidden = true;
    return;
  }
  mark.style.top = `${PADDING_TOP + line * view.lineHeight}px`;
  mark.style.height = `${view.lineHeight}px`;
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

// Sends the lines shown that differ from the version received, for the server to read back.
async function sendCode() {
  const selection = savedSelection();
  const typed = typedOnto(view.shownFrom, view.shown.text, view.received.text);
  const edit = changedLines(view.received.text, typed);
  view.editsInFlight += 1;
  const result = await send('code', { base: view.version, ...edit }, 'code');
  view.editsInFlight -= 1;
  // The server no longer knows the version the edit was made against: it goes again against
  // the next one.
  if (result.status === 412) view.resend = true;
  if (!result.answer) return;
  const problem = result.answer === 'pending' || result.answer === 'invalid';
  showAnswer(problem || result.answer === 'valid' ? result.answer : '');
  markLine(problem ? result.answer : null, selection ? selection.focus.line : 0);
  showWaitingSnippet();
}

// Takes what was typed into the document's lines into the lines shown, and sends it.
function takeTyping() {
  const selection = savedSelection();
  const typed = windowText().split('\n');
  const change = changedLines(view.shown.text.slice(view.first, view.last), typed);
  const hunk = { ...change, start: view.first + change.start };
  view.shown.text = patchLines(view.shown.text, [hunk]);
  view.shown.html = patchLines(view.shown.html, [hunk], escapeHtml);
  view.last = view.first + typed.length;
  // Markup of the browser's own is drawn again as the plain line breaks it stands for.
  if (view.code.querySelector('br, div, p')) render(selection);
  view.lastTyped = performance.now();
  if (!isScrubbing()) sendCode();
}

// Puts `text` in place of the selection as plain text, line breaks included, as the browser's
// own editing would not: it makes markup of them, which the text would lose.
function insertText(text) {
  if (view.allSelected) {
    replaceAll(text);
    return;
  }
  const selection = window.getSelection();
  if (!selection.rangeCount) return;
  const range = selection.getRangeAt(0);
  range.deleteContents();
  const node = document.createTextNode(text);
  range.insertNode(node);
  range.setStartAfter(node);
  range.collapse(true);
  selection.removeAllRanges();
  selection.addRange(range);
  takeTyping();
}

// With everything selected, what is typed replaces the whole snippet, not only the lines in the
// document.
function replaceAll(text) {
  view.allSelected = false;
  const lines = text.split('\n');
  view.shown = { text: lines, html: lines.map(escapeHtml) };
  view.scroller.scrollTop = 0;
  render(null);
  view.lastTyped = performance.now();
  sendCode();
}

// Scrubbing replaces the line it changes, whatever the lines in the document are meanwhile.
function sendLine(line, text) {
  send('code', { base: view.version, start: line, removed: 1, lines: [text] }, 'code');
}

function offsetAtPoint(x, y) {
  const range = document.caretRangeFromPoint(x, y);
  if (!range || !view.code.contains(range.startContainer)) return null;
  return offsetOf(range.startContainer, range.startOffset);
}

export function installCodeView() {
  const code = $('#code');
  view.code = code;
  view.scroller = $('#code-scroll');
  view.spacer = $('#code-spacer');
  view.styles = new CSSStyleSheet();
  document.adoptedStyleSheets = [view.styles];

  code.addEventListener('input', takeTyping);
  code.addEventListener('keydown', (event) => {
    if (event.key === 'Enter') {
      event.preventDefault();
      insertText('\n');
    } else if ((event.ctrlKey || event.metaKey) && event.key.toLowerCase() === 'a') {
      event.preventDefault();
      window.getSelection().selectAllChildren(code);
      view.allSelected = true;
    }
  });
  code.addEventListener('beforeinput', (event) => {
    if (!view.allSelected || event.inputType.startsWith('history')) return;
    event.preventDefault();
    replaceAll(event.data ?? '');
  });
  code.addEventListener('paste', (event) => {
    event.preventDefault();
    insertText(event.clipboardData.getData('text/plain'));
  });
  const copyAll = (event) => {
    if (!view.allSelected) return false;
    event.preventDefault();
    event.clipboardData.setData('text/plain', view.shown.text.join('\n'));
    return true;
  };
  code.addEventListener('copy', copyAll);
  code.addEventListener('cut', (event) => {
    if (copyAll(event)) replaceAll('');
  });
  document.addEventListener('selectionchange', () => {
    const selection = window.getSelection();
    if (view.allSelected && selection.toString() !== code.textContent) view.allSelected = false;
  });
  code.addEventListener('click', (event) => {
    const link = event.target.closest('[data-link]');
    if (link && !event.ctrlKey && !event.metaKey) {
      event.preventDefault();
      followTextureLink(link.dataset.link);
    }
  });
  view.scroller.addEventListener('scroll', followScrolling);
  installScrubbing(code, {
    offsetAtPoint,
    lineAt: (offset) => lineAt(offset).line,
    sendLine,
  });
}
