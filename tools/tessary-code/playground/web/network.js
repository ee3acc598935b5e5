// Talking to the playground server: actions go out as requests, states and snippets come back as
// server-sent events.
import { applyJsonPatch } from './json_patch.js';

// Every change carries the secret this run of the server put into the page, so that no other
// site's page can make one.
export function changeHeaders(contentType) {
  return {
    'Content-Type': contentType,
    'X-Playground-Token': document.querySelector('meta[name="playground-token"]').content,
  };
}

// Actions go out one at a time, in order. A queued live value that has not gone out yet is
// replaced by a newer one for the same control, so a fast drag never piles up requests.
const outbox = { queue: [], busy: false };

export function send(action, body = {}, coalesceKey = null) {
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
      if (!response.ok) {
        result.status = response.status;
        // 412: an edit made against a version of the snippet the server has let go of; the
        // code view sends it again against the next one.
        if (response.status !== 412) showStatus(result.error || 'The server refused the change.', true);
      }
    } catch (error) {
      result = { error: String(error) };
      showStatus('The playground server cannot be reached.', true);
    }
    item.resolvers.forEach((resolve) => resolve(result));
  }
  outbox.busy = false;
}

export function showStatus(text, isError = false) {
  const status = document.querySelector('#status');
  status.textContent = text;
  status.classList.toggle('error', isError);
}

// Follows the server's events. A page is first sent a snapshot of the state and the snippet, then
// only what changes. `onState` gets each whole state; `onSnippet` each snippet snapshot or patch,
// and says whether it could show it. A change that does not follow on from what the page shows
// means one was lost: the page connects again, which brings a new snapshot.
export function connectEvents(onState, onSnippet) {
  const live = { events: null, state: null, version: -1 };
  const connect = () => {
    live.events?.close();
    const events = new EventSource('/events');
    live.events = events;
    events.addEventListener('state', (event) => {
      const message = JSON.parse(event.data);
      if (message.state !== undefined) live.state = message.state;
      else if (message.from === live.version) live.state = applyJsonPatch(live.state, message.patch);
      else return connect();
      live.version = message.version;
      if (live.state) onState(live.state);
    });
    events.addEventListener('snippet', (event) => {
      if (!onSnippet(JSON.parse(event.data))) connect();
    });
    events.addEventListener('notice', (event) => showStatus(JSON.parse(event.data).message, true));
    // The server follows only so many pages at once and lets the oldest go for a new one.
    events.addEventListener('closed', (event) => {
      events.close();
      showStatus(JSON.parse(event.data).message, true);
    });
    events.onerror = () => showStatus('Reconnecting to the playground server…', true);
    events.onopen = () => showStatus('');
  };
  connect();
}
