#include "tessary/code_editor/code_importer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <set>
#include <system_error>
#include <utility>

#include "code_editor/emitter_reader.h"
#include "tessary/code_editor/source_lexer.h"
#include "tessary/platform/well_formed_utf8.h"
#include "tessary/store/data_store.h"
#include "tessary/store/emitter_modes.h"
#include "tessary/store/property_table.h"

namespace tessary::code_editor {

namespace {

using store::PropertyTable;
using Row = PropertyTable::Row;
using NoteKind = ImportResult::Note::Kind;
using namespace import_value;

constexpr double kDefaultViewWidth = 400.0;
constexpr double kDefaultViewHeight = 300.0;
// Cells nest no deeper in an effect file.
constexpr std::size_t kMaxCellDepth = 32;

// 45 * (.pi / 180) in degrees is 45.00000000000001; twelve significant digits give 45 back.
double tidy(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.12g", value);
  const double tidied = std::strtod(text, nullptr);
  return tidied == 0.0 ? 0.0 : tidied;
}

// "redSpeed" -> "red speed", "emitterZPosition" -> "emitter z position".
std::string words(std::string_view name) {
  std::string text;
  for (const char c : name) {
    if (c >= 'A' && c <= 'Z') {
      text += ' ';
      text += static_cast<char>(c + 32);
    } else {
      text += c == '.' ? ' ' : c;
    }
  }
  return text;
}

// A statement on one line, blanks run together, cut short when long.
std::string oneLine(std::string_view text) {
  constexpr std::size_t kLongest = 100;
  std::string line;
  bool blank = false;
  // A statement may run over many lines; its beginning is enough to recognise it.
  for (const char c : text.substr(0, 4 * kLongest)) {
    const bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r';
    if (space) {
      blank = !line.empty();
      continue;
    }
    if (blank) line += ' ';
    blank = false;
    line += c;
  }
  if (line.size() > kLongest || text.size() > 4 * kLongest) {
    std::size_t cut = std::min(kLongest, line.size());
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
    line = line.substr(0, cut) + "\xe2\x80\xa6";
  }
  return line;
}

const Row* rowNamed(std::string_view swiftName, bool layer) {
  for (const Row& row : PropertyTable::rows()) {
    const bool layerRow = row.path.layerProperty().has_value();
    if (layerRow != layer || row.swiftName != swiftName) continue;
    // The view's size is the host view's, not a member of the layer.
    if (row.path == store::AnyKeyPath(store::LayerProperty::viewWidth) ||
        row.path == store::AnyKeyPath(store::LayerProperty::viewHeight)) {
      continue;
    }
    return &row;
  }
  return nullptr;
}

// The layer's multipliers of its cells' values (and their ranges), which the effect holds only
// in the cells.
struct Multiplier {
  std::string_view member;
  store::CellProperty value;
  std::optional<store::CellProperty> range;
  std::string_view what;
};

constexpr std::array<Multiplier, 5> kMultipliers{{
    {"birthRate", store::CellProperty::birthRate, std::nullopt, "birth rates"},
    {"lifetime", store::CellProperty::lifetime, store::CellProperty::lifetimeRange, "lifetimes"},
    {"velocity", store::CellProperty::velocity, store::CellProperty::velocityRange, "velocities"},
    {"scale", store::CellProperty::scale, store::CellProperty::scaleRange, "scales"},
    {"spin", store::CellProperty::spin, store::CellProperty::spinRange, "spins"},
}};

// Members of every Core Animation layer that place or clip it in its view: not part of an
// emitter's effect.
bool isPlacement(std::string_view member) {
  static constexpr std::array<std::string_view, 14> kPlacement{"frame",
                                                               "bounds",
                                                               "position",
                                                               "anchorPoint",
                                                               "masksToBounds",
                                                               "contentsScale",
                                                               "zPosition",
                                                               "name",
                                                               "delegate",
                                                               "autoresizingMask",
                                                               "needsDisplayOnBoundsChange",
                                                               "isGeometryFlipped",
                                                               "geometryFlipped",
                                                               "drawsAsynchronously"};
  return std::find(kPlacement.begin(), kPlacement.end(), member) != kPlacement.end();
}

class EffectMaker {
 public:
  EffectMaker(std::string_view source, const SourceLexer& lexer, const EmitterReader& reader,
              const CodeImporter::Options& options, CodePlatform platform, double viewWidth,
              double viewHeight, bool viewSizeGuessed)
      : source_(source),
        lexer_(lexer),
        reader_(reader),
        options_(options),
        platform_(platform),
        viewWidth_(viewWidth),
        viewHeight_(viewHeight),
        viewSizeGuessed_(viewSizeGuessed) {}

  void make(std::size_t layerId, ImportResult& result) {
    result_ = &result;
    auto layer = std::make_shared<store::LayerConfig>();
    layer->viewWidth.setValue(viewWidth_);
    layer->viewHeight.setValue(viewHeight_);
    // Core Animation's defaults for what the source leaves unset.
    layer->backgroundAlpha = 0.0;
    layer->emitterShape = store::EmitterShape::point;
    layer->emitterMode = store::EmitterMode::volume;
    layer->renderMode = store::RenderMode::unordered;
    for (store::LimitedValue* value : {&layer->emitterPositionX, &layer->emitterPositionY,
                                       &layer->emitterWidth, &layer->emitterHeight}) {
      value->setValue(0.0);
    }
    counted_.insert(layerId);
    const EmitterReader::Object& object = reader_.objects()[layerId];
    for (const auto& [member, setting] : object.settings) {
      applyLayerSetting(*layer, member, setting);
    }
    if (platform_ == CodePlatform::macOS) {
      layer->emitterPositionY.setValue(
          tidy(platform_.get(layer->emitterPositionY.value,
                             store::AnyKeyPath(store::LayerProperty::emitterPositionY), *layer)));
    }
    std::vector<std::size_t> path{layerId};
    for (const std::size_t cell : object.cells) {
      if (auto made = makeCell(cell, path)) layer->cells.push_back(made);
    }
    foldMultipliers(*layer, layerId);
    store::DataStore::renumberCells(*layer);
    result.cells = layer->cells.size();
    for (const store::CellConfigRef& cell : layer->cells) result.subcells += countCells(*cell) - 1;
    for (const EmitterReader::Note& note : reader_.notes()) {
      if (note.object == std::numeric_limits<std::size_t>::max() || counted_.count(note.object)) {
        addNote(NoteKind::notKept, note.begin, note.end, note.reason);
      }
    }
    // Every setting counts, also one that a loop makes again; its note is shown once.
    result.settings = result.settingsKept;
    for (const ImportResult::Note& note : result.notes) {
      if (note.kind == NoteKind::notKept) ++result.settings;
    }
    std::stable_sort(result.notes.begin(), result.notes.end(),
                     [](const ImportResult::Note& a, const ImportResult::Note& b) {
                       return std::pair(a.line, a.column) < std::pair(b.line, b.column);
                     });
    result.notes.erase(std::unique(result.notes.begin(), result.notes.end(),
                                   [](const ImportResult::Note& a, const ImportResult::Note& b) {
                                     return a.line == b.line && a.column == b.column &&
                                            a.reason == b.reason && a.kind == b.kind;
                                   }),
                       result.notes.end());
    result.effect = layer;
  }

 private:
  static std::size_t countCells(const store::CellConfig& cell) {
    std::size_t count = 1;
    for (const store::CellConfigRef& subcell : cell.subcells) count += countCells(*subcell);
    return count;
  }

  void addNote(NoteKind kind, std::uint32_t begin, std::uint32_t end, std::string reason) {
    const auto [line, column] = lexer_.lineAndColumn(begin);
    end = std::clamp<std::uint32_t>(end, begin, static_cast<std::uint32_t>(source_.size()));
    // Sources may hold any bytes; what the report and the effect say is well-formed UTF-8.
    result_->notes.push_back({kind, line, column,
                              platform::wellFormedUtf8(oneLine(source_.substr(begin, end - begin))),
                              platform::wellFormedUtf8(reason)});
  }

  // The setting kept; a value read from the view's geometry with a size nobody gave is kept
  // but reported, as the layer's real size is known only at run time.
  void kept(const EmitterReader::Setting& setting, const ImportValue& value) {
    if (viewSizeGuessed_ && !value.viewMember.empty()) {
      char size[64];
      std::snprintf(size, sizeof size, "%g \xc3\x97 %g", viewWidth_, viewHeight_);
      addNote(NoteKind::notKept, setting.begin, setting.end,
              "the value depends on `" + value.viewMember + "` at run time; used " + size);
      return;
    }
    ++result_->settingsKept;
  }

  void notKept(const EmitterReader::Setting& setting, const std::string& reason) {
    addNote(NoteKind::notKept, setting.begin, setting.end, reason);
  }

  static std::string whyNot(const ImportValue& value, std::string_view otherwise) {
    if (const Unknown* unknown = value.as<Unknown>()) return unknown->why;
    return std::string(otherwise);
  }

  std::optional<double> numberFor(const EmitterReader::Setting& setting, const Row& row) {
    const auto number = numberOf(setting.value);
    if (!number) {
      notKept(setting, whyNot(setting.value, "the value is not a number"));
      return std::nullopt;
    }
    double value = *number;
    if (row.angle != PropertyTable::Angle::none) value = value * 180.0 / std::numbers::pi;
    if (row.mirroredOnMacOS && row.isCellNumber() && platform_ == CodePlatform::macOS) {
      value = -value;
    }
    value = tidy(value);
    if (!std::isfinite(value)) {
      notKept(setting, "the value is not a finite number");
      return std::nullopt;
    }
    return value;
  }

  std::optional<platform::Color> colorFor(const EmitterReader::Setting& setting) {
    const auto color = colorOf(setting.value);
    if (!color) {
      notKept(setting, whyNot(setting.value, "the value is not a colour"));
      return std::nullopt;
    }
    const auto clamp = [](double c) {
      return std::isfinite(c) ? tidy(std::clamp(c, 0.0, 1.0)) : 0.0;
    };
    return platform::Color{clamp(color->red), clamp(color->green), clamp(color->blue),
                           clamp(color->alpha)};
  }

  // The constant's case name, reported when it names a value of another kind.
  template <typename Mode>
  std::optional<Mode> modeFor(const EmitterReader::Setting& setting, std::string_view kind,
                              std::optional<Mode> (*named)(std::string_view)) {
    std::string name;
    std::string spelling;
    if (const Constant* constant = setting.value.as<Constant>()) {
      name = constant->name;
      spelling = constant->spelling;
    } else if (const Text* text = setting.value.as<Text>()) {
      name = text->text;
      spelling = "\"" + text->text + "\"";
    } else {
      notKept(setting, whyNot(setting.value, "the value is not a constant"));
      return std::nullopt;
    }
    if (const auto mode = named(name)) return mode;
    std::string other;
    if (store::emitterShapeNamed(name)) other = "an emitter shape";
    if (store::emitterModeNamed(name)) other = "an emitter mode";
    if (store::renderModeNamed(name)) other = "a render mode";
    if (!other.empty()) {
      notKept(setting, "`" + spelling + "` is " + other + ", not " + std::string(kind));
    } else {
      notKept(setting, "`" + spelling + "` is not " + std::string(kind));
    }
    return std::nullopt;
  }

  void applyLayerSetting(store::LayerConfig& layer, const std::string& member,
                         const EmitterReader::Setting& setting) {
    if (member == "emitterCells") {
      kept(setting, setting.value);
      return;
    }
    if (std::any_of(kMultipliers.begin(), kMultipliers.end(),
                    [&](const Multiplier& m) { return m.member == member; })) {
      return;  // folded into the cells afterwards
    }
    const Row* row = rowNamed(member, true);
    if (row == nullptr) {
      if (!isPlacement(member)) notKept(setting, "the effect has no layer " + words(member));
      return;
    }
    switch (row->kind) {
      case PropertyTable::Kind::number:
        if (const auto value = numberFor(setting, *row)) {
          (layer.*row->layerNumber).setValue(*value);
          kept(setting, setting.value);
        }
        return;
      case PropertyTable::Kind::color:
        if (const auto color = colorFor(setting)) {
          layer.backgroundRed = color->red;
          layer.backgroundGreen = color->green;
          layer.backgroundBlue = color->blue;
          layer.backgroundAlpha = color->alpha;
          kept(setting, setting.value);
        }
        return;
      case PropertyTable::Kind::emitterShape:
        if (const auto shape = modeFor<store::EmitterShape>(setting, "an emitter shape",
                                                            &store::emitterShapeNamed)) {
          layer.emitterShape = *shape;
          kept(setting, setting.value);
        }
        return;
      case PropertyTable::Kind::emitterMode:
        if (const auto mode =
                modeFor<store::EmitterMode>(setting, "an emitter mode", &store::emitterModeNamed)) {
          layer.emitterMode = *mode;
          kept(setting, setting.value);
        }
        return;
      case PropertyTable::Kind::renderMode:
        if (const auto mode =
                modeFor<store::RenderMode>(setting, "a render mode", &store::renderModeNamed)) {
          layer.renderMode = *mode;
          kept(setting, setting.value);
        }
        return;
      default:
        notKept(setting, "the effect has no layer " + words(member));
    }
  }

  void applyTexture(store::CellConfig& cell, const EmitterReader::Setting& setting) {
    const auto none = [&] {
      cell.contentUrl.reset();
      cell.contentsUrl = platform::URL("None");
    };
    if (const Constant* constant = setting.value.as<Constant>();
        constant && (constant->name == "nil" || constant->name == "NULL")) {
      none();
      kept(setting, setting.value);
      return;
    }
    const Image* image = setting.value.as<Image>();
    if (image == nullptr) {
      none();
      notKept(setting,
              whyNot(setting.value, "the value is not an image") + "; the cell has no texture");
      return;
    }
    const std::string name = platform::wellFormedUtf8(image->name);
    std::optional<std::string> file;
    if (!image->symbol && options_.findImage) file = options_.findImage(name);
    if (file) file = platform::wellFormedUtf8(*file);
    if (file) {
      cell.contentUrl = platform::URL(*file);
      cell.contentsUrl = cell.contentUrl;
    } else if (!image->symbol && name == "Spark") {
      // The effect's built-in image goes by this name.
      cell.contentUrl.reset();
      cell.contentsUrl.reset();
    } else if (name.empty()) {
      none();
      notKept(setting, "the image has no name; the cell has no texture");
      return;
    } else {
      cell.contentUrl = platform::URL(name);
      cell.contentsUrl = cell.contentUrl;
      addNote(NoteKind::kept, setting.begin, setting.end,
              image->symbol
                  ? "`" + name + "` is a system symbol; the texture keeps its name"
                  : "no image file named `" + name + "` was found; the texture keeps the name");
    }
    ++result_->settingsKept;
  }

  store::CellConfigRef makeCell(std::size_t id, std::vector<std::size_t>& path) {
    const EmitterReader::Object& object = reader_.objects()[id];
    if (std::find(path.begin(), path.end(), id) != path.end() || path.size() > kMaxCellDepth) {
      const auto found = object.settings.find("emitterCells");
      const std::uint32_t begin = found != object.settings.end() ? found->second.begin : 0;
      const std::uint32_t end = found != object.settings.end() ? found->second.end : 0;
      addNote(NoteKind::notKept, begin, end,
              path.size() > kMaxCellDepth ? "cells nest deeper than an effect keeps; the deeper "
                                            "ones are left out"
                                          : "a cell contains itself; it is left out there");
      return nullptr;
    }
    counted_.insert(id);
    auto cell = std::make_shared<store::CellConfig>();
    for (const Row& row : PropertyTable::rows()) {
      if (!row.isCellNumber()) continue;
      (*cell.*row.cellNumber)
          .setValue(row.path == store::AnyKeyPath(store::CellProperty::scale) ? 1.0 : 0.0);
    }
    cell->name.clear();
    cell->contentUrl.reset();
    cell->contentsUrl = platform::URL("None");
    for (const auto& [member, setting] : object.settings) {
      const Row* row = rowNamed(member, false);
      if (row == nullptr) {
        notKept(setting, "the effect has no " + words(member));
        continue;
      }
      switch (row->kind) {
        case PropertyTable::Kind::number:
          if (const auto value = numberFor(setting, *row)) {
            (*cell.*row->cellNumber).setValue(*value);
            kept(setting, setting.value);
          }
          break;
        case PropertyTable::Kind::color:
          if (const auto color = colorFor(setting)) {
            cell->colorRed = color->red;
            cell->colorGreen = color->green;
            cell->colorBlue = color->blue;
            cell->colorAlpha = color->alpha;
            kept(setting, setting.value);
          }
          break;
        case PropertyTable::Kind::text:
          if (const Text* text = setting.value.as<Text>()) {
            cell->name = platform::wellFormedUtf8(text->text);
            kept(setting, setting.value);
          } else {
            notKept(setting, whyNot(setting.value, "the name is not text"));
          }
          break;
        case PropertyTable::Kind::texture:
          applyTexture(*cell, setting);
          break;
        case PropertyTable::Kind::cellList:
          kept(setting, setting.value);
          break;
        default:
          notKept(setting, "the effect has no " + words(member));
      }
    }
    path.push_back(id);
    for (const std::size_t subcell : object.cells) {
      if (auto made = makeCell(subcell, path)) cell->subcells.push_back(made);
    }
    path.pop_back();
    return cell;
  }

  void foldMultipliers(store::LayerConfig& layer, std::size_t layerId) {
    const EmitterReader::Object& object = reader_.objects()[layerId];
    for (const Multiplier& multiplier : kMultipliers) {
      const auto found = object.settings.find(std::string(multiplier.member));
      if (found == object.settings.end()) continue;
      const EmitterReader::Setting& setting = found->second;
      const auto factor = numberOf(setting.value);
      if (!factor || !std::isfinite(*factor)) {
        notKept(setting, whyNot(setting.value, "the value is not a number"));
        continue;
      }
      for (const store::CellConfigRef& cell : layer.cells) {
        for (const auto property : {std::optional(multiplier.value), multiplier.range}) {
          if (!property) continue;
          store::LimitedValue* value = cell->limitedValue(store::AnyKeyPath(*property));
          value->setValue(tidy(value->value * *factor));
        }
      }
      addNote(NoteKind::folded, setting.begin, setting.end,
              "the effect has no layer multiplier; the top-level cells' " +
                  std::string(multiplier.what) + " are multiplied by it");
      kept(setting, setting.value);
    }
  }

  std::string_view source_;
  const SourceLexer& lexer_;
  const EmitterReader& reader_;
  const CodeImporter::Options& options_;
  CodePlatform platform_;
  double viewWidth_;
  double viewHeight_;
  bool viewSizeGuessed_;
  ImportResult* result_ = nullptr;
  std::set<std::size_t> counted_;
};

std::size_t topLevelCells(const EmitterReader::Object& layer) {
  return layer.cells.size();
}

}  // namespace

CodePlatform CodeImporter::platformOf(std::string_view source) {
  const SourceLexer lexer(source);
  int appKit = 0;
  int uiKit = 0;
  for (const SourceToken& token : lexer.tokens()) {
    if (token.kind != SourceToken::Kind::identifier) continue;
    const std::string& name = token.text;
    if (name == "Cocoa" || name == "AppKit" ||
        (name.starts_with("NS") &&
         (name.ends_with("View") || name.ends_with("Color") || name.ends_with("Image") ||
          name.ends_with("Controller") || name.ends_with("Representable") || name == "NSScreen"))) {
      ++appKit;
    }
    if (name == "UIKit" ||
        (name.starts_with("UI") &&
         (name.ends_with("View") || name.ends_with("Color") || name.ends_with("Image") ||
          name.ends_with("Controller") || name.ends_with("Representable") || name == "UIScreen"))) {
      ++uiKit;
    }
  }
  return uiKit > appKit ? CodePlatform::iOS : CodePlatform::macOS;
}

std::optional<std::string> CodeImporter::imageFile(
    std::string_view name, const std::vector<std::filesystem::path>& folders,
    const std::filesystem::path& relativeTo) {
  if (name.empty() || name.find_first_of(std::string_view("/\\\0", 3)) != std::string_view::npos ||
      name.starts_with('.')) {
    return std::nullopt;
  }
  static constexpr std::array<std::string_view, 9> kExtensions{
      ".png", ".jpg", ".jpeg", ".gif", ".webp", ".heic", ".tiff", ".bmp", ".pdf"};
  for (const std::filesystem::path& folder : folders) {
    for (const std::string_view extension : kExtensions) {
      const std::filesystem::path candidate =
          (folder.empty() ? std::filesystem::path(".") : folder) /
          (std::string(name) + std::string(extension));
      std::error_code error;
      if (!std::filesystem::is_regular_file(candidate, error)) continue;
      const std::filesystem::path relative = std::filesystem::relative(
          candidate, relativeTo.empty() ? std::filesystem::path(".") : relativeTo, error);
      return (error || relative.empty() ? std::filesystem::absolute(candidate, error) : relative)
          .generic_string();
    }
  }
  return std::nullopt;
}

ImportResult CodeImporter::importSource(std::string_view source, const Options& options) {
  ImportResult result;
  if (source.size() >= std::numeric_limits<std::uint32_t>::max()) {
    result.failure = "the source is too large";
    return result;
  }
  const SourceLexer lexer(source);
  result.platform = options.platform ? *options.platform : platformOf(source);

  const bool sizeGiven = options.viewWidth && options.viewHeight;
  EmitterReader::Options readerOptions{sizeGiven ? *options.viewWidth : kDefaultViewWidth,
                                       sizeGiven ? *options.viewHeight : kDefaultViewHeight,
                                       !sizeGiven};
  auto reader = std::make_unique<EmitterReader>(source, lexer, readerOptions);
  reader->read();
  if (!sizeGiven && reader->sourceViewSize()) {
    // Read again with the view's size from the source.
    readerOptions = {reader->sourceViewSize()->width, reader->sourceViewSize()->height, false};
    reader = std::make_unique<EmitterReader>(source, lexer, readerOptions);
    reader->read();
  }

  std::vector<std::size_t> layerIds;
  for (std::size_t id = 0; id < reader->objects().size(); ++id) {
    const EmitterReader::Object& object = reader->objects()[id];
    if (!object.isLayer) continue;
    layerIds.push_back(id);
    result.layers.push_back({object.name, object.madeIn, topLevelCells(object)});
  }
  if (layerIds.empty()) {
    result.failure = "no emitter layer found (no `CAEmitterLayer` is made in the source)";
    return result;
  }
  if (!options.layer.empty()) {
    const bool numbered = options.layer.find_first_not_of("0123456789") == std::string::npos;
    const std::size_t number = numbered && options.layer.size() < 9
                                   ? static_cast<std::size_t>(std::stoul(options.layer))
                                   : 0;
    std::optional<std::size_t> chosen;
    for (std::size_t i = 0; i < result.layers.size() && !chosen; ++i) {
      if ((numbered && number == i + 1) || result.layers[i].name == options.layer ||
          result.layers[i].madeIn == options.layer) {
        chosen = i;
      }
    }
    if (!chosen) {
      result.failure = "no emitter layer `" + options.layer + "`; the source has " +
                       std::to_string(result.layers.size()) +
                       (result.layers.size() == 1 ? " layer" : " layers") + " (see --list)";
      return result;
    }
    result.chosenLayer = *chosen;
  }
  EffectMaker maker(source, lexer, *reader, options, result.platform, readerOptions.viewWidth,
                    readerOptions.viewHeight, readerOptions.viewSizeGuessed);
  maker.make(layerIds[result.chosenLayer], result);
  return result;
}

}  // namespace tessary::code_editor
