#pragma once

// The library's version, in the form the "what" tool reads.
extern "C" {
extern const unsigned char TessaryCodeEditorVersionString[];
extern const double TessaryCodeEditorVersionNumber;
}
