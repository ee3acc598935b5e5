// The playground's session as pages drive it: requests it refuses, changes it saves and undoes,
// edits of the snippet it reads back, and an effect kept in memory until it is saved.

#include "playground/playground_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "support/temporary_folder.h"
#include "tessary/code_editor/snippet_layout.h"
#include "tessary/platform/atomic_file.h"
#include "tessary/platform/dispatch_queue.h"
#include "tessary/store/effect_file.h"
#include "tessary/store/load_effect.h"

namespace tessary::tool {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using code_editor::CodePlatform;
using platform::readWholeFile;

const std::string kPng = "\x89PNG\r\n\x1A\n....";

class PlaygroundSessionTest : public testing::TemporaryFolderTest {
 protected:
  // A session on the demo effect, saved as `file` in the folder when given; its first build shown.
  void open(std::optional<std::string> file) {
    std::optional<fs::path> path;
    if (file) {
      path = folder_ / *file;
      platform::writeFileAtomically(*path, store::EffectFile::demoJson());
    }
    effect_ = path.value_or(fs::path());
    page_ = hub_.subscribe();
    session_ = std::make_shared<PlaygroundSession>(store::loadEffect(path), path, folder_,
                                                   CodePlatform::macOS, hub_);
    session_->start();
    waitForSnippet();
  }

  // Takes the messages the pages were sent, keeping the last state; true when a snippet was
  // among them.
  bool readEvents() {
    bool snippet = false;
    while (const auto message = hub_.next(*page_, std::chrono::milliseconds(0))) {
      if (message->starts_with("event: snippet")) snippet = true;
      if (message->starts_with("event: state")) {
        state_ = json::parse(message->substr(message->find("data: ") + 6));
      }
    }
    return snippet;
  }

  // Drains the main queue, as the program does, until the session has shown a new snippet.
  void waitForSnippet() {
    bool shown = false;
    const bool done = platform::DispatchQueue::main().runUntil(
        [&] { return shown = readEvents() || shown; }, std::chrono::seconds(60));
    ASSERT_TRUE(done) << "no build was shown";
  }

  // The status a refused request answers with; 0 when it is carried out.
  int refusal(const std::function<void()>& request) {
    try {
      request();
      return 0;
    } catch (const RequestError& error) {
      return error.status();
    }
  }
  int refusal(const std::string& action, const json& arguments) {
    return refusal([&] { session_->handle(action, arguments); });
  }

  bool changed(const std::string& action, const json& arguments) {
    return session_->handle(action, arguments).at("changed").get<bool>();
  }

  EventHub hub_;
  std::shared_ptr<EventHub::Subscription> page_;
  std::shared_ptr<PlaygroundSession> session_;
  fs::path effect_;
  json state_;
};

TEST_F(PlaygroundSessionTest, RequestsThatNameNothingOrCarryWrongValuesAreRefused) {
  struct Row {
    std::string action;
    json arguments;
    int status;
  };
  const json color{{"red", 1}, {"green", 0.5}, {"blue", 0}, {"alpha", 1}};
  const Row rows[] = {
      {"set", {{"key", "birthRate"}, {"cell", 0}, {"value", "many"}}, 400},
      {"set",
       {{"key", "birthRate"}, {"cell", 0}, {"value", std::numeric_limits<double>::infinity()}},
       400},
      {"set", {{"key", "sparkle"}, {"cell", 0}, {"value", 1}}, 400},
      {"set", {{"key", "birthRate"}, {"value", 1}}, 400},
      {"set", {{"key", "viewWidth"}, {"cell", 0}, {"value", 1}}, 400},
      {"set", {{"key", "background"}, {"cell", 0}, {"value", color}}, 400},
      {"set", {{"key", "color"}, {"value", color}}, 400},
      {"set", {{"key", "color"}, {"cell", 0}, {"value", {{"red", 1}}}}, 400},
      {"set", {{"key", "birthRate"}, {"cell", 7}, {"value", 1}}, 404},
      {"set", {{"key", "birthRate"}, {"cell", 0}, {"sub", 9}, {"value", 1}}, 404},
      {"set", {{"key", "birthRate"}, {"cell", 4294967296u}, {"value", 1}}, 404},
      {"set", {{"key", "birthRate"}, {"cell", -4294967296}, {"value", 1}}, 404},
      {"set", {{"key", "birthRate"}, {"cell", -1}, {"value", 1}}, 404},
      {"set", {{"key", "birthRate"}, {"cell", 0.5}, {"value", 1}}, 400},
      {"set", {{"key", "birthRate"}, {"cell", "0"}, {"value", 1}}, 400},
      {"choice", {{"key", "emitterShape"}, {"value", "hexagon"}}, 400},
      {"choice", {{"key", "birthRate"}, {"value", "point"}}, 400},
      {"name", {{"cell", 0}}, 400},
      {"texture", {{"cell", 0}, {"kind", "file"}}, 400},
      {"addCell", {{"parent", 7}}, 404},
      {"removeCell", {{"cell", 0}, {"sub", 5}}, 404},
      {"gesture", {{"phase", "middle"}}, 400},
      {"platform", {{"platform", "linux"}}, 400},
      {"code", {{"text", 5}}, 400},
      {"fly", json::object(), 404},
      {"set", json::array(), 400},
  };
  open("fire.json");
  const std::string before = readWholeFile(effect_);
  for (const Row& row : rows) {
    EXPECT_EQ(refusal(row.action, row.arguments), row.status)
        << row.action << " " << row.arguments.dump();
  }
  struct Texture {
    std::string name;
    int status;
  };
  for (const Texture& texture : {Texture{"../glow.png", 400}, Texture{"glow.gif", 415}}) {
    EXPECT_EQ(refusal([&] {
                session_->importTexture({{"cell", 0}}, texture.name, kPng);
              }),
              texture.status)
        << texture.name;
  }
  EXPECT_EQ(std::vector(fs::directory_iterator(folder_), fs::directory_iterator()).size(), 1u);
  EXPECT_EQ(readWholeFile(effect_), before);
  EXPECT_FALSE(changed("undo", json::object()));
}

TEST_F(PlaygroundSessionTest, EveryChangeIsSavedAndUndoAndRedoWalkThemBackAndForth) {
  struct Step {
    std::string action;
    json arguments;
  };
  open("fire.json");
  const json shapes = state_.at("choices").at("emitterShape");
  const Step steps[] = {
      {"set", {{"key", "birthRate"}, {"cell", 0}, {"value", 150}}},
      {"set", {{"key", "emitterPositionX"}, {"value", 10}}},
      {"set",
       {{"key", "color"},
        {"cell", 0},
        {"sub", 0},
        {"value", {{"red", 0.2}, {"green", 0.4}, {"blue", 0.6}, {"alpha", 0.8}}}}},
      {"set",
       {{"key", "background"}, {"value", {{"red", 0}, {"green", 0}, {"blue", 0.1}, {"alpha", 1}}}}},
      {"choice", {{"key", "emitterShape"}, {"value", shapes.back()}}},
      {"name", {{"cell", 1}, {"value", "torch"}}},
      {"texture", {{"cell", 0}, {"kind", "none"}}},
      {"addCell", json::object()},
      {"addCell", {{"parent", 0}}},
      {"removeCell", {{"cell", 0}, {"sub", 0}}},
  };
  std::vector<std::string> saved{readWholeFile(effect_)};
  for (const Step& step : steps) {
    ASSERT_TRUE(changed(step.action, step.arguments)) << step.action << step.arguments.dump();
    if (!step.action.ends_with("Cell")) {
      ASSERT_FALSE(changed(step.action, step.arguments)) << "the same again changes nothing";
    }
    saved.push_back(readWholeFile(effect_));
    EXPECT_NE(saved.back(), saved[saved.size() - 2]) << step.action << " was not saved";
  }
  for (std::size_t i = saved.size() - 1; i-- > 0;) {
    ASSERT_TRUE(changed("undo", json::object()));
    EXPECT_EQ(readWholeFile(effect_), saved[i]);
  }
  EXPECT_FALSE(changed("undo", json::object()));
  for (std::size_t i = 1; i < saved.size(); ++i) {
    ASSERT_TRUE(changed("redo", json::object()));
    EXPECT_EQ(readWholeFile(effect_), saved[i]);
  }
  EXPECT_FALSE(changed("redo", json::object()));

  ASSERT_TRUE(changed("undo", json::object()));
  ASSERT_TRUE(changed("set", {{"key", "birthRate"}, {"cell", 0}, {"value", 90}}));
  EXPECT_FALSE(changed("redo", json::object())) << "a new change forgets what could be redone";
}

TEST_F(PlaygroundSessionTest, EveryNumberAndColourTheControlsListTakesTheValueTheySet) {
  open("fire.json");
  const json properties = state_.at("properties");
  int numbers = 0;
  for (const std::string scope : {"layer", "cell"}) {
    for (const json& property : properties.at(scope)) {
      const std::string key = property.at("key");
      const std::string kind = property.at("kind");
      const std::set<std::string> pageMakes{"number", "color", "text", "texture", "choice"};
      EXPECT_TRUE(pageMakes.contains(kind)) << key << ": the page makes no " << kind << " control";
      json arguments{{"key", key}};
      if (scope == "cell") arguments.update({{"cell", 0}, {"sub", 0}});
      const auto shown = [&]() -> const json& {
        readEvents();
        const json& owner =
            scope == "layer" ? state_.at("layer") : state_.at("cells").at(0).at("subcells").at(0);
        return kind == "color" ? owner.at(key) : owner.at("numbers").at(key).at("value");
      };
      if (kind == "number") {
        ++numbers;
        const double value = shown().get<double>() + 0.5;
        arguments["value"] = value;
        EXPECT_TRUE(changed("set", arguments)) << key;
        EXPECT_EQ(shown(), value) << key;
      } else if (kind == "color") {
        arguments["value"] = {{"red", 0.25}, {"green", 0.5}, {"blue", 0.75}, {"alpha", 1}};
        EXPECT_TRUE(changed("set", arguments)) << key;
        EXPECT_EQ(shown(), arguments["value"]) << key;
      }
    }
  }
  EXPECT_GT(numbers, 0);
}

TEST_F(PlaygroundSessionTest, ADragIsOneStepToUndo) {
  open("fire.json");
  const std::string before = readWholeFile(effect_);
  EXPECT_FALSE(changed("gesture", {{"phase", "begin"}}));
  for (const int value : {130, 140, 150}) {
    ASSERT_TRUE(changed("set", {{"key", "birthRate"}, {"cell", 0}, {"value", value}}));
  }
  EXPECT_TRUE(changed("gesture", {{"phase", "end"}}));
  EXPECT_FALSE(changed("gesture", {{"phase", "end"}}));
  EXPECT_EQ(
      store::loadEffect(effect_)->cell(0)->limitedValue(store::CellProperty::birthRate)->value,
      150);
  ASSERT_TRUE(changed("undo", json::object()));
  EXPECT_EQ(readWholeFile(effect_), before);
}

TEST_F(PlaygroundSessionTest, TheSnippetEditedInAPageIsReadBackIntoTheEffect) {
  struct Row {
    std::string name;
    std::string edit;  // replaces "cell1.birthRate = 120.0"
    std::string answer;
    double birthRate;
  };
  const Row rows[] = {
      {"changed number", "cell1.birthRate = 150", "valid", 150},
      {"not a number", "cell1.birthRate = many", "invalid", 120},
  };
  open("fire.json");
  const std::string snippet =
      code_editor::SnippetLayout::plainText(*store::loadEffect(effect_), CodePlatform::macOS);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string edited = snippet;
    const std::string number = "cell1.birthRate = 120.0";
    ASSERT_NE(edited.find(number), std::string::npos);
    edited.replace(edited.find(number), number.size(), row.edit);
    // As a browser sends it: CRLF line ends and no-break spaces for spaces.
    std::string sent;
    for (const char c : edited) {
      sent += c == '\n' ? "\r\n" : c == ' ' ? "\xC2\xA0" : std::string(1, c);
    }
    EXPECT_EQ(session_->handle("code", {{"text", sent}}).at("answer"), row.answer);
    EXPECT_EQ(
        store::loadEffect(effect_)->cell(0)->limitedValue(store::CellProperty::birthRate)->value,
        row.birthRate);
    if (row.answer == "valid") {
      ASSERT_TRUE(changed("undo", json::object()));
      waitForSnippet();
    }
  }
}

TEST_F(PlaygroundSessionTest, AnEffectInMemoryIsSavedWithItsTexturesUnderAPlainName) {
  struct Row {
    std::string name;
    int status;
  };
  open(std::nullopt);
  platform::writeFileAtomically(folder_ / "taken.json", "{}");
  fs::create_directory(folder_ / "folder.json");
  fs::create_symlink("/tmp/elsewhere.json", folder_ / "link.json");
  const Row rows[] = {
      {"", 400},           {"../fire.json", 400}, {"sub/fire.json", 400},
      {".fire.json", 400}, {"fire.txt", 400},     {"fire\n.json", 400},
      {"taken.json", 409}, {"folder.json", 409},  {"link.json", 409},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(refusal("save", {{"name", row.name}}), row.status) << row.name;
  }

  EXPECT_EQ(session_->importTexture({{"cell", 0}}, "glow.png", kPng).at("file"), "glow.png");
  EXPECT_FALSE(fs::exists(folder_ / "glow.png")) << "kept in memory until the effect is saved";
  EXPECT_EQ(session_->exportTexture({{"cell", 0}}).bytes, kPng);

  EXPECT_EQ(session_->handle("save", {{"name", "taken.json"}, {"overwrite", true}}).at("file"),
            "taken.json");
  EXPECT_EQ(readWholeFile(folder_ / "glow.png"), kPng);
  EXPECT_EQ(store::loadEffect(folder_ / "taken.json")->cell(0)->contentUrl->absoluteString(),
            "glow.png");
  EXPECT_EQ(session_->exportTexture({{"cell", 0}}).bytes, kPng);
}

}  // namespace
}  // namespace tessary::tool
