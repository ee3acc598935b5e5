#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "event_hub.h"
#include "live_snippet.h"
#include "tessary/code_editor/code_analyzer.h"
#include "tessary/code_editor/code_builder.h"
#include "tessary/code_editor/code_platform.h"
#include "tessary/platform/dispatch_queue.h"
#include "tessary/platform/text_storage.h"
#include "tessary/store/data_store.h"
#include "undo_history.h"

namespace tessary::tool {

// A request from the page that cannot be carried out: the HTTP status and a message for a person.
class RequestError : public std::runtime_error {
 public:
  RequestError(int status, const std::string& message)
      : std::runtime_error(message), status_(status) {}
  int status() const { return status_; }

 private:
  int status_;
};

// The host of the code view behind the playground page, as a designer application hosts it: one
// store, one builder and one analyzer; builds requested through the throttler and taken over on
// the main queue (the cache stored back, the records handed to the analyzer); every accepted
// change saved and undoable.
//
// Every member function must run on the program's main thread, the one that drains the main
// queue: that is the only thread that touches the store, the builder and the analyzer.
class PlaygroundSession : public std::enable_shared_from_this<PlaygroundSession> {
 public:
  // `effectPath` absent: the effect lives in memory until the page saves it under a name in
  // `saveFolder`.
  PlaygroundSession(store::LayerConfigRef layer, std::optional<std::filesystem::path> effectPath,
                    std::filesystem::path saveFolder, code_editor::CodePlatform platform,
                    EventHub& events);

  // Tells the pages the state and starts the first build.
  void start();

  // Carries out one action of the page ("set", "code", "undo", ...) with its JSON arguments and
  // gives the JSON answer. Throws RequestError.
  nlohmann::json handle(std::string_view action, const nlohmann::json& arguments);

  // Keeps `bytes` as the image file `fileName` beside the effect and draws the cell with it.
  nlohmann::json importTexture(const nlohmann::json& cellReference, const std::string& fileName,
                               std::string bytes);
  struct TextureFile {
    std::string fileName;
    std::string bytes;
  };
  TextureFile exportTexture(const nlohmann::json& cellReference) const;

  // Writes a save that is still waiting: changes are saved once they pause, typing once it
  // pauses on a text that is understood.
  void flushPendingSave();

  // The events that bring a new page, or one that fell behind, to the current state and
  // snippet; the changes published after it follow on from it.
  std::string pageSnapshot() const;

 private:
  struct CellAddress {
    int cellIdx;
    std::optional<int> subcellIdx;
  };

  nlohmann::json setValue(const nlohmann::json& arguments);
  nlohmann::json analyzeCode(const nlohmann::json& arguments);
  nlohmann::json gesture(const nlohmann::json& arguments);
  nlohmann::json undoOrRedo(bool undo);
  nlohmann::json save(const nlohmann::json& arguments);
  nlohmann::json importCode(const nlohmann::json& arguments);

  // Runs `change` on the store; when it changed the effect, ends the undo step and saves (or
  // leaves both to the end of the drag or of the typing), tells the pages and asks for a build.
  // True when the effect changed.
  template <typename Change>
  bool applyChange(Change&& change);

  CellAddress cellAddress(const nlohmann::json& reference) const;
  // Typed edits of the code make one undo step and one save once the typing pauses on a text
  // that is understood, or when anything else is done.
  void typingPaused(std::uint64_t edit);
  void endTyping();
  void requestBuild(std::optional<store::AnyKeyPath> changedKeypath);
  void takeBuild(const code_editor::BuildResult& result, std::uint64_t sequence);
  void publishState();
  void saveNow();
  void scheduleSave();
  void notice(const std::string& message);
  std::optional<std::filesystem::path> effectFolder() const;

  store::DataStore store_;
  code_editor::CodeBuilder builder_;
  code_editor::CodeAnalyzer analyzer_;
  platform::TextStorage textStorage_;
  code_editor::CodePlatform platform_;
  std::optional<std::filesystem::path> effectPath_;
  std::filesystem::path saveFolder_;
  EventHub& events_;

  UndoHistory undoHistory_;
  bool changed_ = false;  // set by the store's observers
  std::optional<store::AnyKeyPath> lastChangedKeypath_;
  bool dragging_ = false;
  bool typing_ = false;
  bool lastTypedTextValid_ = false;
  std::uint64_t typedEdits_ = 0;
  bool savePending_ = false;
  // Textures imported while the effect has no file yet, written beside it when it is saved.
  std::map<std::string, std::string> unsavedTextures_;

  LiveSnippet snippet_;
  std::vector<std::string> looks_;  // the snippet's span classes, kept from build to build
  // The state as last published: the cells apart, each made again only when a change touched it.
  nlohmann::json stateWithoutCells_;
  nlohmann::json cells_ = nlohmann::json::array();
  std::set<int> changedCells_;      // the top-level cells changed since, sub-cells with theirs
  bool cellsRestructured_ = false;  // cells added or removed, the layer replaced, the platform
  std::uint64_t stateVersion_ = 0;

  std::uint64_t buildsRequested_ = 0;
  std::uint64_t buildShown_ = 0;
};

}  // namespace tessary::tool
