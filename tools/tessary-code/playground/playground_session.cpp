#include "playground_session.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "tessary/code_editor/code_importer.h"
#include "tessary/code_editor/snippet_line_ends.h"
#include "tessary/platform/atomic_file.h"
#include "tessary/platform/html_renderer.h"
#include "tessary/store/effect_file.h"
#include "tessary/store/property_table.h"
#include "texture_files.h"

namespace tessary::tool {

namespace {

using code_editor::CodeAnalysisResult;
using code_editor::CodePlatform;
using json = nlohmann::json;
using store::AnyKeyPath;
using store::DataUpdateSource;

constexpr double kTextSize = 13.0;
// Saving reads, patches and checks the whole effect file, so a burst of changes (a drag, typing,
// a held key) is saved once when it pauses rather than on every step.
constexpr std::chrono::milliseconds kSaveDelay{400};
constexpr std::chrono::milliseconds kTypingPause{1000};

using store::PropertyTable;

bool isLayerRow(const PropertyTable::Row& row) {
  return row.path.layerProperty().has_value();
}

// The numbers of the layer (or of a cell), in the table's order.
std::vector<const PropertyTable::Row*> numberRows(bool layer) {
  std::vector<const PropertyTable::Row*> rows;
  for (const PropertyTable::Row& row : PropertyTable::rows()) {
    if (row.kind == PropertyTable::Kind::number && isLayerRow(row) == layer) rows.push_back(&row);
  }
  return rows;
}

const std::vector<const PropertyTable::Row*>& layerNumberRows() {
  static const std::vector<const PropertyTable::Row*> kRows = numberRows(true);
  return kRows;
}

const std::vector<const PropertyTable::Row*>& cellNumberRows() {
  static const std::vector<const PropertyTable::Row*> kRows = numberRows(false);
  return kRows;
}

// The row of the layer's (or a cell's) property the page names `name`; none for another name.
const PropertyTable::Row* propertyNamed(std::string_view name, bool layer) {
  for (const PropertyTable::Row& row : PropertyTable::rows()) {
    if (row.name == name && isLayerRow(row) == layer) return &row;
  }
  return nullptr;
}

// What kind of control the page makes for a property; none for the lists of cells, which have
// controls of their own.
std::optional<std::string_view> controlKind(PropertyTable::Kind kind) {
  switch (kind) {
    case PropertyTable::Kind::number:
      return "number";
    case PropertyTable::Kind::color:
      return "color";
    case PropertyTable::Kind::text:
      return "text";
    case PropertyTable::Kind::texture:
      return "texture";
    case PropertyTable::Kind::emitterShape:
    case PropertyTable::Kind::emitterMode:
    case PropertyTable::Kind::renderMode:
      return "choice";
    case PropertyTable::Kind::cellList:
      break;
  }
  return std::nullopt;
}

// The controls of the layer and of a cell, as the page builds them: each property's key, label,
// heading and kind; a number's fraction digits and slider bounds; whether only sub-cells show it.
const json& propertiesJson() {
  static const json kProperties = [] {
    json properties{{"layer", json::array()}, {"cell", json::array()}};
    for (const PropertyTable::Row& row : PropertyTable::rows()) {
      const auto kind = controlKind(row.kind);
      if (!kind) continue;
      json property{{"key", row.name},
                    {"kind", *kind},
                    {"label", row.label},
                    {"group", row.group},
                    {"subcellOnly", row.subcellOnly}};
      if (row.kind == PropertyTable::Kind::number) {
        property["digits"] = row.digits;
        property["min"] = row.defaults.min;
        property["max"] = row.defaults.max;
      }
      properties[isLayerRow(row) ? "layer" : "cell"].push_back(std::move(property));
    }
    return properties;
  }();
  return kProperties;
}

// Compact JSON; text that is not UTF-8 is shown with replacement characters.
std::string jsonText(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

json choiceNames(const auto& values, auto name) {
  json names = json::array();
  for (const auto value : values) names.push_back(std::string(name(value)));
  return names;
}

json colorJson(const platform::Color& color) {
  return {{"red", color.red}, {"green", color.green}, {"blue", color.blue}, {"alpha", color.alpha}};
}

// The slider bounds of a number: those the effect keeps, or for a position or size in the view,
// the view's width or height (widened to take in a value beyond it).
store::LimitedValue sliderBounds(const PropertyTable::Row& row, const store::LimitedValue& value,
                                 const store::LayerConfig& layer) {
  if (row.viewExtent == nullptr) return value;
  return {value.value, std::min(0.0, value.value),
          std::max((layer.*row.viewExtent).value, value.value)};
}

// The numbers of the layer or a cell: each value and its slider bounds as the store keeps them
// (the preview draws with these) and, for a number the platform's snippet shows mirrored, also as
// that snippet shows them ("shown"), so that the controls read what the code says.
json numbersJson(const std::vector<const PropertyTable::Row*>& rows, const auto& owner,
                 CodePlatform platform, const store::LayerConfig& layer) {
  json numbers = json::object();
  for (const PropertyTable::Row* row : rows) {
    const store::LimitedValue value = sliderBounds(*row, *owner.limitedValue(row->path), layer);
    json number{{"value", value.value}, {"min", value.min}, {"max", value.max}};
    if (platform.getPlatformSign(row->path) != 1.0) {
      const auto shown = [&](double stored) { return platform.get(stored, row->path, layer); };
      const double fromMin = shown(value.min);
      const double fromMax = shown(value.max);
      number["shown"] = {{"value", shown(value.value)},
                         {"min", std::min(fromMin, fromMax)},
                         {"max", std::max(fromMin, fromMax)}};
    }
    numbers[row->name] = std::move(number);
  }
  return numbers;
}

json textureJson(const store::CellConfig& cell) {
  if (cell.contentUrl) return {{"kind", "file"}, {"file", cell.contentUrl->absoluteString()}};
  if (cell.contentsUrl && cell.contentsUrl->absoluteString() == "None") return {{"kind", "none"}};
  return {{"kind", "builtIn"}};
}

json cellJson(const store::CellConfig& cell, CodePlatform platform,
              const store::LayerConfig& layer) {
  json subcells = json::array();
  for (const auto& subcell : cell.subcells) subcells.push_back(cellJson(*subcell, platform, layer));
  return {{"index", cell.index},
          {"subindex", cell.subindex ? json(*cell.subindex) : json(nullptr)},
          {"name", cell.name},
          {"texture", textureJson(cell)},
          {"numbers", numbersJson(cellNumberRows(), cell, platform, layer)},
          {"color", colorJson(cell.color())},
          {"subcells", std::move(subcells)}};
}

double finiteNumber(const json& value, std::string_view what) {
  if (!value.is_number()) throw RequestError(400, std::string(what) + " must be a number");
  const double number = value.get<double>();
  if (!std::isfinite(number)) throw RequestError(400, std::string(what) + " must be finite");
  return number;
}

// A cell's index as the page sends it. One beyond int's range names no cell rather than wrapping
// round to one that exists.
int cellIndex(const json& value) {
  if (!value.is_number_integer()) throw RequestError(400, "a cell is named by whole numbers");
  const bool fits = value.is_number_unsigned()
                        ? value.get<std::uint64_t>() <= std::numeric_limits<int>::max()
                        : std::in_range<int>(value.get<std::int64_t>());
  if (!fits) throw RequestError(404, "no such cell");
  return value.get<int>();
}

const json& member(const json& arguments, const char* name) {
  if (!arguments.is_object() || !arguments.contains(name)) {
    throw RequestError(400, std::string("missing \"") + name + "\"");
  }
  return arguments.at(name);
}

// A version, a line number or a number of lines as an edit gives it.
std::uint64_t count(const json& value, const char* what) {
  const bool whole =
      value.is_number_unsigned() || (value.is_number_integer() && value.get<std::int64_t>() >= 0);
  if (!whole) throw RequestError(400, std::string(what) + " are counted in whole numbers");
  return value.get<std::uint64_t>();
}

std::string stringMember(const json& arguments, const char* name) {
  const json& value = member(arguments, name);
  if (!value.is_string()) throw RequestError(400, std::string("\"") + name + "\" must be text");
  return value.get<std::string>();
}

bool flag(const json& arguments, const char* name) {
  return arguments.is_object() && arguments.contains(name) && arguments.at(name).is_boolean() &&
         arguments.at(name).get<bool>();
}

platform::Color colorValue(const json& value) {
  if (!value.is_object()) throw RequestError(400, "a colour has red, green, blue and alpha");
  return {finiteNumber(member(value, "red"), "red"), finiteNumber(member(value, "green"), "green"),
          finiteNumber(member(value, "blue"), "blue"),
          finiteNumber(member(value, "alpha"), "alpha")};
}

std::optional<std::string> effectFileNameProblem(std::string_view name) {
  if (name.empty() || name.size() > 255) return "the file name must have 1 to 255 bytes";
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return "the file name holds a control character";
    if (c == '/' || c == '\\' || c == ':') return "the file name must not name a folder";
  }
  if (name.front() == '.') return "the file name must not begin with a dot";
  if (!name.ends_with(".json")) return "the file name must end in .json";
  return std::nullopt;
}

// A path inside the effect's folder that may be written or read: not a link that could lead out
// of it, and not a folder or device.
void checkPlainFile(const std::filesystem::path& path) {
  std::error_code error;
  const auto status = std::filesystem::symlink_status(path, error);
  if (error || status.type() == std::filesystem::file_type::not_found) return;
  if (status.type() != std::filesystem::file_type::regular) {
    throw RequestError(409, "\"" + path.filename().string() + "\" is not a plain file");
  }
}

}  // namespace

PlaygroundSession::PlaygroundSession(store::LayerConfigRef layer,
                                     std::optional<std::filesystem::path> effectPath,
                                     std::filesystem::path saveFolder, CodePlatform platform,
                                     EventHub& events)
    : store_(std::move(layer)),
      builder_(kTextSize, platform::DispatchQueue("tessary.playground.cache")),
      analyzer_(platform::DispatchQueue("tessary.playground.history")),
      platform_(platform),
      effectPath_(effectPath ? std::optional(std::filesystem::absolute(*effectPath))
                             : std::nullopt),
      saveFolder_(std::move(saveFolder)),
      events_(events) {
  store_.addObserver([this](const store::StoreChange& change) {
    changed_ = true;
    lastChangedKeypath_ = change.keypath;
    undoHistory_.record(change);
    if (change.cellIdx) changedCells_.insert(*change.cellIdx);
  });
  store_.addStructureObserver([this](const store::StructureChange& change) {
    changed_ = true;
    undoHistory_.record(change);
    using Kind = store::StructureChange::Kind;
    if (change.kind == Kind::cellAdded || change.kind == Kind::cellRemoved ||
        change.kind == Kind::layerReplaced) {
      cellsRestructured_ = true;
    } else if (change.cellIdx) {
      changedCells_.insert(*change.cellIdx);
    }
  });
}

void PlaygroundSession::start() {
  publishState();
  requestBuild(std::nullopt);
}

json PlaygroundSession::handle(std::string_view action, const json& arguments) {
  if (action != "code") endTyping();
  if (action == "set") return setValue(arguments);
  if (action == "code") return analyzeCode(arguments);
  if (action == "gesture") return gesture(arguments);
  if (action == "undo") return undoOrRedo(true);
  if (action == "redo") return undoOrRedo(false);
  if (action == "save") return save(arguments);
  if (action == "importCode") return importCode(arguments);
  if (action == "choice") {
    const std::string key = stringMember(arguments, "key");
    const std::string value = stringMember(arguments, "value");
    bool known = false;
    const bool changed = applyChange([&] {
      if (key == "emitterShape") {
        if (const auto shape = store::emitterShapeNamed(value)) {
          known = true;
          store_.setEmitterShape(*shape, DataUpdateSource::control);
        }
      } else if (key == "emitterMode") {
        if (const auto mode = store::emitterModeNamed(value)) {
          known = true;
          store_.setEmitterMode(*mode, DataUpdateSource::control);
        }
      } else if (key == "renderMode") {
        if (const auto mode = store::renderModeNamed(value)) {
          known = true;
          store_.setRenderMode(*mode, DataUpdateSource::control);
        }
      }
    });
    if (!known) throw RequestError(400, "unknown choice");
    return {{"changed", changed}};
  }
  if (action == "name") {
    const CellAddress cell = cellAddress(arguments);
    std::string name = stringMember(arguments, "value");
    return {{"changed", applyChange([&] {
               store_.setCellName(cell.cellIdx, cell.subcellIdx, std::move(name),
                                  DataUpdateSource::textField);
             })}};
  }
  if (action == "texture") {
    const CellAddress cell = cellAddress(arguments);
    const std::string kind = stringMember(arguments, "kind");
    if (kind != "builtIn" && kind != "none") throw RequestError(400, "unknown texture kind");
    return {{"changed", applyChange([&] {
               if (kind == "builtIn") {
                 store_.setCellBuiltInTexture(cell.cellIdx, cell.subcellIdx,
                                              DataUpdateSource::control);
               } else {
                 store_.setCellTexture(cell.cellIdx, cell.subcellIdx, std::nullopt,
                                       DataUpdateSource::control);
               }
             })}};
  }
  if (action == "addCell") {
    const json parent = arguments.is_object() && arguments.contains("parent")
                            ? arguments.at("parent")
                            : json(nullptr);
    const std::optional<int> parentIdx =
        parent.is_null() ? std::nullopt : std::optional(cellIndex(parent));
    if (parentIdx && !store_.layer()->cell(*parentIdx)) throw RequestError(404, "no such cell");
    return {{"changed", applyChange([&] {
               auto cell = std::make_shared<store::CellConfig>();
               cell->name = parentIdx ? "sparks" : "particles";
               if (parentIdx) {
                 store_.addSubcell(*parentIdx, std::move(cell), DataUpdateSource::control);
               } else {
                 store_.addCell(std::move(cell), DataUpdateSource::control);
               }
             })}};
  }
  if (action == "removeCell") {
    const CellAddress cell = cellAddress(arguments);
    return {{"changed", applyChange([&] {
               store_.removeCell(cell.cellIdx, cell.subcellIdx, DataUpdateSource::control);
             })}};
  }
  if (action == "platform") {
    const auto platform = CodePlatform::fromRawValue(stringMember(arguments, "platform"));
    if (!platform) throw RequestError(400, "the platform is macOS or iOS");
    platform_ = *platform;
    cellsRestructured_ = true;
    publishState();
    requestBuild(std::nullopt);
    return {{"changed", true}};
  }
  if (action == "textSize") {
    const bool larger = flag(arguments, "larger");
    if (!larger && builder_.isMinTextSize()) {
      throw RequestError(409, "the text is at its smallest size");
    }
    builder_.textSizeIncreased(larger, &textStorage_);
    publishState();
    requestBuild(std::nullopt);
    return {{"changed", true}};
  }
  throw RequestError(404, "unknown action");
}

json PlaygroundSession::setValue(const json& arguments) {
  const std::string key = stringMember(arguments, "key");
  const bool isLayer = !arguments.contains("cell");
  CellAddress cell{0, std::nullopt};
  if (!isLayer) cell = cellAddress(arguments);
  const json& value = member(arguments, "value");
  const DataUpdateSource source = DataUpdateSource::control;

  const PropertyTable::Row* row = propertyNamed(key, isLayer);
  if (!row ||
      (row->kind != PropertyTable::Kind::number && row->kind != PropertyTable::Kind::color)) {
    throw RequestError(400, "unknown property");
  }
  // A number comes as the controls show it, which is as the platform's snippet shows it.
  const store::StoreValue to =
      row->kind == PropertyTable::Kind::color
          ? store::StoreValue(colorValue(value))
          : store::StoreValue(platform_.get(finiteNumber(value, key), row->path, *store_.layer()));
  return {{"changed", applyChange([&] {
             if (isLayer) {
               store_.updateLayer(row->path, to, {}, source);
             } else {
               store_.updateCell(row->path, cell.cellIdx, cell.subcellIdx, to, {}, source);
             }
           })}};
}

json PlaygroundSession::analyzeCode(const json& arguments) {
  const std::uint64_t base = count(member(arguments, "base"), "versions");
  const json& lines = member(arguments, "lines");
  if (!lines.is_array()) throw RequestError(400, "an edit gives its lines as a list");
  LiveSnippet::Hunk linesEdited{.start = count(member(arguments, "start"), "lines"),
                                .removed = count(member(arguments, "removed"), "lines"),
                                .lines = {}};
  for (const json& line : lines) {
    if (!line.is_string()) throw RequestError(400, "an edited line is text");
    linesEdited.lines.push_back(line.get<std::string>());
  }
  if (!snippet_.knows(base)) {
    throw RequestError(412, "the code has changed since; the edit is sent again");
  }
  const std::optional<std::string> edited = snippet_.editedText(base, linesEdited);
  if (!edited) throw RequestError(400, "the edit lies outside the code");
  const std::string text =
      code_editor::snippetLineEnds(*edited, code_editor::NoBreakSpaces::asSpaces);
  // Typing a character and taking it back again asks for nothing, and leaves a text as built.
  if (text == snippet_.text()) {
    lastTypedTextValid_ = true;
    return {{"answer", "unchanged"}};
  }
  CodeAnalysisResult answer = CodeAnalysisResult::invalid;
  if (!dragging_) {
    typing_ = true;
    const std::uint64_t edit = ++typedEdits_;
    std::weak_ptr<PlaygroundSession> weak = weak_from_this();
    platform::DispatchQueue::main().asyncAfter(kTypingPause, [weak, edit] {
      if (const auto self = weak.lock()) self->typingPaused(edit);
    });
  }
  applyChange([&] { answer = analyzer_.analyzeString(text, textStorage_, store_, platform_); });
  lastTypedTextValid_ = answer == CodeAnalysisResult::valid;
  return {{"answer", std::string(code_editor::toString(answer))}};
}

json PlaygroundSession::gesture(const json& arguments) {
  const std::string phase = stringMember(arguments, "phase");
  if (phase == "begin") {
    dragging_ = true;
    return {{"changed", false}};
  }
  if (phase != "end") throw RequestError(400, "a gesture begins or ends");
  if (!dragging_) return {{"changed", false}};
  dragging_ = false;
  const bool changed = undoHistory_.commit();
  flushPendingSave();
  if (changed) publishState();
  // The lines drawn in the changed look while dragging get their colours back.
  requestBuild(std::nullopt);
  return {{"changed", changed}};
}

json PlaygroundSession::undoOrRedo(bool undo) {
  if (dragging_) gesture({{"phase", "end"}});
  const bool changed = undo ? undoHistory_.undo(store_) : undoHistory_.redo(store_);
  if (!changed) return {{"changed", false}};
  saveNow();
  publishState();
  requestBuild(std::nullopt);
  return {{"changed", true}};
}

// Source code that sets up an emitter layer, pasted or dropped into the page: its effect replaces
// the current one as one step of the undo history; the answer holds the import's report. Images
// it names are found in the effect's folder.
json PlaygroundSession::importCode(const json& arguments) {
  const std::string source = stringMember(arguments, "source");
  code_editor::CodeImporter::Options options;
  const std::optional<std::filesystem::path> folder = effectFolder();
  options.findImage = [&folder](std::string_view name) -> std::optional<std::string> {
    if (!folder) return std::nullopt;
    return code_editor::CodeImporter::imageFile(name, {*folder}, *folder);
  };
  const code_editor::ImportResult result = code_editor::CodeImporter::importSource(source, options);
  if (!result.effect) return {{"changed", false}, {"imported", false}, {"report", result.failure}};
  if (dragging_) gesture({{"phase", "end"}});
  const bool changed =
      applyChange([&] { store_.replaceLayer(*result.effect, DataUpdateSource::file); });
  return {{"changed", changed},
          {"imported", true},
          {"report", result.summary() + "\n" + result.report("source")}};
}

json PlaygroundSession::save(const json& arguments) {
  if (effectPath_) {
    saveNow();
    return {{"file", effectPath_->filename().string()}};
  }
  const std::string name = stringMember(arguments, "name");
  if (const auto problem = effectFileNameProblem(name)) throw RequestError(400, *problem);
  const std::filesystem::path path = saveFolder_ / name;
  checkPlainFile(path);
  if (std::filesystem::exists(path) && !flag(arguments, "overwrite")) {
    throw RequestError(409, "\"" + name + "\" exists already");
  }
  for (const auto& [fileName, bytes] : unsavedTextures_) {
    checkPlainFile(saveFolder_ / fileName);
  }
  try {
    store::EffectFile::save(*store_.layer(), path);
    for (const auto& [fileName, bytes] : unsavedTextures_) {
      platform::writeFileAtomically(saveFolder_ / fileName, bytes);
    }
  } catch (const std::exception& error) {
    throw RequestError(500, error.what());
  }
  unsavedTextures_.clear();
  effectPath_ = std::filesystem::absolute(path);
  savePending_ = false;
  publishState();
  return {{"file", name}};
}

json PlaygroundSession::importTexture(const json& cellReference, const std::string& fileName,
                                      std::string bytes) {
  endTyping();
  const CellAddress cell = cellAddress(cellReference);
  if (const auto problem = textureFileNameProblem(fileName)) throw RequestError(400, *problem);
  if (!looksLikeTexture(fileName, bytes)) {
    throw RequestError(415, "the file's contents are not an image of its type");
  }
  if (const auto folder = effectFolder()) {
    const std::filesystem::path path = *folder / fileName;
    checkPlainFile(path);
    try {
      platform::writeFileAtomically(path, bytes);
    } catch (const platform::FileError& error) {
      throw RequestError(500, error.what());
    }
  } else {
    unsavedTextures_[fileName] = std::move(bytes);
  }
  applyChange([&] {
    store_.setCellTexture(cell.cellIdx, cell.subcellIdx, platform::URL(fileName),
                          DataUpdateSource::control);
  });
  return {{"file", fileName}};
}

PlaygroundSession::TextureFile PlaygroundSession::exportTexture(const json& cellReference) const {
  const CellAddress address = cellAddress(cellReference);
  const store::CellConfigRef cell = store_.layer()->cell(address.cellIdx, address.subcellIdx);
  if (!cell->contentUrl) throw RequestError(404, "the cell has no texture file");
  const std::string fileName = cell->contentUrl->absoluteString();
  if (textureFileNameProblem(fileName)) {
    throw RequestError(404, "the texture is not an image file in the effect's folder");
  }
  if (const auto kept = unsavedTextures_.find(fileName); kept != unsavedTextures_.end()) {
    return {fileName, kept->second};
  }
  const auto folder = effectFolder();
  if (!folder) throw RequestError(404, "the texture file has not been imported");
  const std::filesystem::path path = *folder / fileName;
  checkPlainFile(path);
  try {
    return {fileName, platform::readWholeFile(path)};
  } catch (const platform::FileError&) {
    throw RequestError(404, "the texture file \"" + fileName + "\" cannot be read");
  }
}

void PlaygroundSession::flushPendingSave() {
  endTyping();
  if (savePending_) saveNow();
}

void PlaygroundSession::typingPaused(std::uint64_t edit) {
  if (edit == typedEdits_ && lastTypedTextValid_) endTyping();
}

void PlaygroundSession::endTyping() {
  if (!typing_) return;
  typing_ = false;
  const bool changed = undoHistory_.commit();
  if (savePending_) saveNow();
  if (changed) publishState();
}

template <typename Change>
bool PlaygroundSession::applyChange(Change&& change) {
  changed_ = false;
  lastChangedKeypath_.reset();
  change();
  if (!changed_) return false;
  if (dragging_) {
    scheduleSave();
    requestBuild(lastChangedKeypath_);
  } else if (typing_) {
    savePending_ = effectPath_.has_value();
    requestBuild(std::nullopt);
  } else {
    undoHistory_.commit();
    scheduleSave();
    requestBuild(std::nullopt);
  }
  publishState();
  return true;
}

PlaygroundSession::CellAddress PlaygroundSession::cellAddress(const json& reference) const {
  const int cellIdx = cellIndex(member(reference, "cell"));
  const json sub = reference.contains("sub") ? reference.at("sub") : json(nullptr);
  const std::optional<int> subcellIdx =
      sub.is_null() ? std::nullopt : std::optional(cellIndex(sub));
  if (!store_.layer()->cell(cellIdx, subcellIdx)) throw RequestError(404, "no such cell");
  return {cellIdx, subcellIdx};
}

void PlaygroundSession::requestBuild(std::optional<AnyKeyPath> changedKeypath) {
  const std::uint64_t sequence = ++buildsRequested_;
  std::weak_ptr<PlaygroundSession> weak = weak_from_this();
  builder_.buildAsync(changedKeypath, *store_.layer(), platform_,
                      [weak, sequence](const code_editor::BuildResult& result) {
                        if (const auto self = weak.lock()) self->takeBuild(result, sequence);
                      });
}

void PlaygroundSession::takeBuild(const code_editor::BuildResult& result, std::uint64_t sequence) {
  // Builds run side by side and may finish out of order: an older one must not replace a newer.
  if (sequence < buildShown_) return;
  buildShown_ = sequence;
  // The pages first: the analyzer's records are wanted only by the next edit, which comes after.
  const auto patch = snippet_.update(platform::HtmlRenderer().renderLines(*result.text, looks_),
                                     result.text->string(), platform_.rawValue());
  if (patch) events_.publish("snippet", jsonText(*patch));
  builder_.cache = result.cache;
  analyzer_.setHistory(result.newHistroy);
  textStorage_.setAttributedString(*result.text);
}

void PlaygroundSession::publishState() {
  const store::LayerConfig& layer = *store_.layer();
  json state{{"file", effectPath_ ? json(effectPath_->filename().string()) : json(nullptr)},
             {"platform", std::string(platform_.rawValue())},
             {"textSize", builder_.textSize()},
             {"isMinTextSize", builder_.isMinTextSize()},
             {"canUndo", undoHistory_.canUndo()},
             {"canRedo", undoHistory_.canRedo()},
             {"layer",
              {{"numbers", numbersJson(layerNumberRows(), layer, platform_, layer)},
               {"background", colorJson(layer.background())},
               {"emitterShape", std::string(store::rawValue(layer.emitterShape))},
               {"emitterMode", std::string(store::rawValue(layer.emitterMode))},
               {"renderMode", std::string(store::description(layer.renderMode))}}},
             {"properties", propertiesJson()},
             {"choices",
              {{"emitterShape", choiceNames(store::allEmitterShapes,
                                            [](auto value) { return store::rawValue(value); })},
               {"emitterMode", choiceNames(store::allEmitterModes,
                                           [](auto value) { return store::rawValue(value); })},
               {"renderMode", choiceNames(store::allRenderModes,
                                          [](auto value) { return store::description(value); })}}}};
  // Pages are sent what changed, as a JSON patch; only the cells a change touched are made again.
  json patch = json::diff(stateWithoutCells_, state);
  stateWithoutCells_ = std::move(state);
  const auto patchCell = [&](std::size_t index, json cell) {
    for (json& operation : json::diff(cells_[index], cell)) {
      operation["path"] = "/cells/" + std::to_string(index) + operation["path"].get<std::string>();
      patch.push_back(std::move(operation));
    }
    cells_[index] = std::move(cell);
  };
  if (cellsRestructured_ || cells_.size() != layer.cells.size()) {
    json cells = json::array();
    for (const auto& cell : layer.cells) cells.push_back(cellJson(*cell, platform_, layer));
    if (cells.size() == cells_.size()) {
      for (std::size_t i = 0; i < cells.size(); ++i) {
        if (cells[i] != cells_[i]) patchCell(i, std::move(cells[i]));
      }
    } else {
      patch.push_back({{"op", "add"}, {"path", "/cells"}, {"value", cells}});
      cells_ = std::move(cells);
    }
  } else {
    for (const int index : changedCells_) {
      const auto at = static_cast<std::size_t>(index);
      if (at < cells_.size()) patchCell(at, cellJson(*layer.cells[at], platform_, layer));
    }
  }
  cellsRestructured_ = false;
  changedCells_.clear();
  if (patch.empty()) return;
  events_.publish("state", jsonText({{"from", stateVersion_},
                                     {"version", ++stateVersion_},
                                     {"patch", std::move(patch)}}));
}

std::string PlaygroundSession::pageSnapshot() const {
  // Written piece by piece: the whole state made as one JSON value would copy every cell.
  std::string state = jsonText(stateWithoutCells_);
  if (stateWithoutCells_.is_object() && !stateWithoutCells_.empty()) {
    state.pop_back();
    state += ",\"cells\":" + jsonText(cells_) + "}";
  }
  std::string events = EventHub::message(
      "state", "{\"version\":" + std::to_string(stateVersion_) + ",\"state\":" + state + "}");
  events += EventHub::message("snippet", snippet_.snapshot());
  return events;
}

void PlaygroundSession::saveNow() {
  savePending_ = false;
  if (!effectPath_) return;
  try {
    store::EffectFile::save(*store_.layer(), *effectPath_);
  } catch (const std::exception& error) {
    notice(error.what());
  }
}

void PlaygroundSession::scheduleSave() {
  if (!effectPath_ || savePending_) return;
  savePending_ = true;
  std::weak_ptr<PlaygroundSession> weak = weak_from_this();
  platform::DispatchQueue::main().asyncAfter(kSaveDelay, [weak] {
    if (const auto self = weak.lock()) self->flushPendingSave();
  });
}

void PlaygroundSession::notice(const std::string& message) {
  events_.publish("notice", jsonText({{"message", message}}));
}

std::optional<std::filesystem::path> PlaygroundSession::effectFolder() const {
  if (!effectPath_) return std::nullopt;
  return effectPath_->parent_path();
}

}  // namespace tessary::tool
