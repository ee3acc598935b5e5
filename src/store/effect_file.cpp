#include "tessary/store/effect_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "plain_json_reader.h"
#include "tessary/platform/atomic_file.h"
#include "tessary/platform/fatal_error.h"
#include "tessary/platform/well_formed_utf8.h"
#include "tessary/store/data_store.h"
#include "tessary/store/formatters.h"

namespace tessary::store {

namespace {

using Json = nlohmann::json;

constexpr std::int64_t kEffectVersion = 1;
// Far deeper than any real effect nests its cells; the limit keeps the recursive work on cells
// (copying, comparing, writing) within a small stack.
constexpr int kMaxCellDepth = 32;
// Texts from the file quoted in a message are cut to this many bytes.
constexpr std::size_t kMaxQuotedBytes = 60;
// Syntax messages carry the text last read, which can be a whole long line.
constexpr std::size_t kMaxProblemBytes = 200;

// ---- Message texts ---------------------------------------------------------------------------

bool isContinuationByte(char byte) {
  return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// The longest prefix of `text` of at most `maxBytes` bytes that ends between two characters.
std::string_view utf8Prefix(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  std::size_t end = maxBytes;
  while (end > 0 && isContinuationByte(text[end])) --end;
  return text.substr(0, end);
}

std::string shortened(std::string_view text, std::size_t maxBytes) {
  const std::string_view prefix = utf8Prefix(text, maxBytes);
  return prefix.size() == text.size() ? std::string(text) : std::string(prefix) + "...";
}

// Control characters (C0, DEL and C1) written as escapes, so that a message stays on one line
// and cannot drive a terminal; ill-formed UTF-8 (a file name, or a character the JSON library cut
// in two when it quoted what it last read) as replacement characters.
std::string oneLine(std::string_view anyText) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const std::string wellFormed = platform::wellFormedUtf8(anyText);
  const std::string_view text = wellFormed;
  std::string line;
  line.reserve(text.size());
  const auto appendEscape = [&](unsigned char code) {
    line += "\\u00";
    line += kHex[code >> 4];
    line += kHex[code & 0xF];
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {  // U+0080 to U+009F
      appendEscape(next);
      ++i;
    } else if (byte == '\n') {
      line += "\\n";
    } else if (byte == '\r') {
      line += "\\r";
    } else if (byte == '\t') {
      line += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      appendEscape(byte);
    } else {
      line += static_cast<char>(byte);
    }
  }
  return line;
}

// A text from the file as a JSON string literal, cut short when long.
std::string quotedText(std::string_view text) {
  const std::string_view prefix = utf8Prefix(text, kMaxQuotedBytes);
  std::string literal =
      Json(std::string(prefix)).dump(-1, ' ', false, Json::error_handler_t::replace);
  if (prefix.size() < text.size()) literal += "...";
  return literal;
}

std::string jsonPointer(const std::vector<std::string>& segments) {
  if (segments.empty()) return "/";
  std::string pointer;
  for (const auto& segment : segments) {
    pointer += '/';
    for (const char character : segment) {
      if (character == '~') {
        pointer += "~0";
      } else if (character == '/') {
        pointer += "~1";
      } else {
        pointer += character;
      }
    }
  }
  return pointer;
}

// "line 3, column 7" for the character at byte `offset`; columns count characters.
std::string lineAndColumn(std::string_view text, std::size_t offset) {
  offset = std::min(offset, text.size());
  const std::string_view before = text.substr(0, offset);
  const std::size_t lineNumber =
      1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
  const std::size_t lastNewline = before.rfind('\n');
  std::size_t lineStart = lastNewline == std::string_view::npos ? 0 : lastNewline + 1;
  if (lineStart == 0 && before.starts_with("\xEF\xBB\xBF")) lineStart = 3;
  const std::string_view line = before.substr(std::min(lineStart, before.size()));
  const std::size_t column =
      1 + static_cast<std::size_t>(std::count_if(
              line.begin(), line.end(), [](char byte) { return !isContinuationByte(byte); }));
  return "line " + std::to_string(lineNumber) + ", column " + std::to_string(column);
}

// The byte offset where the first sequence that is not well-formed UTF-8 starts, if any:
// overlong forms, surrogates and code points above U+10FFFF are not well-formed.
std::optional<std::size_t> invalidUtf8Offset(std::string_view text) {
  const auto byteAt = [&](std::size_t offset) { return static_cast<unsigned char>(text[offset]); };
  std::size_t offset = 0;
  while (offset < text.size()) {
    const unsigned char lead = byteAt(offset);
    if (lead < 0x80) {
      ++offset;
      continue;
    }
    std::size_t length = 0;
    unsigned char secondLow = 0x80;
    unsigned char secondHigh = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) secondLow = 0xA0;
      if (lead == 0xED) secondHigh = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) secondLow = 0x90;
      if (lead == 0xF4) secondHigh = 0x8F;
    } else {
      return offset;
    }
    if (offset + length > text.size()) return offset;
    if (byteAt(offset + 1) < secondLow || byteAt(offset + 1) > secondHigh) return offset;
    for (std::size_t next = 2; next < length; ++next) {
      if (!isContinuationByte(text[offset + next])) return offset;
    }
    offset += length;
  }
  return std::nullopt;
}

// The part of the JSON library's message that says what is wrong, without its own prefix and
// position (the position is reported separately, counted in characters).
std::string syntaxProblem(const nlohmann::detail::exception& error) {
  std::string_view message = error.what();
  const std::size_t column = message.find(", column ");
  const std::size_t problemStart =
      column == std::string_view::npos ? message.find("] ") : message.find(": ", column);
  if (problemStart != std::string_view::npos) message.remove_prefix(problemStart + 2);
  return shortened(message, kMaxProblemBytes);
}

// ---- The names of the emitter constants ------------------------------------------------------

template <typename Enum>
struct EnumNames;

template <>
struct EnumNames<EmitterShape> {
  static constexpr std::string_view kWhat = "emitter shape";
  static constexpr std::array kAll{EmitterShape::point,     EmitterShape::line,
                                   EmitterShape::rectangle, EmitterShape::cuboid,
                                   EmitterShape::circle,    EmitterShape::sphere};
  static std::string_view name(EmitterShape shape) { return rawValue(shape); }
  static std::optional<EmitterShape> named(std::string_view name) {
    return emitterShapeNamed(name);
  }
};

template <>
struct EnumNames<EmitterMode> {
  static constexpr std::string_view kWhat = "emitter mode";
  static constexpr std::array kAll{EmitterMode::points, EmitterMode::outline, EmitterMode::surface,
                                   EmitterMode::volume};
  static std::string_view name(EmitterMode mode) { return rawValue(mode); }
  static std::optional<EmitterMode> named(std::string_view name) { return emitterModeNamed(name); }
};

template <>
struct EnumNames<RenderMode> {
  static constexpr std::string_view kWhat = "render mode";
  static constexpr std::array kAll{RenderMode::unordered, RenderMode::oldestFirst,
                                   RenderMode::oldestLast, RenderMode::backToFront,
                                   RenderMode::additive};
  static std::string_view name(RenderMode mode) { return description(mode); }
  static std::optional<RenderMode> named(std::string_view name) { return renderModeNamed(name); }
};

// ---- The file's layout -----------------------------------------------------------------------

struct CellNumber {
  std::string_view key;
  CellProperty property;
  int line;  // numbers of one line are written side by side
};

// The cell numbers in the order the file writes them.
constexpr std::array<CellNumber, 22> kCellNumbers{{
    {"birthRate", CellProperty::birthRate, 0},
    {"lifetime", CellProperty::lifetime, 0},
    {"lifetimeRange", CellProperty::lifetimeRange, 0},
    {"beginTime", CellProperty::beginTime, 1},
    {"duration", CellProperty::duration, 1},
    {"velocity", CellProperty::velocity, 2},
    {"velocityRange", CellProperty::velocityRange, 2},
    {"xAcceleration", CellProperty::xAcceleration, 3},
    {"yAcceleration", CellProperty::yAcceleration, 3},
    {"emissionLatitude", CellProperty::emissionLatitude, 4},
    {"emissionLongitude", CellProperty::emissionLongitude, 4},
    {"emissionRange", CellProperty::emissionRange, 4},
    {"spin", CellProperty::spin, 5},
    {"spinRange", CellProperty::spinRange, 5},
    {"scale", CellProperty::scale, 6},
    {"scaleRange", CellProperty::scaleRange, 6},
    {"scaleSpeed", CellProperty::scaleSpeed, 6},
    {"alphaRange", CellProperty::alphaRange, 7},
    {"alphaSpeed", CellProperty::alphaSpeed, 7},
    {"redRange", CellProperty::redRange, 8},
    {"greenRange", CellProperty::greenRange, 8},
    {"blueRange", CellProperty::blueRange, 8},
}};
// The cell's colour is written on its own line before the numbers of this line.
constexpr int kLineAfterColor = 8;

// ---- Reading ---------------------------------------------------------------------------------

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
    return "the version number " + std::to_string(kEffectVersion);
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
    return "the name of the " + std::string(EnumNames<Enum>::kWhat);
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

LimitedValueTarget layerNumber(LayerConfig& layer, LayerProperty property) {
  return {layer.limitedValue(property), LayerConfig::defaultValue(property)};
}

std::vector<Field> layerFields(LayerConfig& layer) {
  std::vector<Field> fields;
  fields.push_back({"viewSize", ObjectTarget{{
                                    {"width", layerNumber(layer, LayerProperty::viewWidth)},
                                    {"height", layerNumber(layer, LayerProperty::viewHeight)},
                                }}});
  fields.push_back(
      {"backgroundColor", ObjectTarget{colorFields(layer.backgroundRed, layer.backgroundGreen,
                                                   layer.backgroundBlue, layer.backgroundAlpha)}});
  fields.push_back({"emitterShape", EnumTarget<EmitterShape>{&layer.emitterShape}});
  fields.push_back({"emitterMode", EnumTarget<EmitterMode>{&layer.emitterMode}});
  fields.push_back({"renderMode", EnumTarget<RenderMode>{&layer.renderMode}});
  fields.push_back(
      {"emitterPosition", ObjectTarget{{
                              {"x", layerNumber(layer, LayerProperty::emitterPositionX)},
                              {"y", layerNumber(layer, LayerProperty::emitterPositionY)},
                          }}});
  fields.push_back({"emitterSize", ObjectTarget{{
                                       {"width", layerNumber(layer, LayerProperty::emitterWidth)},
                                       {"height", layerNumber(layer, LayerProperty::emitterHeight)},
                                   }}});
  fields.push_back({"cells", CellListTarget{&layer.cells, 1}});
  return fields;
}

std::vector<Field> cellFields(CellConfig& cell, int depth) {
  std::vector<Field> fields;
  fields.reserve(kCellNumbers.size() + 4);
  fields.push_back({"name", NameTarget{&cell.name}});
  fields.push_back({"texture", TextureTarget{&cell}});
  for (const auto& number : kCellNumbers) {
    fields.push_back({number.key, LimitedValueTarget{cell.limitedValue(number.property),
                                                     CellConfig::defaultValue(number.property)}});
  }
  fields.push_back({"color", ObjectTarget{colorFields(cell.colorRed, cell.colorGreen,
                                                      cell.colorBlue, cell.colorAlpha)}});
  fields.push_back({"subcells", CellListTarget{&cell.subcells, depth + 1}});
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
class EffectReader final : public nlohmann::json_sax<Json> {
 public:
  EffectReader(std::string_view text, std::string_view fileName)
      : text_(text),
        fileName_(fileName),
        layer_(std::make_shared<LayerConfig>()),
        document_(ObjectTarget{
            {{"tessaryEffect", VersionTarget{}}, {"layer", ObjectTarget{layerFields(*layer_)}}}}) {}

  // The layer, or null when `parser` is plain and the text needs the full parser.
  LayerConfigRef read(JsonParser parser) {
    if (const auto offset = invalidUtf8Offset(text_)) {
      char byte[5];
      std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(text_[*offset]));
      throw EffectFileError(std::string(fileName_), lineAndColumn(text_, *offset),
                            "invalid UTF-8 (byte " + std::string(byte) + " at offset " +
                                std::to_string(*offset) + ")");
    }
    if (parser == JsonParser::plain) {
      if (!PlainJsonReader::read(text_, *this)) return nullptr;
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
    return number(static_cast<double>(value), std::to_string(value), value == kEffectVersion);
  }

  bool number_unsigned(number_unsigned_t value) override {
    return number(static_cast<double>(value), std::to_string(value),
                  value == static_cast<number_unsigned_t>(kEffectVersion));
  }

  bool number_float(number_float_t value, const string_t& text) override {
    return number(value, text, false);
  }

  bool string(string_t& value) override {
    beginValue();
    const Target& target = expected();
    if (const auto* name = std::get_if<NameTarget>(&target)) {
      *name->name = std::move(value);
    } else if (const auto* texture = std::get_if<TextureTarget>(&target)) {
      if (value.empty()) fail("empty texture file name (use null for a cell without texture)");
      texture->cell->contentUrl = platform::URL(value);
      texture->cell->contentsUrl = platform::URL(std::move(value));
    } else if (const auto* shape = std::get_if<EnumTarget<EmitterShape>>(&target)) {
      *shape->value = named<EmitterShape>(value);
    } else if (const auto* mode = std::get_if<EnumTarget<EmitterMode>>(&target)) {
      *mode->value = named<EmitterMode>(value);
    } else if (const auto* renderMode = std::get_if<EnumTarget<RenderMode>>(&target)) {
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
      openObject(cellFields(*cell, list.depth), nullptr);
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
      fail("missing \"tessaryEffect\" (the effect file version, " + std::to_string(kEffectVersion) +
           ")");
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
      fail("number out of range: " + shortened(lastToken, kMaxQuotedBytes));
    }
    // `position` counts the bytes read, the one where the parser stopped included.
    throw EffectFileError(std::string(fileName_),
                          lineAndColumn(text_, position == 0 ? 0 : position - 1),
                          syntaxProblem(error));
  }

 private:
  [[noreturn]] void fail(const std::string& problem) const {
    throw EffectFileError(std::string(fileName_), jsonPointer(path_), problem);
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
      LimitedValue read = limited->defaults;
      read.setValue(value);
      *limited->value = read;
    } else if (const auto* bound = std::get_if<BoundTarget>(&target)) {
      *bound->number = value;
    } else if (const auto* component = std::get_if<ComponentTarget>(&target)) {
      *component->component = std::clamp(value, 0.0, 1.0);
    } else if (std::holds_alternative<VersionTarget>(target)) {
      if (!isCurrentVersion) {
        fail("unsupported version " + text + "; this program reads version " +
             std::to_string(kEffectVersion));
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
    std::string problem = "unknown " + std::string(EnumNames<Enum>::kWhat) + " " +
                          quotedText(name) + "; expected one of: ";
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
  LayerConfigRef layer_;
  Target document_;
  Target cellTarget_ = CellTarget{};
  std::vector<Frame> frames_;
  std::vector<std::string> path_;
  bool versionSeen_ = false;
};

// ---- Writing ---------------------------------------------------------------------------------

class EffectWriter {
 public:
  std::string write(const LayerConfig& layer) {
    out_ += "{\n";
    out_ += "  \"tessaryEffect\": " + std::to_string(kEffectVersion) + ",\n";
    out_ += "  \"layer\": {\n";
    startLine(4);
    out_ += "\"viewSize\": ";
    pair("width", layer.viewWidth, LayerProperty::viewWidth, "height", layer.viewHeight,
         LayerProperty::viewHeight);
    out_ += ",";
    startLine(4);
    out_ += "\"backgroundColor\": ";
    color(layer.backgroundRed, layer.backgroundGreen, layer.backgroundBlue, layer.backgroundAlpha);
    out_ += ",";
    startLine(4);
    out_ += "\"emitterShape\": ";
    string(rawValue(layer.emitterShape));
    out_ += ",";
    startLine(4);
    out_ += "\"emitterMode\": ";
    string(rawValue(layer.emitterMode));
    out_ += ",";
    startLine(4);
    out_ += "\"renderMode\": ";
    string(description(layer.renderMode));
    out_ += ",";
    startLine(4);
    out_ += "\"emitterPosition\": ";
    pair("x", layer.emitterPositionX, LayerProperty::emitterPositionX, "y", layer.emitterPositionY,
         LayerProperty::emitterPositionY);
    out_ += ",";
    startLine(4);
    out_ += "\"emitterSize\": ";
    pair("width", layer.emitterWidth, LayerProperty::emitterWidth, "height", layer.emitterHeight,
         LayerProperty::emitterHeight);
    out_ += ",";
    startLine(4);
    cellList("cells", layer.cells, 4);
    out_ += "\n  }\n}\n";
    return std::move(out_);
  }

 private:
  void startLine(int indent) {
    if (!out_.empty() && out_.back() != '\n') out_ += '\n';
    out_.append(static_cast<std::size_t>(indent), ' ');
  }

  void number(double value) {
    if (!std::isfinite(value)) platform::fatalError("an effect holds a number that is not finite");
    out_ += shortestDecimal(value);
  }

  void string(std::string_view text) {
    out_ += Json(std::string(text)).dump(-1, ' ', false, Json::error_handler_t::replace);
  }

  void key(std::string_view name) {
    out_ += '"';
    out_ += name;
    out_ += "\": ";
  }

  // A plain number when the slider has the property's own bounds.
  void limitedValue(const LimitedValue& value, const LimitedValue& defaults) {
    if (value.min == defaults.min && value.max == defaults.max) {
      number(value.value);
      return;
    }
    out_ += "{\"value\": ";
    number(value.value);
    out_ += ", \"min\": ";
    number(value.min);
    out_ += ", \"max\": ";
    number(value.max);
    out_ += "}";
  }

  void pair(std::string_view firstKey, const LimitedValue& first, LayerProperty firstProperty,
            std::string_view secondKey, const LimitedValue& second, LayerProperty secondProperty) {
    out_ += "{";
    key(firstKey);
    limitedValue(first, LayerConfig::defaultValue(firstProperty));
    out_ += ", ";
    key(secondKey);
    limitedValue(second, LayerConfig::defaultValue(secondProperty));
    out_ += "}";
  }

  void color(double red, double green, double blue, double alpha) {
    out_ += "{\"red\": ";
    number(red);
    out_ += ", \"green\": ";
    number(green);
    out_ += ", \"blue\": ";
    number(blue);
    out_ += ", \"alpha\": ";
    number(alpha);
    out_ += "}";
  }

  void cellList(std::string_view name, const std::vector<CellConfigRef>& cells, int indent) {
    key(name);
    if (cells.empty()) {
      out_ += "[]";
      return;
    }
    out_ += "[";
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) out_ += ",";
      cell(*cells[i], indent + 2);
    }
    startLine(indent);
    out_ += "]";
  }

  void cell(const CellConfig& cell, int indent) {
    startLine(indent);
    out_ += "{";
    const int inner = indent + 2;
    startLine(inner);
    key("name");
    string(cell.name);
    out_ += ",";
    if (cell.contentUrl) {
      startLine(inner);
      key("texture");
      string(cell.contentUrl->absoluteString());
      out_ += ",";
    } else if (cell.contentsUrl && cell.contentsUrl->absoluteString() == "None") {
      startLine(inner);
      key("texture");
      out_ += "null,";
    }
    int line = -1;
    for (const auto& entry : kCellNumbers) {
      if (entry.line != line) {
        if (entry.line == kLineAfterColor) {
          startLine(inner);
          key("color");
          color(cell.colorRed, cell.colorGreen, cell.colorBlue, cell.colorAlpha);
          out_ += ",";
        }
        startLine(inner);
        line = entry.line;
      } else {
        out_ += " ";
      }
      key(entry.key);
      limitedValue(*cell.limitedValue(entry.property), CellConfig::defaultValue(entry.property));
      out_ += ",";
    }
    startLine(inner);
    cellList("subcells", cell.subcells, inner);
    startLine(indent);
    out_ += "}";
  }

  std::string out_;
};

// A campfire: flames with sparks flying off them, glowing embers drawn with the built-in image,
// and a slow plume of smoke. Positions are measured from the top-left corner, so "up" is a
// negative y and an emission longitude of -90 degrees.
constexpr std::string_view kDemoJson = R"({
  "tessaryEffect": 1,
  "layer": {
    "viewSize": {"width": 400.0, "height": 300.0},
    "backgroundColor": {"red": 0.06, "green": 0.04, "blue": 0.03, "alpha": 1.0},
    "emitterShape": "line",
    "emitterMode": "outline",
    "renderMode": "additive",
    "emitterPosition": {"x": 200.0, "y": 260.0},
    "emitterSize": {"width": 120.0, "height": 1.0},
    "cells": [
      {
        "name": "flame",
        "texture": "flame.png",
        "birthRate": {"value": 120.0, "min": 0.0, "max": 300.0}, "lifetime": 1.6, "lifetimeRange": 0.4,
        "beginTime": 0.0, "duration": 0.0,
        "velocity": 60.0, "velocityRange": 20.0,
        "xAcceleration": 0.0, "yAcceleration": -40.0,
        "emissionLatitude": 0.0, "emissionLongitude": -90.0, "emissionRange": 20.0,
        "spin": 0.0, "spinRange": 90.0,
        "scale": 0.35, "scaleRange": 0.1, "scaleSpeed": -0.2,
        "alphaRange": 0.0, "alphaSpeed": -0.6,
        "color": {"red": 1.0, "green": 0.55, "blue": 0.15, "alpha": 0.9},
        "redRange": 0.0, "greenRange": 0.1, "blueRange": 0.05,
        "subcells": [
          {
            "name": "spark",
            "texture": "spark.png",
            "birthRate": 2.0, "lifetime": 0.8, "lifetimeRange": 0.3,
            "beginTime": 0.2, "duration": 0.6,
            "velocity": 120.0, "velocityRange": 60.0,
            "xAcceleration": 0.0, "yAcceleration": 80.0,
            "emissionLatitude": 0.0, "emissionLongitude": -90.0, "emissionRange": 60.0,
            "spin": 0.0, "spinRange": 0.0,
            "scale": 0.05, "scaleRange": 0.02, "scaleSpeed": -0.03,
            "alphaRange": 0.0, "alphaSpeed": -1.2,
            "color": {"red": 1.0, "green": 0.8, "blue": 0.3, "alpha": 1.0},
            "redRange": 0.0, "greenRange": 0.1, "blueRange": 0.0,
            "subcells": []
          }
        ]
      },
      {
        "name": "ember",
        "birthRate": 25.0, "lifetime": 2.5, "lifetimeRange": 1.0,
        "beginTime": 0.0, "duration": 0.0,
        "velocity": 90.0, "velocityRange": 40.0,
        "xAcceleration": 0.0, "yAcceleration": -20.0,
        "emissionLatitude": 0.0, "emissionLongitude": -90.0, "emissionRange": 35.0,
        "spin": 0.0, "spinRange": 180.0,
        "scale": 0.04, "scaleRange": 0.02, "scaleSpeed": -0.01,
        "alphaRange": 0.2, "alphaSpeed": -0.35,
        "color": {"red": 1.0, "green": 0.4, "blue": 0.1, "alpha": 1.0},
        "redRange": 0.1, "greenRange": 0.1, "blueRange": 0.0,
        "subcells": []
      },
      {
        "name": "smoke",
        "texture": null,
        "birthRate": 12.0, "lifetime": 4.5, "lifetimeRange": 1.0,
        "beginTime": 0.0, "duration": 0.0,
        "velocity": 25.0, "velocityRange": 10.0,
        "xAcceleration": 4.0, "yAcceleration": -8.0,
        "emissionLatitude": 0.0, "emissionLongitude": -90.0, "emissionRange": 30.0,
        "spin": 0.0, "spinRange": 40.0,
        "scale": 0.6, "scaleRange": 0.2, "scaleSpeed": 0.15,
        "alphaRange": 0.1, "alphaSpeed": -0.12,
        "color": {"red": 0.45, "green": 0.45, "blue": 0.45, "alpha": 0.35},
        "redRange": 0.05, "greenRange": 0.05, "blueRange": 0.05,
        "subcells": []
      }
    ]
  }
}
)";

}  // namespace

EffectFileError::EffectFileError(std::string file, std::string place, std::string problem)
    : std::runtime_error(oneLine(file) + ": " + oneLine(place) + ": " + oneLine(problem)),
      file_(std::move(file)),
      place_(std::move(place)),
      problem_(std::move(problem)) {}

LayerConfigRef EffectFile::load(const std::filesystem::path& path) {
  std::string text;
  try {
    text = platform::readWholeFile(path);
  } catch (const platform::FileError& error) {
    throw EffectFileError(path.string(), "cannot read", error.reason());
  }
  return parse(text, path.string());
}

LayerConfigRef EffectFile::parse(std::string_view json, std::string_view fileName) {
  // Files as programs write them are read by the fast reader; any other text is read again by
  // the full parser, from the start and into a new layer, which also words every problem.
  if (LayerConfigRef layer = EffectReader(json, fileName).read(JsonParser::plain)) return layer;
  return EffectReader(json, fileName).read(JsonParser::full);
}

std::string EffectFile::serialize(const LayerConfig& layer) {
  return EffectWriter().write(layer);
}

void EffectFile::save(const LayerConfig& layer, const std::filesystem::path& path) {
  const std::string text = serialize(layer);
  try {
    platform::writeFileAtomically(path, text);
  } catch (const platform::FileError& error) {
    throw EffectFileError(path.string(), "cannot save", error.reason());
  }
}

LayerConfigRef EffectFile::demo() {
  return parse(kDemoJson, "demo effect");
}

std::string EffectFile::demoJson() {
  return std::string(kDemoJson);
}

}  // namespace tessary::store
