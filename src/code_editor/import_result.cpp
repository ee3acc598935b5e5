#include "tessary/code_editor/import_result.h"

namespace tessary::code_editor {

namespace {

std::string counted(std::size_t count, std::string_view singular, std::string_view plural) {
  return std::to_string(count) + " " + std::string(count == 1 ? singular : plural);
}

std::string layerName(const ImportResult::Layer& layer) {
  return layer.name.empty() ? std::string("an unnamed layer") : "`" + layer.name + "`";
}

std::string_view kindText(ImportResult::Note::Kind kind) {
  switch (kind) {
    case ImportResult::Note::Kind::notKept:
      return "not kept";
    case ImportResult::Note::Kind::folded:
      return "folded";
    case ImportResult::Note::Kind::kept:
      return "kept";
  }
  return "";
}

}  // namespace

std::string ImportResult::summary() const {
  std::string text = counted(layers.size(), "emitter layer", "emitter layers") + " found";
  if (!effect) return text;
  text += "; importing " + layerName(layers[chosenLayer]) + " (layer " +
          std::to_string(chosenLayer + 1) + "): " + counted(cells, "cell", "cells") + ", " +
          counted(subcells, "sub-cell", "sub-cells") + ", " + std::to_string(settingsKept) +
          " of " + counted(settings, "emitter setting", "emitter settings") + " kept; read as " +
          std::string(platform.rawValue()) + " code";
  return text;
}

std::string ImportResult::report(std::string_view sourceName) const {
  std::string text;
  for (const Note& note : notes) {
    text += std::string(sourceName) + ":" + std::to_string(note.line) + ":" +
            std::to_string(note.column) + ": " + std::string(kindText(note.kind)) + ": " +
            note.statement + ": " + note.reason + "\n";
  }
  return text;
}

std::string ImportResult::listing() const {
  std::string text;
  for (std::size_t i = 0; i < layers.size(); ++i) {
    text += std::to_string(i + 1) + ". " + layerName(layers[i]);
    if (!layers[i].madeIn.empty()) text += " in `" + layers[i].madeIn + "`";
    text += ": " + counted(layers[i].cells, "cell", "cells") + "\n";
  }
  return text;
}

}  // namespace tessary::code_editor
