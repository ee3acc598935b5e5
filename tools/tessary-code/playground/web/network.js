// Talking to the playground server: actions go out as requests, states and snippets come back as
// server-sent events.

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
      if (!response.ok) showStatus(result.error || 'The server refused the change.', true);
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

// Follows the server's events: `onState` and `onSnippet` get each state and snippet.
export function connectEvents(onState, onSnippet) {
  const events = new EventSource('/events');
  events.addEventListener('state', (event) => onState(JSON.parse(event.data)));
  events.addEventListener('snippet', (event) => onSnippet(JSON.parse(event.data)));
  events.addEventListener('notice', (event) => showStatus(JSON.parse(event.data).message, true));
  // The server follows only so many pages at once and lets the oldest go for a new one.
  events.addEventListener('closed', (event) => {
    events.close();
    showStatus(JSON.parse(event.data).message, true);
  });
  events.onerror = () => showStatus('Reconnecting to the playground server…', true);
  events.onopen = () => showStatus('');
}
