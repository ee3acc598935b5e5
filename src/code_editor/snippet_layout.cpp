#include "tessary/code_editor/snippet_layout.h"

namespace tessary::code_editor {

std::string SnippetLayout::plainText(const store::LayerConfig& layer, CodePlatform platform,
                                     const SectionBuilder& sections) {
  std::string text = SectionBuilder::introText(layer, platform);
  forEachLine(layer, [&](store::AnyKeyPath key, const store::CellConfig* cell) {
    if (cell == nullptr) {
      sections.appendLayerLine(text, key, layer, platform);
    } else {
      sections.appendCellLine(text, key, *cell, platform);
    }
    text += '\n';
  });
  text += SectionBuilder::outroText(layer);
  return text;
}

}  // namespace tessary::code_editor
