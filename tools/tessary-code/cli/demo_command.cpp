#include "demo_command.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "command_error.h"
#include "demo_texture.h"
#include "output.h"
#include "tessary/store/effect_file.h"

namespace tessary::tool {

namespace {

namespace fs = std::filesystem;

// Files written beside their places and moved there once the whole run has succeeded; removed
// again otherwise, with the folder made for them, so that a failure leaves things as they were.
class StagedFiles {
 public:
  StagedFiles() = default;
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;
  ~StagedFiles() {
    std::error_code ignored;
    for (const auto& [staged, path] : files_) fs::remove(staged, ignored);
    if (madeFolder_) fs::remove(*madeFolder_, ignored);
  }

  // Makes `folder` and its parents where missing.
  void makeFolder(const fs::path& folder) {
    std::error_code error;
    if (!fs::exists(folder, error)) madeFolder_ = folder;
    fs::create_directories(folder, error);
    if (error) throw CommandError(folder.string() + ": cannot make the folder: " + error.message());
  }

  void stage(const fs::path& path, std::string_view contents) {
    fs::path staged = path;
    staged.replace_filename("." + path.filename().string() + ".new");
    writeOutput(staged, contents);
    files_.emplace_back(std::move(staged), path);
  }

  void moveIntoPlace() {
    for (; !files_.empty(); files_.pop_back()) {
      const auto& [staged, path] = files_.back();
      std::error_code error;
      fs::rename(staged, path, error);
      if (error) throw CommandError(path.string() + ": cannot write: " + error.message());
    }
    madeFolder_.reset();
  }

 private:
  std::vector<std::pair<fs::path, fs::path>> files_;
  std::optional<fs::path> madeFolder_;
};

// Stages the demo's images for `folder`, made if missing; an image already there is a failure
// unless `replace`.
void stageTextures(const fs::path& folder, bool replace, StagedFiles& files) {
  files.makeFolder(folder);
  const std::vector<DemoTexture> textures = DemoTexture::all();
  for (const DemoTexture& texture : textures) {
    const fs::path path = folder / texture.fileName;
    if (!replace && fs::symlink_status(path).type() != fs::file_type::not_found) {
      throw CommandError(path.string() + ": already exists; add --force to replace it");
    }
  }
  for (const DemoTexture& texture : textures)
    files.stage(folder / texture.fileName, texture.image.png());
}

}  // namespace

Command addDemoCommand(CLI::App& app) {
  struct Arguments {
    std::string textures;
    bool force = false;
  };
  auto arguments = std::make_shared<Arguments>();
  CLI::App* command = addSubcommand(
      app, "demo",
      "Write the built-in demo effect file, a starting point for new effects, and with --textures "
      "the images its snippet loads.",
      "tessary-code demo --textures Images > fire.json");
  CLI::Option* textures = command
                              ->add_option("--textures", arguments->textures,
                                           "Also write the demo's images (PNG) into DIR")
                              ->type_name("DIR");
  command->add_flag("--force", arguments->force, "Replace images that are already in DIR")
      ->needs(textures);
  return {command, [arguments, textures] {
            StagedFiles images;
            if (textures->count() > 0) {
              if (arguments->textures.empty()) throw CommandError("--textures: no folder given");
              stageTextures(arguments->textures, arguments->force, images);
            }
            writeOutput(std::nullopt, store::EffectFile::demoJson());
            images.moveIntoPlace();
            return 0;
          }};
}

}  // namespace tessary::tool
