#include "effect_reader.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "effect_file_messages.h"
#include "plain_json_reader.h"
#include "tessary/platform/fatal_error.h"
#include "tessary/platform/well_formed_utf8.h"
#include "tessary/store/data_store.h"
#include "tessary/store/effect_file.h"
#include "tessary/store/emitter_modes.h"
#include "tessary/store/formatters.h"
#include "tessary/store/property_table.h"

namespace tessary::store {

namespace {

using Json = nlohmann::json;

// Far deeper than any real effect nests its cells; the limit keeps the recursive work on cells
// (copying, comparing, writing) within a small stack.
constexpr int kMaxCellDepth = 32;

// The names of the emitter constants.
template <typename Enum>
struct EnumNames;

template <>
struct EnumNames<EmitterShape> {
  static constexpr LayerProperty kProperty = LayerProperty::emitterShape;
  static constexpr auto& kAll = allEmitterShapes;
  static std::string_view name(EmitterShape shape) { return rawValue(shape); }
  static std::optional<EmitterShape> named(std::string_view name) {
    return emitterShapeNamed(name);
  }
};

template <>
struct EnumNames<EmitterMode> {
  static constexpr LayerProperty kProperty = LayerProperty::emitterMode;
  static constexpr auto& kAll = allEmitterModes;
  static std::string_view name(EmitterMode mode) { return rawValue(mode); }
  static std::optional<EmitterMode> named(std::string_view name) { return emitterModeNamed(name); }
};

template <>
struct EnumNames<RenderMode> {
  static constexpr LayerProperty kProperty = LayerProperty::renderMode;
  static constexpr auto& kAll = allRenderModes;
  static std::string_view name(RenderMode mode) { return description(mode); }
  static std::optional<RenderMode> named(std::string_view name) { return renderModeNamed(name); }
};

// What the constant is called in messages: "emitter shape".
template <typename Enum>
std::string_view enumWhat() {
  return PropertyTable::find(EnumNames<Enum>::kProperty)->typeName;
}

// What a JSON value must be to fill its place in the effect, and where it goes.
struct Field;
struct VersionTarget {};
struct LimitedValueTarget {
  LimitedValue* value;
  LimitedValue defaults;
};
struct BoundTarget {  // "value", "min" or "max" of a {"value", "min", "max"} object
  double* number;
};
struct ComponentTarget {
  double* component;
};
struct NameTarget {
  std::string* name;
};
struct TextureTarget {
  CellConfig* cell;
};
template <typename Enum>
struct EnumTarget {
  Enum* value;
};
struct ObjectTarget {
  std::vector<Field> fields;
};
struct CellListTarget {
  std::vector<CellConfigRef>* cells;
  int depth;  // of the cells in the list: 1 for the layer's cells
};
struct CellTarget {};  // an element of a cell list

using Target =
    std::variant<VersionTarget, LimitedValueTarget, BoundTarget, ComponentTarget, NameTarget,
                 TextureTarget, EnumTarget<EmitterShape>, EnumTarget<EmitterMode>,
                 EnumTarget<RenderMode>, ObjectTarget, CellListTarget, CellTarget>;

struct Field {
  std::string_view key;
  Target target;
};

// What the value of a place must be, for messages.
struct DescribeExpectation {
  std::string operator()(const VersionTarget&) const {
    return "the version number " + std::to_string(EffectFile::version);
  }
  std::string operator()(const LimitedValueTarget&) const {
    return "a number or an object {\"value\", \"min\", \"max\"}";
  }
  std::string operator()(const BoundTarget&) const { return "a number"; }
  std::string operator()(const ComponentTarget&) const { return "a number"; }
  std::string operator()(const NameTarget&) const { return "a string"; }
  std::string operator()(const TextureTarget&) const { return "a file name or null"; }
  template <typename Enum>
  std::string operator()(const EnumTarget<Enum>&) const {
    return "the name of the " + std::string(enumWhat<Enum>());
  }
  std::string operator()(const ObjectTarget&) const { return "an object"; }
  std::string operator()(const CellListTarget&) const { return "an array of cells"; }
  std::string operator()(const CellTarget&) const { return "a cell object"; }
};

std::string expectation(const Target& target) {
  return std::visit(DescribeExpectation{}, target);
}

std::vector<Field> colorFields(double& red, double& green, double& blue, double& alpha) {
  return {{"red", ComponentTarget{&red}},
          {"green", ComponentTarget{&green}},
          {"blue", ComponentTarget{&blue}},
          {"alpha", ComponentTarget{&alpha}}};
}

// The place a property's value fills in `layer`, or in `cell` (at `depth`) for a cell's row.
Target target(const PropertyTable::Row& row, LayerConfig& layer, CellConfig* cell, int depth) {
  switch (row.kind) {
    case PropertyTable::Kind::number:
      return LimitedValueTarget{cell ? &(cell->*row.cellNumber) : &(layer.*row.layerNumber),
                                row.defaults};
    case PropertyTable::Kind::color:
      return cell ? ObjectTarget{colorFields(cell->colorRed, cell->colorGreen, cell->colorBlue,
                                             cell->colorAlpha)}
                  : ObjectTarget{colorFields(layer.backgroundRed, layer.backgroundGreen,
                                             layer.backgroundBlue, layer.backgroundAlpha)};
    case PropertyTable::Kind::text:
      return NameTarget{&cell->name};
    case PropertyTable::Kind::texture:
      return TextureTarget{cell};
    case PropertyTable::Kind::emitterShape:
      return EnumTarget<EmitterShape>{&layer.emitterShape};
    case PropertyTable::Kind::emitterMode:
      return EnumTarget<EmitterMode>{&layer.emitterMode};
    case PropertyTable::Kind::renderMode:
      return EnumTarget<RenderMode>{&layer.renderMode};
    case PropertyTable::Kind::cellList:
      return cell ? CellListTarget{&cell->subcells, depth + 1} : CellListTarget{&layer.cells, 1};
  }
  platform::fatalError("a property of no kind");
}

// The keys of the layer object, or of a cell object when `cell` is given: one per row, the rows
// of one file object gathered into that object.
std::vector<Field> fields(LayerConfig& layer, CellConfig* cell, int depth) {
  const AnyKeyPath::Root root = cell ? AnyKeyPath::Root::cell : AnyKeyPath::Root::layer;
  std::vector<Field> fields;
  for (const PropertyTable::Row& row : PropertyTable::rows()) {
    if (row.path.root() != root) continue;
    Target value = target(row, layer, cell, depth);
    if (row.fileObject.empty()) {
      fields.push_back({row.fileKey, std::move(value)});
      continue;
    }
    if (fields.empty() || fields.back().key != row.fileObject) {
      fields.push_back({row.fileObject, ObjectTarget{}});
    }
    std::get<ObjectTarget>(fields.back().target).fields.push_back({row.fileKey, std::move(value)});
  }
  return fields;
}

// A JSON object being read: the keys it may hold, which of them it has had, and whose value
// comes next.
struct ObjectFrame {
  std::vector<Field> fields;
  std::vector<bool> seen;
  std::size_t current = 0;
  // Set for a {"value", "min", "max"} object, whose numbers are checked when it closes.
  LimitedValue* limitedValue = nullptr;
};

struct CellListFrame {
  std::vector<CellConfigRef>* cells;
  int depth;
};

using Frame = std::variant<ObjectFrame, CellListFrame>;

enum class JsonParser { plain, full };

// Builds the layer straight from the parser's events, so a large file is never held as a JSON
// tree, and every problem is reported with the JSON path of the value where it was found.
class EffectSaxReader final : public nlohmann::json_sax<Json> {
 public:
  EffectSaxReader(std::string_view text, std::string_view fileName, EffectValuePlaces* places)
      : text_(text),
        fileName_(fileName),
        places_(places),
        layer_(std::make_shared<LayerConfig>()),
        document_(ObjectTarget{{{"tessaryEffect", VersionTarget{}},
                                {"layer", ObjectTarget{fields(*layer_, nullptr, 0)}}}}) {}

  // The layer, or null when `parser` is plain and the text needs the full parser.
  LayerConfigRef read(JsonParser parser) {
    if (const auto offset = platform::firstIllFormedUtf8Offset(text_)) {
      char byte[5];
      std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(text_[*offset]));
      throw EffectFileError(std::string(fileName_),
                            EffectFileMessages::lineAndColumn(text_, *offset),
                            "invalid UTF-8 (byte " + std::string(byte) + " at offset " +
                                std::to_string(*offset) + ")");
    }
    if (parser == JsonParser::plain) {
      if (!PlainJsonReader::read(text_, *this, &span_)) return nullptr;
    } else {
      Json::sax_parse(text_.data(), text_.data() + text_.size(), this);
    }
    DataStore::renumberCells(*layer_);
    return layer_;
  }

  bool null() override {
    beginValue();
    const Target& target = expected();
    if (const auto* texture = std::get_if<TextureTarget>(&target)) {
      notePlace(&texture->cell->contentUrl);
      texture->cell->contentUrl.reset();
      texture->cell->contentsUrl = platform::URL("None");
    } else {
      wrongType(target, "null");
    }
    endValue();
    return true;
  }

  bool boolean(bool /*value*/) override {
    beginValue();
    wrongType(expected(), "a boolean");
  }

  bool number_integer(number_integer_t value) override {
    return number(static_cast<double>(value), std::to_string(value), value == EffectFile::version);
  }

  bool number_unsigned(number_unsigned_t value) override {
    return number(static_cast<double>(value), std::to_string(value),
                  value == static_cast<number_unsigned_t>(EffectFile::version));
  }

  bool number_float(number_float_t value, const string_t& text) override {
    return number(value, text, false);
  }

  bool string(string_t& value) override {
    beginValue();
    const Target& target = expected();
    if (const auto* name = std::get_if<NameTarget>(&target)) {
      notePlace(name->name);
      *name->name = std::move(value);
    } else if (const auto* texture = std::get_if<TextureTarget>(&target)) {
      if (value.empty()) fail("empty texture file name (use null for a cell without texture)");
      notePlace(&texture->cell->contentUrl);
      texture->cell->contentUrl = platform::URL(value);
      texture->cell->contentsUrl = platform::URL(std::move(value));
    } else if (const auto* shape = std::get_if<EnumTarget<EmitterShape>>(&target)) {
      notePlace(shape->value);
      *shape->value = named<EmitterShape>(value);
    } else if (const auto* mode = std::get_if<EnumTarget<EmitterMode>>(&target)) {
      notePlace(mode->value);
      *mode->value = named<EmitterMode>(value);
    } else if (const auto* renderMode = std::get_if<EnumTarget<RenderMode>>(&target)) {
      notePlace(renderMode->value);
      *renderMode->value = named<RenderMode>(value);
    } else {
      wrongType(target, "a string");
    }
    endValue();
    return true;
  }

  bool binary(binary_t& /*value*/) override {
    beginValue();
    wrongType(expected(), "binary data");
  }

  bool start_object(std::size_t /*elements*/) override {
    beginValue();
    Target& target = expected();
    if (auto* object = std::get_if<ObjectTarget>(&target)) {
      openObject(std::move(object->fields), nullptr);
    } else if (const auto* limited = std::get_if<LimitedValueTarget>(&target)) {
      LimitedValue* value = limited->value;
      *value = limited->defaults;
      openObject({{"value", BoundTarget{&value->value}},
                  {"min", BoundTarget{&value->min}},
                  {"max", BoundTarget{&value->max}}},
                 value);
    } else if (std::holds_alternative<CellTarget>(target)) {
      const CellListFrame list = std::get<CellListFrame>(frames_.back());
      if (list.depth > kMaxCellDepth) {
        fail("sub-cells nested deeper than " + std::to_string(kMaxCellDepth) + " levels");
      }
      auto cell = std::make_shared<CellConfig>();
      list.cells->push_back(cell);
      openObject(fields(*layer_, cell.get(), list.depth), nullptr);
    } else {
      wrongType(target, "an object");
    }
    return true;
  }

  bool key(string_t& key) override {
    auto& object = std::get<ObjectFrame>(frames_.back());
    path_.push_back(key);
    const auto found = std::find_if(object.fields.begin(), object.fields.end(),
                                    [&](const Field& field) { return field.key == key; });
    if (found == object.fields.end()) fail(unknownKeyProblem(object, key));
    object.current = static_cast<std::size_t>(found - object.fields.begin());
    if (object.seen[object.current]) fail("duplicate key");
    object.seen[object.current] = true;
    return true;
  }

  bool end_object() override {
    ObjectFrame object = std::get<ObjectFrame>(std::move(frames_.back()));
    frames_.pop_back();
    if (object.limitedValue) finishLimitedValue(object);
    if (frames_.empty() && !versionSeen_) {
      fail("missing \"tessaryEffect\" (the effect file version, " +
           std::to_string(EffectFile::version) + ")");
    }
    endValue();
    return true;
  }

  bool start_array(std::size_t /*elements*/) override {
    beginValue();
    const Target& target = expected();
    if (const auto* list = std::get_if<CellListTarget>(&target)) {
      frames_.emplace_back(CellListFrame{list->cells, list->depth});
    } else {
      wrongType(target, "an array");
    }
    return true;
  }

  bool end_array() override {
    frames_.pop_back();
    endValue();
    return true;
  }

  bool parse_error(std::size_t position, const std::string& lastToken,
                   const nlohmann::detail::exception& error) override {
    constexpr int kNumberOverflow = 406;
    if (error.id == kNumberOverflow) {
      beginValue();
      fail("number out of range: " +
           EffectFileMessages::shortened(lastToken, EffectFileMessages::maxQuotedBytes));
    }
    // `position` counts the bytes read, the one where the parser stopped included.
    throw EffectFileError(
        std::string(fileName_),
        EffectFileMessages::lineAndColumn(text_, position == 0 ? 0 : position - 1),
        EffectFileMessages::syntaxProblem(error));
  }

 private:
  [[noreturn]] void fail(const std::string& problem) const {
    throw EffectFileError(std::string(fileName_), EffectFileMessages::jsonPointer(path_), problem);
  }

  [[noreturn]] void wrongType(const Target& target, std::string_view found) const {
    fail("expected " + expectation(target) + ", found " + std::string(found));
  }

  // The place the value that starts now fills.
  Target& expected() {
    if (frames_.empty()) return document_;
    if (std::holds_alternative<CellListFrame>(frames_.back())) return cellTarget_;
    auto& object = std::get<ObjectFrame>(frames_.back());
    return object.fields[object.current].target;
  }

  // An element of an array is known by its position; a member of an object by its key, which
  // `key` has put on the path already.
  void beginValue() {
    if (frames_.empty()) return;
    if (const auto* list = std::get_if<CellListFrame>(&frames_.back())) {
      path_.push_back(std::to_string(list->cells->size()));
    }
  }

  void notePlace(const void* value) {
    if (places_) places_->push_back({value, span_});
  }

  void endValue() {
    if (!frames_.empty()) path_.pop_back();
  }

  void openObject(std::vector<Field> fields, LimitedValue* limitedValue) {
    const std::size_t count = fields.size();
    frames_.emplace_back(ObjectFrame{std::move(fields), std::vector<bool>(count), 0, limitedValue});
  }

  bool number(double value, const std::string& text, bool isCurrentVersion) {
    beginValue();
    const Target& target = expected();
    if (const auto* limited = std::get_if<LimitedValueTarget>(&target)) {
      notePlace(&limited->value->value);
      LimitedValue read = limited->defaults;
      read.setValue(value);
      *limited->value = read;
    } else if (const auto* bound = std::get_if<BoundTarget>(&target)) {
      notePlace(bound->number);
      *bound->number = value;
    } else if (const auto* component = std::get_if<ComponentTarget>(&target)) {
      notePlace(component->component);
      *component->component = std::clamp(value, 0.0, 1.0);
    } else if (std::holds_alternative<VersionTarget>(target)) {
      if (!isCurrentVersion) {
        fail("unsupported version " + text + "; this program reads version " +
             std::to_string(EffectFile::version));
      }
      versionSeen_ = true;
    } else {
      wrongType(target, "a number");
    }
    endValue();
    return true;
  }

  // Checks a {"value", "min", "max"} object; a value outside its bounds widens them, as a typed
  // value does.
  void finishLimitedValue(const ObjectFrame& object) const {
    LimitedValue& limited = *object.limitedValue;
    if (!object.seen[0]) fail("missing \"value\"");
    if (limited.min > limited.max) {
      fail("min " + shortestDecimal(limited.min) + " is greater than max " +
           shortestDecimal(limited.max));
    }
    limited.setValue(limited.value);
  }

  template <typename Enum>
  Enum named(const std::string& name) const {
    if (const auto value = EnumNames<Enum>::named(name)) return *value;
    std::string problem = "unknown " + std::string(enumWhat<Enum>()) + " " +
                          EffectFileMessages::quotedText(name) + "; expected one of: ";
    for (std::size_t i = 0; i < EnumNames<Enum>::kAll.size(); ++i) {
      if (i > 0) problem += ", ";
      problem += EnumNames<Enum>::name(EnumNames<Enum>::kAll[i]);
    }
    fail(problem);
  }

  static std::string unknownKeyProblem(const ObjectFrame& object, std::string_view key) {
    const auto sameLetters = [](std::string_view left, std::string_view right) {
      return std::equal(left.begin(), left.end(), right.begin(), right.end(), [](char l, char r) {
        return std::tolower(static_cast<unsigned char>(l)) ==
               std::tolower(static_cast<unsigned char>(r));
      });
    };
    for (const auto& field : object.fields) {
      if (sameLetters(field.key, key)) {
        return "unknown key (did you mean \"" + std::string(field.key) + "\"?)";
      }
    }
    constexpr std::size_t kMaxListedKeys = 8;
    if (object.fields.size() > kMaxListedKeys) return "unknown key";
    std::string problem = "unknown key; expected one of: ";
    for (std::size_t i = 0; i < object.fields.size(); ++i) {
      if (i > 0) problem += ", ";
      problem += object.fields[i].key;
    }
    return problem;
  }

  std::string_view text_;
  std::string_view fileName_;
  EffectValuePlaces* places_;
  PlainJsonReader::ValueSpan span_;
  LayerConfigRef layer_;
  Target document_;
  Target cellTarget_ = CellTarget{};
  std::vector<Frame> frames_;
  std::vector<std::string> path_;
  bool versionSeen_ = false;
};

}  // namespace

LayerConfigRef EffectReader::read(std::string_view json, std::string_view fileName,
                                  EffectValuePlaces* places) {
  // A value takes a few dozen bytes of a file as people and programs lay it out.
  if (places) places->reserve(json.size() / 32);
  // Well-formed effect files are read by the fast reader; any other text is read again by the
  // full parser, from the start and into a new layer, which also words every problem.
  if (LayerConfigRef layer = EffectSaxReader(json, fileName, places).read(JsonParser::plain)) {
    return layer;
  }
  if (places) places->clear();
  return EffectSaxReader(json, fileName, nullptr).read(JsonParser::full);
}

}  // namespace tessary::store
