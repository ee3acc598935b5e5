#include "command_line.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace tessary::tool {

CLI::App* addSubcommand(CLI::App& app, const std::string& name, const std::string& description,
                        const std::string& example) {
  CLI::App* command = app.add_subcommand(name, description);
  command->footer("Example:\n  " + example);
  return command;
}

std::string lowercase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

CLI::Option* addEffectArgument(CLI::App* command, std::string& effect,
                               const std::string& description) {
  return command->add_option("EFFECT", effect, description)->type_name("FILE");
}

void addPlatformOption(CLI::App* command, std::string& platform, const std::string& description) {
  command->add_option("--platform", platform, description)
      ->check(CLI::IsMember({"macos", "ios"}, CLI::ignore_case).description(""))
      ->type_name("macos|ios")
      ->default_str("macos");
}

code_editor::CodePlatform platformNamed(const std::string& name) {
  return lowercase(name) == "ios" ? code_editor::CodePlatform::iOS
                                  : code_editor::CodePlatform::macOS;
}

void addOutputOption(CLI::App* command, std::string& output, const std::string& description) {
  const CLI::Validator nonEmpty(
      [](const std::string& name) {
        return name.empty() ? std::string("the file name is empty (- is standard output)") : "";
      },
      "");
  command->add_option("-o,--output", output, description)->type_name("FILE")->check(nonEmpty);
}

CLI::Validator numberFrom(double least, double most, Numbers numbers) {
  const bool whole = numbers == Numbers::whole;
  const std::string range = CLI::detail::to_string(least) + " to " + CLI::detail::to_string(most);
  const std::string kind = whole ? " is not a whole number from " : " is not a number from ";
  return CLI::Validator(
      [least, most, whole, message = kind + range](const std::string& text) {
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        const bool inRange = end != text.c_str() && *end == '\0' && value >= least &&
                             value <= most && (!whole || value == std::floor(value));
        return inRange ? std::string() : text + message;
      },
      "");
}

std::optional<std::filesystem::path> givenPath(const std::string& argument) {
  if (argument.empty()) return std::nullopt;
  return std::filesystem::path(argument);
}

}  // namespace tessary::tool
