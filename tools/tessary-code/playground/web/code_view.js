// The coloured, editable snippet: shows each snippet the server sends (not while a person is
// typing), sends what is typed, and marks a line the server could not use.
import { followTextureLink } from './controls.js';
import { send } from './network.js';
import { installScrubbing, isScrubbing, lineBounds } from './scrubbing.js';

const $ = (selector) => document.querySelector(selector);

// While a person types into the code view, a new snippet would take away what they are typing
// (a "1" shown back as "1.0" before the "." comes). It waits until the typed text has been
// answered and typing has paused.
const TYPING_PAUSE_MS = 1200;

const view = {
  code: null,
  styles: null,
  editsInFlight: 0,
  waitingSnippet: null,
  snippetTimer: 0,
  lastTyped: -Infinity,
};

function caretOffset() {
  const { code } = view;
  const selection = window.getSelection();
  if (!selection.rangeCount || !code.contains(selection.anchorNode)) return null;
  const range = selection.getRangeAt(0);
  const before = document.createRange();
  before.selectNodeContents(code);
  before.setEnd(range.endContainer, range.endOffset);
  return before.toString().length;
}

function textPosition(offset) {
  const walker = document.createTreeWalker(view.code, NodeFilter.SHOW_TEXT);
  let remaining = offset;
  let node = walker.nextNode();
  let last = null;
  while (node) {
    if (remaining <= node.data.length) return { node, offset: remaining };
    remaining -= node.data.length;
    last = node;
    node = walker.nextNode();
  }
  return last ? { node: last, offset: last.data.length } : { node: view.code, offset: 0 };
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

function offsetAtPoint(x, y) {
  const range = document.caretRangeFromPoint(x, y);
  if (!range || !view.code.contains(range.startContainer)) return null;
  const before = document.createRange();
  before.selectNodeContents(view.code);
  before.setEnd(range.startContainer, range.startOffset);
  return before.toString().length;
}

export function receiveSnippet(snippet) {
  view.waitingSnippet = snippet;
  showWaitingSnippet();
}

function showWaitingSnippet() {
  if (!view.waitingSnippet) return;
  const sinceTyping = performance.now() - view.lastTyped;
  if (view.editsInFlight > 0) return;
  if (document.activeElement === view.code && sinceTyping < TYPING_PAUSE_MS) {
    clearTimeout(view.snippetTimer);
    view.snippetTimer = setTimeout(showWaitingSnippet, TYPING_PAUSE_MS - sinceTyping + 10);
    return;
  }
  const snippet = view.waitingSnippet;
  view.waitingSnippet = null;
  showSnippet(snippet);
}

function showSnippet(snippet) {
  const { code } = view;
  view.styles.replaceSync(snippet.css.replace(/^\./gm, '#code .'));
  const caret = document.activeElement === code ? caretOffset() : null;
  code.innerHTML = snippet.html;
  if (caret !== null) setCaret(caret);
  if (!isScrubbing()) {
    markLine(null);
    showAnswer('');
  }
  code.dataset.sequence = snippet.sequence;
}

// Marks the line that holds `offset` as pending or invalid; null clears the mark.
function markLine(kind, offset = null) {
  const mark = $('#line-mark');
  if (!kind || offset === null) {
    mark.hidden = true;
    return;
  }
  const text = view.code.textContent;
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
  const scroller = $('#code-scroll');
  mark.style.top = `${rect.top - scroller.getBoundingClientRect().top + scroller.scrollTop}px`;
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
  view.editsInFlight += 1;
  const result = await send('code', { text: view.code.textContent, live }, 'code');
  view.editsInFlight -= 1;
  if (!result.answer) return;
  showAnswer(result.answer);
  if (result.answer === 'valid') markLine(null);
  else markLine(result.answer, caret === null ? 0 : caret);
  showWaitingSnippet();
}

export function installCodeView() {
  const code = $('#code');
  view.code = code;
  view.styles = new CSSStyleSheet();
  document.adoptedStyleSheets = [view.styles];

  code.addEventListener('input', () => {
    view.lastTyped = performance.now();
    if (!isScrubbing()) sendCode(false);
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
  installScrubbing(code, offsetAtPoint);
}
