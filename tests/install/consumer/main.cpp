// A host outside the project: builds the demo effect's snippet through the installed package.
#include <cstdio>

#include "tessary/code_editor/code_builder.h"
#include "tessary/code_editor/version.h"
#include "tessary/platform/dispatch_queue.h"
#include "tessary/store/effect_file.h"

int main() {
  using namespace tessary;
  const auto layer = store::EffectFile::demo();
  const code_editor::CodeBuilder builder(12.0, platform::DispatchQueue("consumer.cache"));
  const auto result = builder.buildMainThread(std::nullopt, *layer, code_editor::CodePlatform::iOS);
  std::printf("%zu records, version %.1f\n", result.newHistroy.size(),
              TessaryCodeEditorVersionNumber);
  return result.newHistroy.empty() ? 1 : 0;
}
