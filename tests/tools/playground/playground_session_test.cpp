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
#include <sstream>
#include <string>
#include <vector>

#include "support/generated_effects.h"
#include "support/golden_file.h"
#include "support/program_run.h"
#include "support/test_seed.h"
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
    hub_.catchUp(*page_);
    session_ = std::make_shared<PlaygroundSession>(store::loadEffect(path), path, folder_,
                                                   CodePlatform::macOS, hub_);
    session_->start();
    waitForSnippet();
  }

  // Takes the changes the pages were sent, keeping the state they make and the snippet's
  // version; true when the snippet changed.
  bool readEvents() {
    bool snippet = false;
    while (const auto message = hub_.next(*page_, std::chrono::milliseconds(0))) {
      const json data = json::parse(message->substr(message->find("data: ") + 6));
      if (message->starts_with("event: state")) state_ = state_.patch(data.at("patch"));
      if (message->starts_with("event: snippet")) {
        snippet = true;
        version_ = data.at("version");
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
  std::uint64_t version_ = 0;
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
        session_->flushPendingSave();
        const std::string file = readWholeFile(effect_);
        if (request[0] == "gesture") dragging = arguments.value("phase", "") == "begin";
        if (dragging) return result;
        const bool madeAChange = result.starts_with(R"({"changed":true)");
        if (!madeAChange) {
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

// Every number and colour the controls list, then random changes of every kind the page makes,
// drags among them, are shown as set and are all taken back by undo, to the last bound and byte
// of the effect written anew, and all made again by redo. (The saved file keeps the layout it was
// given: a number once written with its bounds keeps that form.)
TEST_F(PlaygroundSessionTest, UndoingEveryChangeGivesBackTheFileAndRedoingGivesTheLast) {
  open(true);
  const auto effect = [&] {
    session_->flushPendingSave();  // changes are saved once they pause
    return store::EffectFile::serialize(*store::loadEffect(effect_));
  };
  const std::string first = effect();
  testing::SeededRandom random;
  const auto pick = [&](std::size_t count) {
    return std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
  };
  const auto number = [&] { return std::uniform_real_distribution(-600.0, 600.0)(random); };
  const auto anyCell = [&] {
    readEvents();
    const json& cells = state_.at("cells");
    if (cells.empty()) return json{{"cell", 0}};
    const std::size_t cell = pick(cells.size());
    const std::size_t sub = pick(cells[cell].at("subcells").size() + 1);
    return sub == 0 ? json{{"cell", cell}} : json{{"cell", cell}, {"sub", sub - 1}};
  };
  // A value for the number or colour control `row`, of the layer or of the cell `arguments` names.
  const auto valueFor = [&](json arguments, const json& row) {
    const double green = std::uniform_real_distribution(0.0, 1.0)(random);
    arguments["key"] = row.at("key");
    arguments["value"] = row.at("kind") == "number"
                             ? json(number())
                             : json{{"red", 0.5}, {"green", green}, {"blue", 0}, {"alpha", 1}};
    return arguments;
  };
  const auto isSettable = [](const json& row) {
    return row.at("kind") == "number" || row.at("kind") == "color";
  };
  const auto anyNumber = [&] {  // or colour
    const bool layer = pick(3) == 0;
    const json rows = state_.at("properties").at(layer ? "layer" : "cell");
    json row = rows[pick(rows.size())];
    while (!isSettable(row)) row = rows[pick(rows.size())];
    return valueFor(layer ? json::object() : anyCell(), row);
  };
  // Sets a number or colour; the controls show the value set, a number within its slider's
  // bounds, and on macOS a mirrored one as the snippet shows it.
  const auto set = [&](const json& arguments) {
    if (answer("set", arguments) != R"({"changed":true})") return;
    readEvents();
    const auto at = [&](const char* name) { return arguments.at(name).get<std::size_t>(); };
    const json& cell =
        arguments.contains("cell") ? state_.at("cells").at(at("cell")) : state_.at("layer");
    const json& owner = arguments.contains("sub") ? cell.at("subcells").at(at("sub")) : cell;
    const std::string key = arguments.at("key");
    if (!owner.at("numbers").contains(key)) {
      EXPECT_EQ(owner.at(key), arguments.at("value"));
      return;
    }
    const json& all = owner.at("numbers").at(key);
    const json& shown = all.contains("shown") ? all.at("shown") : all;
    EXPECT_NEAR(shown.at("value").get<double>(), arguments.at("value").get<double>(), 1e-9) << key;
    EXPECT_TRUE(shown.at("min") <= shown.at("value") && shown.at("value") <= shown.at("max"))
        << key << shown;
  };
  for (const auto& [scope, owner] :
       {std::pair{"layer", json::object()}, {"cell", json{{"cell", 0}, {"sub", 0}}}}) {
    for (const json& row : json(state_.at("properties").at(scope))) {
      if (isSettable(row)) set(valueFor(owner, row));
    }
  }
  for (int change = 0; change < 80; ++change) {
    json arguments = anyCell();
    switch (pick(7)) {
      case 0: {
        const json& choices = state_.at("choices");
        const std::string key = std::vector{"emitterShape", "emitterMode", "renderMode"}[pick(3)];
        answer("choice", {{"key", key}, {"value", choices.at(key)[pick(choices.at(key).size())]}});
        break;
      }
      case 1:
        arguments["value"] = testing::hostileNames()[pick(testing::hostileNames().size())];
        answer("name", arguments);
        break;
      case 2:
        arguments["kind"] = pick(2) == 0 ? "builtIn" : "none";
        answer("texture", arguments);
        answer([&] { return session_->importTexture(arguments, "glow.png", kPng); });
        break;
      case 3:
        answer("addCell", pick(2) == 0 ? json::object() : json{{"parent", arguments.at("cell")}});
        break;
      case 4:
        answer("removeCell", arguments);
        break;
      case 5:
        answer("gesture", {{"phase", "begin"}});
        for (arguments = anyNumber(); pick(4) != 0; arguments["value"] = number()) set(arguments);
        answer("gesture", {{"phase", "end"}});
        break;
      default:
        set(anyNumber());
    }
  }
  const std::string last = effect();
  ASSERT_NE(last, first);
  while (changed("undo", json::object())) {
  }
  EXPECT_EQ(effect(), first);
  while (changed("redo", json::object())) {
  }
  EXPECT_EQ(effect(), last);
}

// A typed edit of the snippet is read back at once; it is saved, and makes one undo step, once
// the typing pauses on a text that is understood.
TEST_F(PlaygroundSessionTest, TheSnippetEditedInAPageIsReadBackIntoTheEffect) {
  open(true);
  const std::string snippet =
      code_editor::SnippetLayout::plainText(*store::loadEffect(effect_), CodePlatform::macOS);
  const auto savedBirthRate = [&] {
    return store::loadEffect(effect_)->cell(0)->limitedValue(store::CellProperty::birthRate)->value;
  };
  for (const auto& [edit, result] :
       {std::pair{"15", "valid"}, {"many", "invalid"}, {"150", "valid"}}) {
    // As a browser sends it: CRLF line ends and no-break spaces for spaces, the whole snippet
    // as one edit of the version shown.
    std::vector<std::string> lines;
    std::istringstream text(
        testing::replacedOnce(snippet, "birthRate = 120.0", std::string("birthRate = ") + edit));
    for (std::string line; std::getline(text, line);) {
      std::string sent;
      for (const char c : line) sent += c == ' ' ? "\xC2\xA0" : std::string(1, c);
      lines.push_back(sent + "\r");
    }
    readEvents();
    const json sent{{"base", version_}, {"start", 0}, {"removed", lines.size()}, {"lines", lines}};
    EXPECT_EQ(session_->handle("code", sent).at("answer"), result);
    EXPECT_EQ(savedBirthRate(), 120) << "saved while typing";
  }
  ASSERT_TRUE(platform::DispatchQueue::main().runUntil([&] { return savedBirthRate() == 150; },
                                                       std::chrono::seconds(10)));
  ASSERT_TRUE(changed("undo", json::object()));
  EXPECT_EQ(savedBirthRate(), 120);
  EXPECT_FALSE(changed("undo", json::object()));
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
