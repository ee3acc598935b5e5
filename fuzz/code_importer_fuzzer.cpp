// Any bytes as Swift or Objective-C source: importing never fails, and what it gives holds
// together. Either nothing was importable, said why, or the effect written as a file reads back
// as itself; every note points into the source, and the counts add up.

#include "fuzz_support.h"
#include "tessary/code_editor/code_importer.h"
#include "tessary/store/effect_file.h"

using tessary::code_editor::CodeImporter;
using tessary::code_editor::ImportResult;
using tessary::fuzzing::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view source = tessary::fuzzing::textOf(data, size);
  CodeImporter::Options options;
  options.findImage = [](std::string_view name) -> std::optional<std::string> {
    return name.size() == 1 ? std::optional<std::string>(std::string(name) + ".png") : std::nullopt;
  };
  const ImportResult result = CodeImporter::importSource(source, options);
  if (!result.effect) {
    require(!result.failure.empty(), "nothing imported says why");
    return 0;
  }
  require(result.chosenLayer < result.layers.size(), "the chosen layer is one of those found");
  require(result.settingsKept <= result.settings, "no more settings kept than read");
  const std::size_t lines =
      static_cast<std::size_t>(std::count(source.begin(), source.end(), '\n')) + 1;
  for (const ImportResult::Note& note : result.notes) {
    require(note.line >= 1 && note.line <= lines && note.column >= 1,
            "notes point into the source");
  }
  const std::string file = tessary::store::EffectFile::serialize(*result.effect);
  require(*tessary::store::EffectFile::parse(file, "imported") == *result.effect,
          "the imported effect reads back from its file as itself");
  return 0;
}
