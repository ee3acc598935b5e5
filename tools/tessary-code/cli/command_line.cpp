#include "command_line.h"

#include <cctype>

namespace tessary::tool {

std::string lowercase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

void addPlatformOption(CLI::App* command, std::string& platform, const std::string& description) {
  command->add_option("--platform", platform, description + ": macos or ios")
      ->check(CLI::IsMember({"macos", "ios"}, CLI::ignore_case))
      ->type_name("PLATFORM")
      ->default_str("macos");
}

code_editor::CodePlatform platformNamed(const std::string& name) {
  return lowercase(name) == "ios" ? code_editor::CodePlatform::iOS
                                  : code_editor::CodePlatform::macOS;
}

}  // namespace tessary::tool
