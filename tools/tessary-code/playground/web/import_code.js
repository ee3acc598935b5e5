// "Open Swift…": existing emitter code, pasted or dropped, becomes the effect. The server reads
// it and answers with its report; the imported effect replaces the current one as one step that
// Undo takes back.
import { send, showStatus } from './network.js';

function element(tag, properties = {}, children = []) {
  const made = Object.assign(document.createElement(tag), properties);
  made.append(...children);
  return made;
}

export function installImportCode() {
  const source = element('textarea', {
    id: 'import-source', rows: 16, spellcheck: false,
    placeholder: 'Paste Swift or Objective-C code that sets up a CAEmitterLayer, or drop a file here',
  });
  source.setAttribute('aria-label', 'Source code to import');
  const report = element('pre', { id: 'import-report', className: 'import-report' });
  const importButton = element('button', { type: 'button', id: 'import-run', className: 'primary',
    textContent: 'Import' });
  const closeButton = element('button', { type: 'button', textContent: 'Close' });
  const dialog = element('dialog', { id: 'import-dialog' }, [
    element('h2', { textContent: 'Open Swift' }),
    element('p', { textContent: 'The effect of the code replaces the current one; Undo brings ' +
      'the current one back. Settings the effect cannot hold are listed below.' }),
    source, report, element('div', { className: 'row end' }, [importButton, closeButton]),
  ]);
  document.body.append(dialog);

  const open = element('button', { type: 'button', id: 'open-swift', innerHTML: 'Open Swift&hellip;' });
  document.querySelector('#save').before(open);
  open.addEventListener('click', () => {
    report.textContent = '';
    dialog.showModal();
    source.focus();
  });
  closeButton.addEventListener('click', () => dialog.close());

  source.addEventListener('dragover', (event) => event.preventDefault());
  source.addEventListener('drop', async (event) => {
    const file = event.dataTransfer.files[0];
    if (!file) return;
    event.preventDefault();
    source.value = await file.text();
  });

  importButton.addEventListener('click', async () => {
    importButton.disabled = true;
    const answer = await send('importCode', { source: source.value });
    importButton.disabled = false;
    if (answer.error) return;
    report.textContent = answer.report;
    report.classList.toggle('problem', !answer.imported);
    if (answer.imported) showStatus(answer.report.split('\n')[0]);
  });
}
