// The playground page: controls, the coloured and editable snippet, and a live preview. The
// server owns the effect; the page sends actions and shows the states and snippets it is sent.
import { installCodeView, receiveSnippet } from './code_view.js';
import { applyState, installControls } from './controls.js';
import { installImportCode } from './import_code.js';
import { connectEvents } from './network.js';
import { createPreview } from './preview.js';

const preview = createPreview();
installControls((state) => preview.setState(state));
installCodeView();
installImportCode();
connectEvents(applyState, receiveSnippet);
