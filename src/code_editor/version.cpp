#include "tessary/code_editor/version.h"

extern "C" {
const unsigned char TessaryCodeEditorVersionString[] =
    "@(#)PROGRAM:TessaryCodeEditor  PROJECT:Tessary-CodeEditor-1\n";
const double TessaryCodeEditorVersionNumber = 1.0;
}
