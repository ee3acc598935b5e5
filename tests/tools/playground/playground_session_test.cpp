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
#include <string>
#include <vector>

#include "support/golden_file.h"
#include "support/program_run.h"
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
  // A session on the demo effect, saved as fire.json in the folder or else kept in memory; its
  // first build shown.
  void open(bool saved) {
    effect_ = folder_ / "fire.json";
    if (saved) platform::writeFileAtomically(effect_, store::EffectFile::demoJson());
    const auto path = saved ? std::optional(effect_) : std::nullopt;
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
      snippet = snippet || message->starts_with("event: snippet");
      if (message->starts_with("event: state")) {
        state_ = json::parse(message->substr(message->find("data: ") + 6));
      }
    }
    return snippet;
  }

  // Drains the main queue, as the program does, until the session has shown a new snippet.
  void waitForSnippet() {
    bool shown = false;
    ASSERT_TRUE(platform::DispatchQueue::main().runUntil(
        [&] { return shown = readEvents() || shown; }, std::chrono::seconds(60)));
  }

  // The answer to a request, or the status and reason it is refused with.
  std::string answer(const std::function<json()>& request) {
    try {
      return request().dump();
    } catch (const RequestError& error) {
      return std::to_string(error.status()) + " " + error.what();
    }
  }
  std::string answer(const std::string& action, const json& arguments) {
    return answer([&] { return session_->handle(action, arguments); });
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

// The requests of the case file, on the demo effect, with their answers. The effect file is
// followed through them: a change saves it (a drag when it ends), undo and redo bring back what
// each change left, and nothing else touches it.
TEST_F(PlaygroundSessionTest, RequestsAreAnsweredSavedAndUndone) {
  open(true);
  std::vector<std::string> saved{readWholeFile(effect_)};
  std::size_t at = 0;
  bool dragging = false;
  testing::expectCasesMatchGolden(
      "playground/session_requests.cases", 2, [&](const std::vector<std::string>& request) {
        const json arguments = json::parse(request[1]);
        const std::string result = answer(request[0], arguments);
        const std::string file = readWholeFile(effect_);
        if (request[0] == "gesture") dragging = arguments.value("phase", "") == "begin";
        if (dragging) return result;
        if (result != R"({"changed":true})") {
          EXPECT_EQ(file, saved.at(at)) << request[0] << request[1];
        } else if (request[0] == "undo" || request[0] == "redo") {
          at += request[0] == "undo" ? -1 : 1;
          EXPECT_EQ(file, saved.at(at)) << request[0] << " " << at;
        } else {
          EXPECT_NE(file, saved.at(at)) << request[0] << request[1] << " was not saved";
          saved.resize(++at);
          saved.push_back(file);
        }
        return result;
      });
  EXPECT_EQ(std::vector(fs::directory_iterator(folder_), fs::directory_iterator()).size(), 1u);
}

TEST_F(PlaygroundSessionTest, EveryNumberAndColourTheControlsListTakesTheValueTheySet) {
  open(true);
  const json properties = state_.at("properties");  // the state is replaced as values change
  int numbers = 0;
  for (const std::string scope : {"layer", "cell"}) {
    for (const json& property : properties.at(scope)) {
      const std::string key = property.at("key");
      const std::string kind = property.at("kind");
      EXPECT_NE(std::string(" number color text texture choice ").find(" " + kind + " "),
                std::string::npos)
          << key << ": the page makes no " << kind << " control";
      json arguments{{"key", key}};
      if (scope == "cell") arguments.update({{"cell", 0}, {"sub", 0}});
      // A number as the controls show it: on macOS the mirrored ones as the snippet shows them.
      const auto shown = [&]() -> const json& {
        readEvents();
        const json& owner =
            scope == "layer" ? state_.at("layer") : state_.at("cells").at(0).at("subcells").at(0);
        if (kind == "color") return owner.at(key);
        const json& all = owner.at("numbers").at(key);
        const json& number = all.contains("shown") ? all.at("shown") : all;
        EXPECT_TRUE(number.at("min") <= number.at("value") &&
                    number.at("value") <= number.at("max"))
            << key << " " << number;
        return number.at("value");
      };
      if (kind == "number") {
        ++numbers;
        arguments["value"] = shown().get<double>() + 0.5;
      } else if (kind == "color") {
        arguments["value"] = {{"red", 0.25}, {"green", 0.5}, {"blue", 0.75}, {"alpha", 1}};
      } else {
        continue;
      }
      EXPECT_TRUE(changed("set", arguments)) << key;
      EXPECT_EQ(shown(), arguments["value"]) << key;
    }
  }
  EXPECT_GT(numbers, 0);
}

TEST_F(PlaygroundSessionTest, TheSnippetEditedInAPageIsReadBackIntoTheEffect) {
  open(true);
  const std::string snippet =
      code_editor::SnippetLayout::plainText(*store::loadEffect(effect_), CodePlatform::macOS);
  for (const auto& [edit, result, birthRate] :
       {std::tuple{"150", "valid", 150}, {"many", "invalid", 120}}) {
    std::string sent;  // as a browser sends it: CRLF line ends and no-break spaces for spaces
    for (const char c :
         testing::replacedOnce(snippet, "birthRate = 120.0", std::string("birthRate = ") + edit)) {
      sent += c == '\n' ? "\r\n" : c == ' ' ? "\xC2\xA0" : std::string(1, c);
    }
    EXPECT_EQ(session_->handle("code", {{"text", sent}}).at("answer"), result);
    EXPECT_EQ(
        store::loadEffect(effect_)->cell(0)->limitedValue(store::CellProperty::birthRate)->value,
        birthRate);
    if (birthRate == 150) {
      ASSERT_TRUE(changed("undo", json::object()));
      waitForSnippet();
    }
  }
}

TEST_F(PlaygroundSessionTest, AnEffectInMemoryIsSavedWithItsTexturesUnderAPlainName) {
  open(false);
  platform::writeFileAtomically(folder_ / "taken.json", "{}");
  fs::create_directory(folder_ / "folder.json");
  fs::create_symlink("/tmp/elsewhere.json", folder_ / "link.json");
  const std::pair<std::string, std::string> refused[] = {
      {"", "400"},           {"../fire.json", "400"}, {"sub/fire.json", "400"},
      {".fire.json", "400"}, {"fire.txt", "400"},     {"fire\n.json", "400"},
      {"taken.json", "409"}, {"folder.json", "409"},  {"link.json", "409"}};
  for (const auto& [name, status] : refused) {
    EXPECT_EQ(answer("save", {{"name", name}}).substr(0, 3), status) << name;
  }
  for (const auto& [name, status] : {std::pair{"../glow.png", "400"}, {"glow.gif", "415"}}) {
    const auto import = [&] { return session_->importTexture({{"cell", 0}}, name, kPng); };
    EXPECT_EQ(answer(import).substr(0, 3), status) << name;
  }
  EXPECT_EQ(answer("set", {{"key", "birthRate"},
                           {"cell", 0},
                           {"value", std::numeric_limits<double>::infinity()}}),
            "400 birthRate must be finite");

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
