#include "code_editor/emitter_reader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <utility>

namespace tessary::code_editor {

namespace {

using namespace import_value;
using Kind = SourceToken::Kind;

constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
// Nesting deeper than this (brackets in an expression, blocks, calls) is passed over: the
// reader's own stack stays small whatever the source holds.
constexpr std::size_t kMaxDepth = 48;
// A loop or range with more elements than this is not followed element by element.
constexpr std::size_t kMaxElements = 256;
constexpr std::size_t kMaxSuperclasses = 16;

ImportValue unknown(std::string why) {
  return ImportValue{Unknown{std::move(why)}, {}};
}

ImportValue number(double value, std::string viewMember = {}) {
  return ImportValue{value, std::move(viewMember)};
}

ImportValue arrayOf(std::vector<ImportValue> elements, bool tuple = false) {
  return ImportValue{Array{std::make_shared<std::vector<ImportValue>>(std::move(elements)), tuple},
                     {}};
}

// The numbers from `from` by `by` up to `to` (or down to it), `to` itself included when
// `through`; unknown when there are more than `kMaxElements`. Counted by index, so that a step
// too small to change a large number still ends.
ImportValue steps(double from, double to, double by, bool through) {
  const double count = std::floor((to - from) / by) + 1.0;
  if (!(by != 0.0) || !(count <= static_cast<double>(kMaxElements) + 1.0)) {
    return unknown("the sequence has more than " + std::to_string(kMaxElements) + " values");
  }
  std::vector<ImportValue> values;
  for (std::size_t i = 0; i <= kMaxElements; ++i) {
    const double value = from + static_cast<double>(i) * by;
    const bool inside =
        by > 0 ? (through ? value <= to : value < to) : (through ? value >= to : value > to);
    if (!inside) break;
    values.push_back(number(value));
  }
  return arrayOf(std::move(values));
}

std::string lowerFirst(std::string text) {
  if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') text[0] = static_cast<char>(text[0] + 32);
  return text;
}

bool isAssignment(const SourceToken& token) {
  return token.kind == Kind::punctuation &&
         (token.text == "=" || token.text == "+=" || token.text == "-=" || token.text == "*=" ||
          token.text == "/=");
}

bool isNumberType(std::string_view type) {
  static constexpr std::array<std::string_view, 10> kTypes{
      "CGFloat", "Double",       "Float",          "Int",  "NSNumber", "Float32",
      "Float64", "TimeInterval", "CFTimeInterval", "Int32"};
  return std::find(kTypes.begin(), kTypes.end(), type) != kTypes.end();
}

bool isColorType(std::string_view type) {
  return type == "UIColor" || type == "NSColor" || type == "CGColor" || type == "Color" ||
         type == "CIColor";
}

bool isImageType(std::string_view type) {
  return type == "UIImage" || type == "NSImage" || type == "Image" || type == "CIImage";
}

// The first value among the arguments labelled with one of `labels`.
const ImportValue* findLabelled(const std::vector<std::pair<std::string, ImportValue>>& arguments,
                                std::initializer_list<std::string_view> labels) {
  for (const auto& [label, value] : arguments) {
    if (std::find(labels.begin(), labels.end(), label) != labels.end()) return &value;
  }
  return nullptr;
}

// Hue, saturation and brightness, each 0...1, as red, green and blue.
platform::Color fromHsb(double hue, double saturation, double brightness, double alpha) {
  const double h = std::isfinite(hue) ? std::fmod(std::max(hue, 0.0), 1.0) * 6.0 : 0.0;
  const double chroma = brightness * saturation;
  const double x = chroma * (1.0 - std::abs(std::fmod(h, 2.0) - 1.0));
  const double m = brightness - chroma;
  const int sector = static_cast<int>(h);
  const std::array<std::array<double, 3>, 6> rgb{{{chroma, x, 0.0},
                                                  {x, chroma, 0.0},
                                                  {0.0, chroma, x},
                                                  {0.0, x, chroma},
                                                  {x, 0.0, chroma},
                                                  {chroma, 0.0, x}}};
  const auto& [r, g, b] = rgb[static_cast<std::size_t>(std::clamp(sector, 0, 5))];
  return {r + m, g + m, b + m, alpha};
}

// A colour from initialiser arguments: red/green/blue, white, or hue/saturation/brightness, each
// in any of the platforms' spellings, with alpha 1 when not given.
ImportValue colorFrom(const std::vector<std::pair<std::string, ImportValue>>& arguments) {
  std::string why;
  const auto component = [&](std::initializer_list<std::string_view> labels,
                             double fallback) -> std::optional<double> {
    const ImportValue* value = findLabelled(arguments, labels);
    if (value == nullptr) return fallback;
    const std::optional<double> known = numberOf(*value);
    if (!known && why.empty()) {
      why = value->isUnknown() ? value->as<Unknown>()->why : "a colour component is not a number";
    }
    return known;
  };
  const auto alpha = component({"alpha", "opacity"}, 1.0);
  if (findLabelled(arguments, {"red", "calibratedRed", "deviceRed", "srgbRed", "sRGBRed",
                               "displayP3Red", "_colorLiteralRed"})) {
    const auto red = component({"red", "calibratedRed", "deviceRed", "srgbRed", "sRGBRed",
                                "displayP3Red", "_colorLiteralRed"},
                               0.0);
    const auto green = component({"green"}, 0.0);
    const auto blue = component({"blue"}, 0.0);
    if (!why.empty()) return unknown(why);
    return ImportValue{platform::Color{*red, *green, *blue, *alpha}, {}};
  }
  if (findLabelled(arguments, {"white", "calibratedWhite", "deviceWhite", "gray", "genericGray"})) {
    const auto white =
        component({"white", "calibratedWhite", "deviceWhite", "gray", "genericGray"}, 0.0);
    if (!why.empty()) return unknown(why);
    return ImportValue{platform::Color::colorWithWhite(*white, *alpha), {}};
  }
  if (findLabelled(arguments, {"hue", "calibratedHue", "deviceHue"})) {
    const auto hue = component({"hue", "calibratedHue", "deviceHue"}, 0.0);
    const auto saturation = component({"saturation"}, 0.0);
    const auto brightness = component({"brightness"}, 0.0);
    if (!why.empty()) return unknown(why);
    return ImportValue{fromHsb(*hue, *saturation, *brightness, *alpha), {}};
  }
  if (findLabelled(arguments, {"named"})) return unknown("the colour comes from the app's assets");
  return unknown("the colour is not made from components");
}

// The file name without its folders and extension: "art/spark.png" -> "spark".
std::string imageStem(std::string path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash != std::string::npos) path.erase(0, slash + 1);
  const std::size_t dot = path.find_last_of('.');
  if (dot != std::string::npos && dot > 0) path.erase(dot);
  return path;
}

}  // namespace

struct EmitterReader::Scope {
  std::unordered_map<std::string, ImportValue> names;
  std::shared_ptr<Scope> parent;
  std::size_t classId = kNone;
  // The emitter object a subclass initialiser sets up; its members may be named bare.
  std::optional<ImportValue> self;

  static std::shared_ptr<Scope> child(const std::shared_ptr<Scope>& parent) {
    auto scope = std::make_shared<Scope>();
    scope->parent = parent;
    if (parent) {
      scope->classId = parent->classId;
      scope->self = parent->self;
    }
    return scope;
  }

  ImportValue* find(const std::string& name) {
    for (Scope* scope = this; scope != nullptr; scope = scope->parent.get()) {
      const auto found = scope->names.find(name);
      if (found != scope->names.end()) return &found->second;
    }
    return nullptr;
  }
};

struct EmitterReader::Callable {
  std::string name;
  std::vector<std::string> parameters;
  // Each parameter's default value, as a token range; empty when it has none.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> defaults;
  std::uint32_t bodyBegin = 0;
  std::uint32_t bodyEnd = 0;
  std::size_t classId = kNone;
  // A closure's scope; functions run in their type's scope.
  std::shared_ptr<Scope> scope;
  bool isInit = false;
  bool isProperty = false;
  bool isClosure = false;
  bool called = false;
};

struct EmitterReader::ClassInfo {
  std::string name;
  std::string superclass;
  bool layerBacked = false;
  std::shared_ptr<Scope> scope;
  std::vector<std::size_t> inits;
  std::optional<std::size_t> layer;
};

struct EmitterReader::Cursor {
  std::uint32_t at = 0;
  std::uint32_t end = 0;
};

struct EmitterReader::Target {
  bool variable = false;
  std::string name;
  ImportValue base;
};

struct EmitterReader::Argument {
  std::string label;
  ImportValue value;
};

struct EmitterReader::Flow {
  bool returned = false;
  ImportValue value;
};

EmitterReader::EmitterReader(std::string_view source, const SourceLexer& lexer, Options options)
    : source_(source),
      tokens_(lexer.tokens()),
      partners_(lexer.partners()),
      options_(options),
      budget_(50000 + 16 * lexer.tokens().size()) {}

EmitterReader::~EmitterReader() = default;

bool EmitterReader::isPunctuation(std::uint32_t at, std::string_view text) const {
  return at < tokens_.size() && tokens_[at].kind == Kind::punctuation && tokens_[at].text == text;
}

bool EmitterReader::isIdentifier(std::uint32_t at, std::string_view text) const {
  return at < tokens_.size() && tokens_[at].kind == Kind::identifier && tokens_[at].text == text;
}

bool EmitterReader::spend() {
  if (budget_ == 0) {
    if (!exhausted_) {
      exhausted_ = true;
      notes_.push_back({kNone, statementBegin_, statementEnd_,
                        "the source takes too long to follow; the rest is not read"});
    }
    return false;
  }
  --budget_;
  return true;
}

std::size_t EmitterReader::classNamed(const std::string& name) {
  const auto found = classesByName_.find(name);
  if (found != classesByName_.end()) return found->second;
  classes_.push_back({name, {}, false, nullptr, {}, std::nullopt});
  classesByName_.emplace(name, classes_.size() - 1);
  return classes_.size() - 1;
}

// ---- Declarations -------------------------------------------------------------------------

void EmitterReader::declare() {
  declarationToken_.assign(tokens_.size(), false);
  std::vector<std::pair<std::size_t, std::uint32_t>> open;  // type and its closing brace
  std::size_t objectiveCClass = kNone;
  for (std::uint32_t i = 0; i < tokens_.size(); ++i) {
    while (!open.empty() && i > open.back().second) open.pop_back();
    std::size_t classId = !open.empty() ? open.back().first : objectiveCClass;
    const SourceToken& token = tokens_[i];
    if (token.kind == Kind::punctuation && (token.text == "-" || token.text == "+") &&
        token.lineBreakBefore && isPunctuation(i + 1, "(")) {
      std::size_t at = i;
      declareObjectiveCMethod(at, classId);
      continue;
    }
    if (token.kind != Kind::identifier) continue;
    const std::string& word = token.text;
    const bool typeWord = word == "class" || word == "struct" || word == "enum" ||
                          word == "extension" || word == "actor";
    if (typeWord && i + 1 < tokens_.size() && tokens_[i + 1].kind == Kind::identifier &&
        tokens_[i + 1].text != "func" && tokens_[i + 1].text != "var" &&
        tokens_[i + 1].text != "let") {
      const std::size_t id = classNamed(tokens_[i + 1].text);
      declarationToken_[i + 1] = true;
      for (std::uint32_t j = i + 2; j < tokens_.size() && j < i + 64; ++j) {
        if (isPunctuation(j, ":") && j + 1 < tokens_.size() && classes_[id].superclass.empty()) {
          classes_[id].superclass = tokens_[j + 1].text;
        }
        if (isPunctuation(j, "{")) {
          if (partners_[j] != j) open.emplace_back(id, partners_[j]);
          break;
        }
      }
    } else if ((word == "@interface" || word == "@implementation") && i + 1 < tokens_.size()) {
      const std::size_t id = classNamed(tokens_[i + 1].text);
      if (word == "@implementation") objectiveCClass = id;
      if (word == "@interface" && isPunctuation(i + 2, ":") && i + 3 < tokens_.size()) {
        classes_[id].superclass = tokens_[i + 3].text;
      }
    } else if (word == "@end") {
      objectiveCClass = kNone;
    } else if (word == "func" && i + 1 < tokens_.size()) {
      declareFunction(i + 1, classId);
    } else if (word == "init" && !isPunctuation(i - 1, ".") &&
               (isPunctuation(i + 1, "(") ||
                ((isPunctuation(i + 1, "?") || isPunctuation(i + 1, "!")) &&
                 isPunctuation(i + 2, "(")))) {
      declareFunction(i, classId);
    } else if (word == "var" && i + 2 < tokens_.size() && isPunctuation(i + 2, ":")) {
      // A computed property: a type, then its body, with no `=` before it.
      for (std::uint32_t j = i + 3; j < tokens_.size() && j < i + 64; ++j) {
        const SourceToken& next = tokens_[j];
        if (next.kind == Kind::punctuation && (next.text == "(" || next.text == "[")) {
          j = partners_[j];
          continue;
        }
        if (isPunctuation(j, "{")) {
          declareFunction(i + 1, classId);
          declarationToken_[i] = true;
        }
        if (next.lineBreakBefore || next.text == "=" || next.text == "{") break;
      }
    }
  }
  // A function named anywhere else is called from there; the others are where the program
  // starts: view controllers' and views' overrides, SwiftUI's makeUIView.
  for (std::uint32_t i = 0; i < tokens_.size(); ++i) {
    if (tokens_[i].kind != Kind::identifier || declarationToken_[i]) continue;
    // `super.viewDidLoad()` and `[super viewDidLoad]` call the superclass's method.
    if ((i >= 2 && isPunctuation(i - 1, ".") && isIdentifier(i - 2, "super")) ||
        (i >= 1 && isIdentifier(i - 1, "super"))) {
      continue;
    }
    const auto found = functionsByName_.find(tokens_[i].text);
    if (found == functionsByName_.end()) continue;
    for (const std::size_t id : found->second) callables_[id].called = true;
  }
}

void EmitterReader::declareFunction(std::size_t nameToken, std::size_t classId) {
  const auto at = static_cast<std::uint32_t>(nameToken);
  Callable function;
  function.name = tokens_[at].text;
  function.classId = classId;
  function.isInit = function.name == "init";
  function.isProperty = at > 0 && isIdentifier(at - 1, "var");
  declarationToken_[at] = true;
  std::uint32_t j = at + 1;
  if (!function.isProperty) {
    while (j < tokens_.size() && !isPunctuation(j, "(") && j < at + 32) ++j;
    if (!isPunctuation(j, "(") || partners_[j] == j) return;
    const std::uint32_t close = partners_[j];
    // Each parameter: [label] name: Type [= default], separated by commas.
    std::uint32_t start = j + 1;
    for (std::uint32_t k = j + 1; k <= close; ++k) {
      const SourceToken& token = tokens_[k];
      if (token.kind == Kind::punctuation && (token.text == "(" || token.text == "[") &&
          partners_[k] != k) {
        k = partners_[k];
        continue;
      }
      if (k != close && !isPunctuation(k, ",")) continue;
      std::string parameter;
      std::pair<std::uint32_t, std::uint32_t> fallback{0, 0};
      for (std::uint32_t p = start; p < k; ++p) {
        if (isPunctuation(p, ":") && p > start && tokens_[p - 1].kind == Kind::identifier &&
            parameter.empty()) {
          parameter = tokens_[p - 1].text;
        }
        if (isPunctuation(p, "=")) {
          fallback = {p + 1, k};
          break;
        }
      }
      if (!parameter.empty()) {
        function.parameters.push_back(parameter);
        function.defaults.push_back(fallback);
      }
      start = k + 1;
    }
    j = close + 1;
  }
  for (; j < tokens_.size() && j < at + 96; ++j) {
    const SourceToken& token = tokens_[j];
    if (token.kind == Kind::punctuation && (token.text == "(" || token.text == "[")) {
      j = partners_[j];
      continue;
    }
    if (token.kind == Kind::identifier &&
        (token.text == "func" || token.text == "var" || token.text == "let")) {
      return;
    }
    if (token.kind == Kind::punctuation && (token.text == "}" || token.text == "=")) return;
    if (isPunctuation(j, "{")) break;
  }
  if (!isPunctuation(j, "{") || partners_[j] == j) return;
  function.bodyBegin = j + 1;
  function.bodyEnd = partners_[j];
  if (function.name == "layerClass" && classId != kNone) {
    for (std::uint32_t k = function.bodyBegin; k < function.bodyEnd && k < function.bodyBegin + 16;
         ++k) {
      if (isIdentifier(k, "CAEmitterLayer")) classes_[classId].layerBacked = true;
    }
  }
  callables_.push_back(std::move(function));
  const std::size_t id = callables_.size() - 1;
  if (callables_[id].isInit) {
    if (classId != kNone) classes_[classId].inits.push_back(id);
  } else {
    functionsByName_[callables_[id].name].push_back(id);
  }
}

// `- (ReturnType)name:(Type)argument label:(Type)argument { ... }`.
void EmitterReader::declareObjectiveCMethod(std::size_t& at, std::size_t classId) {
  std::uint32_t j = partners_[at + 1] + 1;
  if (j >= tokens_.size() || tokens_[j].kind != Kind::identifier) return;
  Callable method;
  method.name = tokens_[j].text;
  method.classId = classId;
  method.isInit = method.name.starts_with("init");
  declarationToken_[j] = true;
  ++j;
  while (isPunctuation(j, ":")) {
    ++j;
    if (isPunctuation(j, "(")) j = partners_[j] + 1;
    if (j < tokens_.size() && tokens_[j].kind == Kind::identifier) {
      method.parameters.push_back(tokens_[j].text);
      method.defaults.emplace_back(0, 0);
      ++j;
    }
    if (j < tokens_.size() && tokens_[j].kind == Kind::identifier && isPunctuation(j + 1, ":")) {
      declarationToken_[j] = true;
      ++j;
    }
  }
  if (!isPunctuation(j, "{") || partners_[j] == j) return;
  method.bodyBegin = j + 1;
  method.bodyEnd = partners_[j];
  at = j;
  if (method.name == "layerClass" && classId != kNone) {
    for (std::uint32_t k = method.bodyBegin; k < method.bodyEnd && k < method.bodyBegin + 16; ++k) {
      if (isIdentifier(k, "CAEmitterLayer")) classes_[classId].layerBacked = true;
    }
  }
  callables_.push_back(std::move(method));
  const std::size_t id = callables_.size() - 1;
  if (callables_[id].isInit && classId != kNone) classes_[classId].inits.push_back(id);
  functionsByName_[callables_[id].name].push_back(id);
}

// ---- Running ---------------------------------------------------------------------------------

void EmitterReader::read() {
  declare();
  global_ = Scope::child(nullptr);
  for (std::size_t id = 0; id < classes_.size(); ++id) {
    classes_[id].scope = Scope::child(global_);
    classes_[id].scope->classId = id;
  }
  executeBlock(0, static_cast<std::uint32_t>(tokens_.size()), global_);
  // Where the program starts: functions nothing in the source calls (a view controller's
  // overrides, SwiftUI's makeUIView), and the initialisers of types that are not emitter cells
  // or layers (a view that sets up its emitter when it is made).
  for (std::size_t id = 0; id < callables_.size() && !exhausted_; ++id) {
    const Callable& function = callables_[id];
    if (function.isClosure || (function.called && !function.isInit)) continue;
    if (function.isInit &&
        (function.classId == kNone || !emitterAncestor(classes_[function.classId].name).empty())) {
      continue;
    }
    executeBody(id, {}, std::nullopt);
  }
}

EmitterReader::Flow EmitterReader::executeBody(std::size_t id,
                                               const std::vector<ImportValue>& arguments,
                                               std::optional<ImportValue> self) {
  if (depth_ >= kMaxDepth || exhausted_) return {false, unknown("the calls nest too deep")};
  const Callable function = callables_[id];
  std::shared_ptr<Scope> parent = function.scope;
  if (!parent) parent = function.classId != kNone ? classes_[function.classId].scope : global_;
  auto scope = Scope::child(parent);
  if (self) scope->self = self;
  for (std::size_t i = 0; i < function.parameters.size(); ++i) {
    ImportValue value = unknown("`" + function.parameters[i] + "` is given at run time");
    if (i < arguments.size()) {
      value = arguments[i];
    } else if (function.defaults[i].first < function.defaults[i].second) {
      Cursor cursor{function.defaults[i].first, function.defaults[i].second};
      value = expression(cursor, scope);
    }
    scope->names[function.parameters[i]] = value;
  }
  for (std::size_t i = 0; i < arguments.size() && i < 4; ++i) {
    scope->names["$" + std::to_string(i)] = arguments[i];
  }
  const std::string outerFunction = function_;
  if (!function.isClosure) function_ = function.name;
  ++depth_;
  Flow flow = executeBlock(function.bodyBegin, function.bodyEnd, scope);
  --depth_;
  function_ = outerFunction;
  return flow;
}

EmitterReader::Flow EmitterReader::executeBlock(std::uint32_t begin, std::uint32_t end,
                                                const std::shared_ptr<Scope>& scope) {
  if (depth_ >= kMaxDepth) {
    note(kNone, "the blocks nest too deep to follow");
    return {};
  }
  ++depth_;
  Cursor cursor{begin, std::min<std::uint32_t>(end, static_cast<std::uint32_t>(tokens_.size()))};
  std::size_t statements = 0;
  bool lastSingle = false;
  ImportValue last;
  Flow flow;
  while (cursor.at < cursor.end && !exhausted_) {
    bool single = false;
    Flow step = executeStatement(cursor, scope, single);
    if (step.returned) {
      flow = std::move(step);
      break;
    }
    ++statements;
    lastSingle = single;
    last = std::move(step.value);
  }
  --depth_;
  // A closure or function of one expression gives its value.
  if (!flow.returned && statements == 1 && lastSingle) flow.value = std::move(last);
  return flow;
}

void EmitterReader::executeDeferred(std::uint32_t begin, std::uint32_t end,
                                    const std::shared_ptr<Scope>& scope,
                                    const std::string& reason) {
  const std::string outer = deferredReason_;
  if (deferredReason_.empty()) deferredReason_ = reason;
  executeBlock(begin, end, Scope::child(scope));
  deferredReason_ = outer;
}

void EmitterReader::skipStatement(Cursor& cursor) {
  const std::uint32_t first = cursor.at;
  while (cursor.at < cursor.end) {
    const SourceToken& token = tokens_[cursor.at];
    if (cursor.at > first && token.lineBreakBefore) return;
    if (token.kind == Kind::punctuation) {
      if (token.text == ";") {
        ++cursor.at;
        return;
      }
      if (token.text == "}" && cursor.at > first) return;
      if ((token.text == "(" || token.text == "[" || token.text == "{" || token.text == "@[" ||
           token.text == "@(" || token.text == "@{") &&
          partners_[cursor.at] != cursor.at) {
        cursor.at = std::min(partners_[cursor.at], cursor.end);
      }
    }
    ++cursor.at;
  }
}

void EmitterReader::skipType(Cursor& cursor) {
  int angles = 0;
  while (cursor.at < cursor.end) {
    const SourceToken& token = tokens_[cursor.at];
    if (token.kind == Kind::punctuation) {
      if (token.text == "(" || token.text == "[") {
        cursor.at = partners_[cursor.at] + 1;
        continue;
      }
      // A comma belongs to the type only between generic brackets: `Dictionary<String, Int>`.
      angles += token.text == "<" ? 1 : token.text == ">" && angles > 0 ? -1 : 0;
      if (token.text == "." || token.text == "?" || token.text == "!" || token.text == "<" ||
          token.text == ">" || (token.text == "," && angles > 0) || token.text == "&" ||
          token.text == "->") {
        ++cursor.at;
        continue;
      }
      return;
    }
    if (token.kind != Kind::identifier || (cursor.at > 0 && token.lineBreakBefore)) return;
    if (cursor.at > 0 && tokens_[cursor.at - 1].kind == Kind::identifier &&
        tokens_[cursor.at - 1].text != "some" && tokens_[cursor.at - 1].text != "any" &&
        tokens_[cursor.at - 1].text != "inout") {
      return;
    }
    ++cursor.at;
  }
}

EmitterReader::Flow EmitterReader::executeStatement(Cursor& cursor,
                                                    const std::shared_ptr<Scope>& scope,
                                                    bool& single) {
  if (!spend()) {
    cursor.at = cursor.end;
    return {};
  }
  const std::uint32_t first = cursor.at;
  const std::uint32_t outerBegin = statementBegin_;
  const std::uint32_t outerEnd = statementEnd_;
  const std::size_t notesBefore = notes_.size();
  statementBegin_ = tokens_[first].begin;
  statementEnd_ = tokens_[first].end;
  Flow flow;
  const auto finish = [&] {
    if (cursor.at == first) ++cursor.at;
    // Long statements cost in proportion to their tokens.
    budget_ -= std::min<std::size_t>(budget_, cursor.at - first);
    const std::uint32_t last = std::min<std::uint32_t>(cursor.at, cursor.end) - 1;
    for (std::size_t i = notesBefore; i < notes_.size(); ++i) {
      if (notes_[i].end == 0) notes_[i].end = std::max(tokens_[last].end, notes_[i].begin);
    }
    statementBegin_ = outerBegin;
    statementEnd_ = outerEnd;
  };
  // The statement ends at the token before the next line or `;`, for notes made while it runs.
  for (std::uint32_t at = first; at < cursor.end; ++at) {
    const SourceToken& token = tokens_[at];
    if (at > first && (token.lineBreakBefore || token.text == ";" || token.text == "}")) break;
    if (token.kind == Kind::punctuation && partners_[at] > at && token.text != "{") {
      at = std::min(partners_[at], cursor.end - 1);
    }
    statementEnd_ = tokens_[at].end;
  }

  const SourceToken& token = tokens_[first];
  const std::string& word = token.text;
  if (token.kind == Kind::punctuation) {
    if (word == "{" && partners_[first] != first) {
      flow = executeBlock(first + 1, partners_[first], Scope::child(scope));
      cursor.at = partners_[first] + 1;
    } else if ((word == "-" || word == "+") && token.lineBreakBefore &&
               isPunctuation(first + 1, "(")) {
      // An Objective-C method, read when it is called.
      cursor.at = partners_[first + 1] + 1;
      while (cursor.at < cursor.end && !isPunctuation(cursor.at, "{") &&
             !isPunctuation(cursor.at, ";")) {
        ++cursor.at;
      }
      if (isPunctuation(cursor.at, "{")) cursor.at = partners_[cursor.at];
      ++cursor.at;
    } else if (word != "-" && word != "+" && word != "(" && word != "[" && word != "." &&
               word != "@[" && word != "@(" && word != "&") {
      ++cursor.at;
    }
    if (cursor.at != first) {
      finish();
      return flow;
    }
  }
  if (token.kind == Kind::identifier) {
    static constexpr std::array<std::string_view, 24> kModifiers{
        "private",  "fileprivate", "public",      "internal", "open",     "final",
        "override", "static",      "lazy",        "weak",     "unowned",  "mutating",
        "dynamic",  "required",    "convenience", "optional", "indirect", "nonisolated",
        "const",    "__block",     "__weak",      "__strong", "extern",   "nonmutating"};
    static constexpr std::array<std::string_view, 14> kLineDirectives{
        "import", "@import", "#import", "#include",  "#if",         "#else",  "#elseif",
        "#endif", "#pragma", "#define", "@property", "@synthesize", "@class", "typealias"};
    const bool classModifier = word == "class" && first + 1 < cursor.end &&
                               (isIdentifier(first + 1, "func") || isIdentifier(first + 1, "var") ||
                                isIdentifier(first + 1, "let"));
    if (std::find(kModifiers.begin(), kModifiers.end(), word) != kModifiers.end() ||
        classModifier) {
      cursor.at = first + 1;
      if (isPunctuation(cursor.at, "(") && word != "optional") cursor.at = partners_[cursor.at] + 1;
      finish();
      return flow;
    }
    if (std::find(kLineDirectives.begin(), kLineDirectives.end(), word) != kLineDirectives.end()) {
      cursor.at = first + 1;
      while (cursor.at < cursor.end && !tokens_[cursor.at].lineBreakBefore) ++cursor.at;
      finish();
      return flow;
    }
    if (word.starts_with('@') && word != "@interface" && word != "@implementation" &&
        word != "@end" && word != "@protocol" && word != "@autoreleasepool") {
      // An attribute: `@objc`, `@IBOutlet`, `@State`, `@available(...)`.
      cursor.at = first + 1;
      if (isPunctuation(cursor.at, "(")) cursor.at = partners_[cursor.at] + 1;
      finish();
      return flow;
    }
    if (word == "@interface" || word == "@protocol") {
      cursor.at = first + 1;
      while (cursor.at < cursor.end && !isIdentifier(cursor.at, "@end")) ++cursor.at;
      ++cursor.at;
      finish();
      return flow;
    }
    if (word == "@implementation") {
      cursor.at = first + 2;
      finish();
      return flow;
    }
    if (word == "@end") {
      cursor.at = first + 1;
      finish();
      return flow;
    }
    if ((word == "class" || word == "struct" || word == "enum" || word == "extension" ||
         word == "actor" || word == "protocol") &&
        first + 1 < cursor.end && tokens_[first + 1].kind == Kind::identifier) {
      const auto found = classesByName_.find(tokens_[first + 1].text);
      std::uint32_t open = first + 2;
      while (open < cursor.end && !isPunctuation(open, "{") && open < first + 64) ++open;
      if (isPunctuation(open, "{") && partners_[open] != open) {
        if (word != "protocol" && found != classesByName_.end()) {
          executeBlock(open + 1, partners_[open], classes_[found->second].scope);
        }
        cursor.at = partners_[open] + 1;
      } else {
        cursor.at = first + 2;
      }
      finish();
      return flow;
    }
    if (word == "func" || word == "init" || word == "deinit" || word == "subscript" ||
        (word == "var" && declarationToken_[first])) {
      // Read when it is called, or as a place the program starts.
      cursor.at = first + 1;
      while (cursor.at < cursor.end && cursor.at < first + 96) {
        if (isPunctuation(cursor.at, "(") || isPunctuation(cursor.at, "[")) {
          cursor.at = partners_[cursor.at] + 1;
          continue;
        }
        if (isPunctuation(cursor.at, "{")) break;
        if (cursor.at > first + 1 &&
            (isIdentifier(cursor.at, "func") || isIdentifier(cursor.at, "var") ||
             isIdentifier(cursor.at, "let") || isPunctuation(cursor.at, "}"))) {
          break;
        }
        ++cursor.at;
      }
      if (isPunctuation(cursor.at, "{")) cursor.at = partners_[cursor.at] + 1;
      finish();
      return flow;
    }
    if (word == "let" || word == "var") {
      cursor.at = first + 1;
      declareNames(cursor, scope);
      finish();
      return flow;
    }
    if (word == "if" || word == "guard") {
      flow = executeIf(cursor, scope, word == "guard");
      finish();
      return flow;
    }
    if (word == "for") {
      flow = executeFor(cursor, scope);
      finish();
      return flow;
    }
    if (word == "while" || word == "switch" || word == "catch" || word == "repeat") {
      std::uint32_t open = first + 1;
      while (open < cursor.end && !isPunctuation(open, "{")) {
        if (isPunctuation(open, "(") || isPunctuation(open, "[")) open = partners_[open];
        ++open;
      }
      if (open < cursor.end && partners_[open] != open) {
        executeDeferred(open + 1, partners_[open], scope,
                        word == "switch"  ? "it is in a `switch`, decided at run time"
                        : word == "catch" ? "it is in a `catch` branch, taken only on errors"
                                          : "it is in a loop that runs at run time");
        cursor.at = partners_[open] + 1;
        if (word == "repeat") skipStatement(cursor);
      } else {
        skipStatement(cursor);
      }
      finish();
      return flow;
    }
    if (word == "do" || word == "defer" || word == "@autoreleasepool") {
      cursor.at = first + 1;
      if (isPunctuation(cursor.at, "{") && partners_[cursor.at] != cursor.at) {
        flow = executeBlock(cursor.at + 1, partners_[cursor.at], Scope::child(scope));
        cursor.at = partners_[cursor.at] + 1;
      }
      finish();
      return flow;
    }
    if (word == "return") {
      cursor.at = first + 1;
      flow.returned = true;
      if (cursor.at < cursor.end && !tokens_[cursor.at].lineBreakBefore &&
          !isPunctuation(cursor.at, ";") && !isPunctuation(cursor.at, "}")) {
        flow.value = expression(cursor, scope);
      }
      if (isPunctuation(cursor.at, ";")) ++cursor.at;
      finish();
      return flow;
    }
    if (word == "case" || word == "default") {
      cursor.at = first + 1;
      while (cursor.at < cursor.end && !isPunctuation(cursor.at, ":")) ++cursor.at;
      ++cursor.at;
      finish();
      return flow;
    }
    if (word == "break" || word == "continue" || word == "fallthrough" || word == "throw" ||
        word == "else") {
      if (word == "else") {
        cursor.at = first + 1;
      } else {
        skipStatement(cursor);
      }
      finish();
      return flow;
    }
    if (declareObjectiveCVariable(cursor, scope)) {
      finish();
      return flow;
    }
  }

  // An expression, perhaps assigned to.
  const std::size_t targetsBefore = targets_.size();
  ImportValue value = expression(cursor, scope);
  if (targets_.size() > targetsBefore && cursor.at < cursor.end &&
      isAssignment(tokens_[cursor.at])) {
    const Target target = targets_.back();
    const std::string op = tokens_[cursor.at].text;
    ++cursor.at;
    ImportValue assigned = expression(cursor, scope);
    if (op != "=") {
      ImportValue current =
          target.variable ? name(target.name, scope) : member(target.base, target.name, scope);
      const auto left = numberOf(current);
      const auto right = numberOf(assigned);
      if (op == "+=" && current.as<Array>() && assigned.as<Array>()) {
        std::vector<ImportValue> joined = *current.as<Array>()->elements;
        for (const ImportValue& element : *assigned.as<Array>()->elements) {
          joined.push_back(element);
        }
        assigned = arrayOf(std::move(joined));
      } else if (left && right) {
        const double result = op == "+="   ? *left + *right
                              : op == "-=" ? *left - *right
                              : op == "*=" ? *left * *right
                                           : *left / *right;
        assigned =
            number(result, current.viewMember.empty() ? assigned.viewMember : current.viewMember);
      } else {
        assigned = unknown("the value is changed by `" + op + "` from a value not known");
      }
    }
    assign(target, assigned, scope);
  } else {
    single = true;
    flow.value = std::move(value);
  }
  targets_.resize(targetsBefore);
  if (cursor.at < cursor.end && cursor.at > first && !tokens_[cursor.at].lineBreakBefore &&
      !isPunctuation(cursor.at, "}")) {
    skipStatement(cursor);
  }
  if (cursor.at == first) skipStatement(cursor);
  finish();
  return flow;
}

void EmitterReader::declareNames(Cursor& cursor, const std::shared_ptr<Scope>& scope) {
  while (cursor.at < cursor.end) {
    std::vector<std::string> names;
    if (isPunctuation(cursor.at, "(")) {
      const std::uint32_t close = partners_[cursor.at];
      for (std::uint32_t at = cursor.at + 1; at < close; ++at) {
        if (tokens_[at].kind == Kind::identifier) names.push_back(tokens_[at].text);
      }
      cursor.at = close + 1;
    } else if (tokens_[cursor.at].kind == Kind::identifier) {
      names.push_back(tokens_[cursor.at].text);
      ++cursor.at;
    } else {
      skipStatement(cursor);
      return;
    }
    if (isPunctuation(cursor.at, ":")) {
      ++cursor.at;
      skipType(cursor);
    }
    ImportValue value =
        unknown("`" + (names.empty() ? std::string() : names[0]) + "` is given a value later");
    if (isPunctuation(cursor.at, "=")) {
      ++cursor.at;
      value = expression(cursor, scope);
    }
    if (names.size() == 1) {
      nameLayer(value, names[0], isLasting(scope));
      scope->names[names[0]] = value;
    } else {
      const Array* tuple = value.as<Array>();
      for (std::size_t i = 0; i < names.size(); ++i) {
        scope->names[names[i]] = tuple != nullptr && i < tuple->elements->size()
                                     ? (*tuple->elements)[i]
                                     : unknown("`" + names[i] + "` is not known");
      }
    }
    if (isPunctuation(cursor.at, "{") && partners_[cursor.at] != cursor.at) {
      // Property observers (`didSet`) run on later changes.
      cursor.at = partners_[cursor.at] + 1;
    }
    if (!isPunctuation(cursor.at, ",") || tokens_[cursor.at].lineBreakBefore) break;
    ++cursor.at;
  }
  if (isPunctuation(cursor.at, ";")) ++cursor.at;
}

// `CAEmitterCell *cell = ...;`, `CGFloat width = ...;`: a C declaration.
bool EmitterReader::declareObjectiveCVariable(Cursor& cursor, const std::shared_ptr<Scope>& scope) {
  std::uint32_t at = cursor.at;
  if (tokens_[at].kind != Kind::identifier || scope->find(tokens_[at].text)) return false;
  ++at;
  while (isPunctuation(at, "*")) ++at;
  if (at >= cursor.end || tokens_[at].kind != Kind::identifier || tokens_[at].lineBreakBefore) {
    return false;
  }
  if (!isPunctuation(at + 1, "=") && !isPunctuation(at + 1, ";") && !isPunctuation(at + 1, ",")) {
    return false;
  }
  cursor.at = at;
  while (cursor.at < cursor.end && tokens_[cursor.at].kind == Kind::identifier) {
    const std::string variable = tokens_[cursor.at].text;
    ++cursor.at;
    ImportValue value = unknown("`" + variable + "` is given a value later");
    if (isPunctuation(cursor.at, "=")) {
      ++cursor.at;
      value = expression(cursor, scope);
    }
    nameLayer(value, variable, isLasting(scope));
    scope->names[variable] = value;
    if (!isPunctuation(cursor.at, ",")) break;
    ++cursor.at;
    while (isPunctuation(cursor.at, "*")) ++cursor.at;
  }
  if (isPunctuation(cursor.at, ";")) ++cursor.at;
  return true;
}

EmitterReader::Flow EmitterReader::executeIf(Cursor& cursor, const std::shared_ptr<Scope>& scope,
                                             bool isGuard) {
  const std::uint32_t first = cursor.at;
  ++cursor.at;
  auto inner = isGuard ? scope : Scope::child(scope);
  // Objective-C: `if (condition) statement` or `if (condition) { ... }`.
  const bool parenthesised = isPunctuation(cursor.at, "(") && !isGuard;
  if (parenthesised) {
    cursor.at = partners_[cursor.at] + 1;
  } else {
    while (cursor.at < cursor.end && !isPunctuation(cursor.at, "{") &&
           !isIdentifier(cursor.at, "else")) {
      if (isIdentifier(cursor.at, "let") || isIdentifier(cursor.at, "var")) {
        ++cursor.at;
        if (cursor.at >= cursor.end || tokens_[cursor.at].kind != Kind::identifier) continue;
        const std::string variable = tokens_[cursor.at].text;
        ++cursor.at;
        if (isPunctuation(cursor.at, ":")) {
          ++cursor.at;
          skipType(cursor);
        }
        ImportValue value = name(variable, scope);
        if (isPunctuation(cursor.at, "=")) {
          ++cursor.at;
          value = expression(cursor, scope, false);
        }
        inner->names[variable] = value;
        continue;
      }
      if (isPunctuation(cursor.at, "(") || isPunctuation(cursor.at, "[")) {
        cursor.at = partners_[cursor.at];
      }
      ++cursor.at;
    }
  }
  Flow flow;
  if (isIdentifier(cursor.at, "else") && isGuard) {
    ++cursor.at;
  }
  if (isPunctuation(cursor.at, "{") && partners_[cursor.at] != cursor.at) {
    const std::uint32_t open = cursor.at;
    if (isGuard) {
      executeDeferred(open + 1, partners_[open], scope,
                      "it is in a `guard` branch, taken only when a condition fails");
    } else {
      flow = executeBlock(open + 1, partners_[open], inner);
    }
    cursor.at = partners_[open] + 1;
  } else if (parenthesised && cursor.at < cursor.end) {
    bool single = false;
    flow = executeStatement(cursor, inner, single);
  }
  // Other branches: their settings are reported, the first branch's kept.
  while (isIdentifier(cursor.at, "else") && !flow.returned) {
    ++cursor.at;
    std::uint32_t open = cursor.at;
    while (open < cursor.end && !isPunctuation(open, "{")) {
      if (isPunctuation(open, "(") || isPunctuation(open, "[")) open = partners_[open];
      ++open;
    }
    if (open >= cursor.end || partners_[open] == open) break;
    executeDeferred(open + 1, partners_[open], scope,
                    "it is in an `else` branch; the import follows the first branch");
    cursor.at = partners_[open] + 1;
  }
  if (cursor.at == first) ++cursor.at;
  return flow;
}

EmitterReader::Flow EmitterReader::executeFor(Cursor& cursor, const std::shared_ptr<Scope>& scope) {
  const std::uint32_t first = cursor.at;
  ++cursor.at;
  std::vector<std::string> pattern;
  ImportValue sequence = unknown("the loop's values are not known");
  // Objective-C: `for (Type *x in list)` or `for (int i = a; i < b; i++)`; Swift's
  // `for (i, x) in list` has its `in` after the parentheses.
  std::uint32_t in = cursor.at + 1;
  const std::uint32_t close = cursor.at < cursor.end ? partners_[cursor.at] : cursor.at;
  if (isPunctuation(cursor.at, "(") && close != cursor.at) {
    while (in < close && !isIdentifier(in, "in") && !isPunctuation(in, ";")) ++in;
  }
  if (isPunctuation(cursor.at, "(") && close != cursor.at && in < close) {
    if (isIdentifier(in, "in") && in > cursor.at + 1) {
      pattern.push_back(tokens_[in - 1].text);
      Cursor inner{in + 1, close};
      sequence = expression(inner, scope);
    } else if (isPunctuation(in, ";")) {
      std::uint32_t equals = cursor.at + 1;
      while (equals < in && !isPunctuation(equals, "=")) ++equals;
      if (equals < in && equals > cursor.at + 1) {
        pattern.push_back(tokens_[equals - 1].text);
        Cursor from{equals + 1, in};
        const auto start = numberOf(expression(from, scope));
        std::uint32_t condition = in + 1;
        std::uint32_t second = condition;
        while (second < close && !isPunctuation(second, ";")) ++second;
        const bool inclusive = isPunctuation(condition + 1, "<=");
        if (isPunctuation(condition + 1, "<") || inclusive) {
          Cursor to{condition + 2, second};
          const auto stop = numberOf(expression(to, scope));
          if (start && stop) {
            sequence = steps(*start, *stop, 1.0, inclusive);
          }
        }
      }
    }
    cursor.at = close + 1;
  } else {
    while (cursor.at < cursor.end && !isIdentifier(cursor.at, "in") &&
           !isPunctuation(cursor.at, "{")) {
      if (tokens_[cursor.at].kind == Kind::identifier && tokens_[cursor.at].text != "case" &&
          tokens_[cursor.at].text != "let" && tokens_[cursor.at].text != "var") {
        pattern.push_back(tokens_[cursor.at].text);
      }
      ++cursor.at;
    }
    if (isIdentifier(cursor.at, "in")) {
      ++cursor.at;
      sequence = expression(cursor, scope, false);
    }
    while (cursor.at < cursor.end && !isPunctuation(cursor.at, "{")) {
      if (isPunctuation(cursor.at, "(") || isPunctuation(cursor.at, "[")) {
        cursor.at = partners_[cursor.at];
      }
      ++cursor.at;
    }
  }
  Flow flow;
  if (isPunctuation(cursor.at, "{") && partners_[cursor.at] != cursor.at) {
    const std::uint32_t open = cursor.at;
    flow = loopOver(sequence, pattern, open, scope);
    cursor.at = partners_[open] + 1;
  } else if (cursor.at < cursor.end) {
    // An Objective-C loop over one statement.
    const std::uint32_t begin = cursor.at;
    skipStatement(cursor);
    const std::string outer = deferredReason_;
    if (deferredReason_.empty()) deferredReason_ = "it is in a loop the import does not follow";
    executeBlock(begin, cursor.at, Scope::child(scope));
    deferredReason_ = outer;
  }
  if (cursor.at == first) ++cursor.at;
  return flow;
}

EmitterReader::Flow EmitterReader::loopOver(const ImportValue& sequence,
                                            const std::vector<std::string>& pattern,
                                            std::uint32_t open,
                                            const std::shared_ptr<Scope>& scope) {
  const Array* array = sequence.as<Array>();
  if (array == nullptr) {
    const std::string why = sequence.isUnknown() ? sequence.as<Unknown>()->why : "";
    executeDeferred(open + 1, partners_[open], scope,
                    "it is in a loop over values not known before run time" +
                        (why.empty() ? std::string() : " (" + why + ")"));
    return {};
  }
  const std::vector<ImportValue> elements = *array->elements;
  for (std::size_t i = 0; i < elements.size() && !exhausted_; ++i) {
    auto inner = Scope::child(scope);
    const Array* tuple = elements[i].as<Array>();
    if (pattern.size() > 1 && tuple != nullptr && tuple->tuple) {
      for (std::size_t k = 0; k < pattern.size() && k < tuple->elements->size(); ++k) {
        inner->names[pattern[k]] = (*tuple->elements)[k];
      }
    } else if (!pattern.empty()) {
      inner->names[pattern[0]] = elements[i];
    }
    Flow flow = executeBlock(open + 1, partners_[open], inner);
    if (flow.returned) return flow;
  }
  return {};
}

// ---- Expressions -------------------------------------------------------------------------------

ImportValue EmitterReader::expression(Cursor& cursor, const std::shared_ptr<Scope>& scope,
                                      bool trailingClosures) {
  if (cursor.at >= cursor.end) return unknown("a value is missing");
  if (depth_ >= kMaxDepth || exhausted_ || !spend()) {
    skipStatement(cursor);
    return unknown("the expression nests too deep to follow");
  }
  ++depth_;
  // Trailing closures are not read where a statement's block follows the expression.
  ImportValue value;
  if (!trailingClosures) {
    const std::uint32_t end = cursor.end;
    std::uint32_t stop = cursor.at;
    while (stop < end && !isPunctuation(stop, "{") && !isIdentifier(stop, "where")) {
      if (tokens_[stop].kind == Kind::punctuation && partners_[stop] > stop &&
          tokens_[stop].text != "{") {
        stop = partners_[stop];
      }
      ++stop;
    }
    cursor.end = stop;
    value = ternary(cursor, scope);
    cursor.end = end;
  } else {
    value = ternary(cursor, scope);
  }
  --depth_;
  return value;
}

ImportValue EmitterReader::ternary(Cursor& cursor, const std::shared_ptr<Scope>& scope) {
  ImportValue value = rangeOrSum(cursor, scope);
  while (isPunctuation(cursor.at, "??") && cursor.at < cursor.end) {
    ++cursor.at;
    ImportValue fallback = rangeOrSum(cursor, scope);
    if (value.isUnknown()) value = std::move(fallback);
  }
  if (isPunctuation(cursor.at, "?") && cursor.at < cursor.end) {
    ++cursor.at;
    expression(cursor, scope);
    if (isPunctuation(cursor.at, ":")) {
      ++cursor.at;
      expression(cursor, scope);
    }
    return unknown("the value is chosen by a condition at run time");
  }
  return value;
}

ImportValue EmitterReader::rangeOrSum(Cursor& cursor, const std::shared_ptr<Scope>& scope) {
  ImportValue low = sum(cursor, scope);
  if (cursor.at >= cursor.end ||
      (!isPunctuation(cursor.at, "..<") && !isPunctuation(cursor.at, "..."))) {
    return low;
  }
  const bool inclusive = tokens_[cursor.at].text == "...";
  ++cursor.at;
  const ImportValue high = sum(cursor, scope);
  const auto from = numberOf(low);
  const auto to = numberOf(high);
  if (!from || !to) return unknown("the range's bounds are not known");
  return steps(*from, *to, 1.0, inclusive);
}

ImportValue EmitterReader::sum(Cursor& cursor, const std::shared_ptr<Scope>& scope) {
  ImportValue value = product(cursor, scope);
  while (cursor.at < cursor.end &&
         (isPunctuation(cursor.at, "+") || isPunctuation(cursor.at, "-")) &&
         !tokens_[cursor.at].lineBreakBefore) {
    const bool plus = tokens_[cursor.at].text == "+";
    ++cursor.at;
    const ImportValue right = product(cursor, scope);
    const Array* leftArray = value.as<Array>();
    const Array* rightArray = right.as<Array>();
    if (plus && leftArray && rightArray) {
      std::vector<ImportValue> joined = *leftArray->elements;
      joined.insert(joined.end(), rightArray->elements->begin(), rightArray->elements->end());
      value = arrayOf(std::move(joined));
      continue;
    }
    const auto a = numberOf(value);
    const auto b = numberOf(right);
    if (a && b) {
      value = number(plus ? *a + *b : *a - *b,
                     value.viewMember.empty() ? right.viewMember : value.viewMember);
    } else if (!value.isUnknown()) {
      value = right.isUnknown() ? right : unknown("the sum is not of numbers");
    }
  }
  return value;
}

ImportValue EmitterReader::product(Cursor& cursor, const std::shared_ptr<Scope>& scope) {
  ImportValue value = prefixed(cursor, scope);
  while (cursor.at < cursor.end &&
         (isPunctuation(cursor.at, "*") || isPunctuation(cursor.at, "/") ||
          isPunctuation(cursor.at, "%"))) {
    const char op = tokens_[cursor.at].text[0];
    ++cursor.at;
    const ImportValue right = prefixed(cursor, scope);
    const auto a = numberOf(value);
    const auto b = numberOf(right);
    if (a && b) {
      const double result = op == '*' ? *a * *b : op == '/' ? *a / *b : std::fmod(*a, *b);
      value = number(result, value.viewMember.empty() ? right.viewMember : value.viewMember);
    } else if (!value.isUnknown()) {
      value = right.isUnknown() ? right : unknown("the product is not of numbers");
    }
  }
  // `as`, `as?`, `as!` keep the value.
  while (isIdentifier(cursor.at, "as") && cursor.at < cursor.end) {
    ++cursor.at;
    if (isPunctuation(cursor.at, "!") || isPunctuation(cursor.at, "?")) ++cursor.at;
    skipType(cursor);
  }
  return value;
}

ImportValue EmitterReader::prefixed(Cursor& cursor, const std::shared_ptr<Scope>& scope) {
  // Prefix operators and casts, read in a loop: a run of them costs no stack.
  bool negated = false;
  bool condition = false;
  while (cursor.at < cursor.end) {
    const SourceToken& token = tokens_[cursor.at];
    if (token.kind == Kind::identifier &&
        (token.text == "try" || token.text == "await" || token.text == "inout")) {
      ++cursor.at;
      if (isPunctuation(cursor.at, "?") || isPunctuation(cursor.at, "!")) ++cursor.at;
      continue;
    }
    if (token.kind != Kind::punctuation) break;
    if (token.text == "-" || token.text == "+") {
      negated = negated != (token.text == "-");
      ++cursor.at;
      continue;
    }
    if (token.text == "!" || token.text == "~") {
      condition = true;
      ++cursor.at;
      continue;
    }
    if (token.text == "&" || token.text == "*") {
      ++cursor.at;
      continue;
    }
    // An Objective-C cast: `(id)`, `(CGFloat)`, `(__bridge id)`, `(CAEmitterLayer *)`.
    const std::uint32_t close = partners_[cursor.at];
    if (token.text != "(" || close <= cursor.at + 1 || close > cursor.at + 4 ||
        close + 1 >= cursor.end) {
      break;
    }
    bool cast = true;
    for (std::uint32_t at = cursor.at + 1; at < close && cast; ++at) {
      cast = tokens_[at].kind == Kind::identifier || isPunctuation(at, "*");
    }
    const SourceToken& type = tokens_[cursor.at + 1];
    const SourceToken& after = tokens_[close + 1];
    const bool typeLike =
        !type.text.empty() && ((type.text[0] >= 'A' && type.text[0] <= 'Z') || type.text == "id" ||
                               type.text == "float" || type.text == "double" ||
                               type.text == "int" || type.text.starts_with("__"));
    const bool operand = after.kind != Kind::punctuation || after.text == "[" ||
                         after.text == "(" || after.text == "@[" || after.text == "@(";
    if (!cast || !typeLike || !operand || after.lineBreakBefore) break;
    cursor.at = close + 1;
  }
  if (cursor.at >= cursor.end) return unknown("a value is missing");
  ImportValue value = postfixed(cursor, scope);
  if (condition) return unknown("a condition");
  if (!negated) return value;
  if (const auto n = numberOf(value)) return number(-*n, value.viewMember);
  return value.isUnknown() ? value : unknown("a negated value is not a number");
}

ImportValue EmitterReader::postfixed(Cursor& cursor, const std::shared_ptr<Scope>& scope) {
  const std::uint32_t start = cursor.at;
  const bool bareName = tokens_[start].kind == Kind::identifier;
  ImportValue value = primary(cursor, scope);
  // A name the source does not define, called: a global function.
  bool unresolved =
      bareName && cursor.at == start + 1 && value.isUnknown() && !scope->find(tokens_[start].text);
  while (cursor.at < cursor.end && !exhausted_) {
    const SourceToken& token = tokens_[cursor.at];
    if (token.kind != Kind::punctuation) break;
    const bool adjacent = cursor.at > 0 && tokens_[cursor.at - 1].end == token.begin;
    if ((token.text == "!" || token.text == "?") && adjacent && !token.lineBreakBefore) {
      ++cursor.at;
      continue;
    }
    if ((token.text == "." || token.text == "?.") && cursor.at + 1 < cursor.end) {
      const SourceToken& memberToken = tokens_[cursor.at + 1];
      if (memberToken.kind == Kind::number) {
        // A tuple's element: `pair.0`.
        const Array* tuple = value.as<Array>();
        const double index = std::atof(memberToken.text.c_str());
        value =
            tuple != nullptr && index >= 0 && index < static_cast<double>(tuple->elements->size())
                ? (*tuple->elements)[static_cast<std::size_t>(index)]
                : unknown("a tuple element is not known");
        cursor.at += 2;
        continue;
      }
      if (memberToken.kind != Kind::identifier) break;
      const std::string memberName = memberToken.text;
      cursor.at += 2;
      if (cursor.at < cursor.end && isAssignment(tokens_[cursor.at])) {
        targets_.push_back({false, memberName, value});
        return value;
      }
      // `layer.emitterPosition.x = ...` sets part of a layer's point.
      if (value.as<ObjectRef>() &&
          (memberName == "emitterPosition" || memberName == "emitterSize") &&
          isPunctuation(cursor.at, ".") && cursor.at + 2 < cursor.end &&
          isAssignment(tokens_[cursor.at + 2])) {
        targets_.push_back({false, memberName + "." + tokens_[cursor.at + 1].text, value});
        cursor.at += 2;
        return value;
      }
      if (isPunctuation(cursor.at, "(") && !tokens_[cursor.at].lineBreakBefore) {
        std::vector<Argument> given = arguments(cursor, scope);
        value = callMethod(value, memberName, std::move(given), scope);
      } else if (isPunctuation(cursor.at, "{") && !tokens_[cursor.at].lineBreakBefore &&
                 partners_[cursor.at] != cursor.at) {
        std::vector<Argument> given;
        given.push_back({"", closure(cursor, scope)});
        value = callMethod(value, memberName, std::move(given), scope);
      } else {
        value = member(value, memberName, scope);
      }
      unresolved = false;
      continue;
    }
    if (token.text == "(" && !token.lineBreakBefore) {
      std::vector<Argument> given = arguments(cursor, scope);
      if (unresolved) {
        value =
            callMethod(ImportValue{TypeName{""}, {}}, tokens_[start].text, std::move(given), scope);
      } else {
        value = call(value, std::move(given), scope);
      }
      unresolved = false;
      continue;
    }
    if (token.text == "{" && !token.lineBreakBefore && partners_[cursor.at] != cursor.at) {
      std::vector<Argument> given;
      given.push_back({"", closure(cursor, scope)});
      value = unresolved ? callMethod(ImportValue{TypeName{""}, {}}, tokens_[start].text,
                                      std::move(given), scope)
                         : call(value, std::move(given), scope);
      unresolved = false;
      continue;
    }
    if (token.text == "[" && !token.lineBreakBefore && partners_[cursor.at] != cursor.at) {
      const std::uint32_t close = partners_[cursor.at];
      Cursor inner{cursor.at + 1, close};
      const ImportValue index = inner.at < close ? expression(inner, scope) : ImportValue{};
      const Array* array = value.as<Array>();
      const auto position = numberOf(index);
      value = array != nullptr && position && *position >= 0 &&
                      *position < static_cast<double>(array->elements->size())
                  ? (*array->elements)[static_cast<std::size_t>(*position)]
                  : unknown("an element picked at run time");
      cursor.at = close + 1;
      continue;
    }
    break;
  }
  return value;
}

ImportValue EmitterReader::primary(Cursor& cursor, const std::shared_ptr<Scope>& scope) {
  const SourceToken& token = tokens_[cursor.at];
  const std::uint32_t at = cursor.at;
  switch (token.kind) {
    case Kind::number: {
      ++cursor.at;
      return number(std::strtod(token.text.c_str(), nullptr));
    }
    case Kind::string:
      ++cursor.at;
      if (token.interpolated) return interpolation(token, scope);
      return ImportValue{Text{token.text}, {}};
    case Kind::identifier: {
      ++cursor.at;
      if (token.text == "#colorLiteral" || token.text == "#imageLiteral") {
        if (!isPunctuation(cursor.at, "(")) return unknown("a literal without values");
        const std::vector<Argument> given = arguments(cursor, scope);
        return construct(token.text == "#colorLiteral" ? "UIColor" : "UIImage", given);
      }
      if (cursor.at < cursor.end && isAssignment(tokens_[cursor.at]) &&
          !tokens_[cursor.at].lineBreakBefore) {
        targets_.push_back({true, token.text, {}});
        return name(token.text, scope);
      }
      return name(token.text, scope);
    }
    case Kind::punctuation:
      break;
  }
  const std::string& text = token.text;
  if (text == "." && cursor.at + 1 < cursor.end &&
      tokens_[cursor.at + 1].kind == Kind::identifier) {
    cursor.at += 2;
    const std::string& memberName = tokens_[at + 1].text;
    if (isPunctuation(cursor.at, "(") && !tokens_[cursor.at].lineBreakBefore) {
      arguments(cursor, scope);
      return unknown("`." + memberName + "(…)` is not known");
    }
    return ImportValue{Constant{memberName, "." + memberName}, {}};
  }
  if (partners_[at] != at && partners_[at] > at) {
    const std::uint32_t close = partners_[at];
    if (text == "(") {
      ImportValue value = list(at, scope);
      cursor.at = close + 1;
      const Array* tuple = value.as<Array>();
      if (tuple != nullptr && tuple->elements->size() == 1) return (*tuple->elements)[0];
      return value;
    }
    if (text == "[") {
      ImportValue value = messageSend(cursor, scope);
      cursor.at = close + 1;
      return value;
    }
    if (text == "@[") {
      ImportValue value = list(at, scope);
      cursor.at = close + 1;
      if (Array* array = std::get_if<Array>(&value.payload)) array->tuple = false;
      return value;
    }
    if (text == "@(") {
      Cursor inner{at + 1, close};
      ImportValue value = inner.at < close ? expression(inner, scope) : ImportValue{};
      cursor.at = close + 1;
      return value;
    }
    if (text == "{") return closure(cursor, scope);
    cursor.at = close + 1;
    return unknown("a dictionary is not read");
  }
  ++cursor.at;
  return unknown("`" + text + "` is not read");
}

// A string with interpolations of names the reader knows (`"spark\\(index)"`), put together as
// Swift prints them: a whole number without a fraction.
ImportValue EmitterReader::interpolation(const SourceToken& token,
                                         const std::shared_ptr<Scope>& scope) {
  std::string text;
  for (std::size_t i = 0; i < token.pieces.size(); ++i) {
    if (i % 2 == 0) {
      text += token.pieces[i];
      continue;
    }
    const std::string& piece = token.pieces[i];
    const bool simpleName = !piece.empty() &&
                            piece.find_first_not_of(
                                "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                "0123456789_$") == std::string::npos &&
                            !(piece[0] >= '0' && piece[0] <= '9');
    const ImportValue value =
        simpleName ? name(piece, scope) : unknown("the text is put together at run time");
    if (const Text* part = value.as<Text>()) {
      text += part->text;
    } else if (const auto number = numberOf(value); number && std::isfinite(*number)) {
      char written[32];
      std::snprintf(written, sizeof written,
                    *number == std::trunc(*number) && std::abs(*number) < 1e15 ? "%.0f" : "%g",
                    *number);
      text += written;
    } else {
      return unknown("the text is put together at run time");
    }
  }
  return ImportValue{Text{std::move(text)}, {}};
}

// The values between a bracket and its partner, separated by commas; labels are dropped.
ImportValue EmitterReader::list(std::uint32_t open, const std::shared_ptr<Scope>& scope) {
  Cursor inner{open + 1, partners_[open]};
  std::vector<ImportValue> values;
  while (inner.at < inner.end && !exhausted_) {
    if (tokens_[inner.at].kind == Kind::identifier && isPunctuation(inner.at + 1, ":")) {
      inner.at += 2;
    }
    const std::uint32_t before = inner.at;
    values.push_back(expression(inner, scope));
    while (inner.at < inner.end && !isPunctuation(inner.at, ",")) {
      if (partners_[inner.at] > inner.at) inner.at = partners_[inner.at];
      ++inner.at;
    }
    if (inner.at == before) ++inner.at;
    if (isPunctuation(inner.at, ",")) ++inner.at;
  }
  return arrayOf(std::move(values), true);
}

// `[receiver selector]`, `[receiver part: value part: value]`, or an array literal.
ImportValue EmitterReader::messageSend(Cursor& cursor, const std::shared_ptr<Scope>& scope) {
  const std::uint32_t open = cursor.at;
  const std::uint32_t close = partners_[open];
  if (close == open + 1) return arrayOf({});
  Cursor inner{open + 1, close};
  // `[String: Int]` and `[:]` are dictionaries or types.
  if (isPunctuation(inner.at, ":")) return unknown("a dictionary is not read");
  ImportValue receiver = expression(inner, scope);
  if (inner.at >= close || isPunctuation(inner.at, ",")) {
    ImportValue array = list(open, scope);
    if (Array* elements = std::get_if<Array>(&array.payload)) elements->tuple = false;
    return array;
  }
  if (tokens_[inner.at].kind != Kind::identifier) {
    if (isPunctuation(inner.at, ":")) return unknown("a dictionary is not read");
    return unknown("the message is not read");
  }
  std::string selector = tokens_[inner.at].text;
  ++inner.at;
  std::vector<Argument> given;
  if (isPunctuation(inner.at, ":")) {
    ++inner.at;
    given.push_back({"", expression(inner, scope)});
    while (inner.at < close) {
      if (isPunctuation(inner.at, ",")) {
        // A list of objects ending in nil.
        ++inner.at;
        ImportValue element = expression(inner, scope);
        if (const Constant* constant = element.as<Constant>();
            !(constant && constant->name == "nil")) {
          given.push_back({"", std::move(element)});
        }
        continue;
      }
      if (tokens_[inner.at].kind != Kind::identifier || !isPunctuation(inner.at + 1, ":")) {
        ++inner.at;
        continue;
      }
      const std::string label = tokens_[inner.at].text;
      inner.at += 2;
      given.push_back({label, expression(inner, scope)});
    }
  }
  return callMethod(receiver, selector, std::move(given), scope);
}

ImportValue EmitterReader::closure(Cursor& cursor, const std::shared_ptr<Scope>& scope) {
  const std::uint32_t open = cursor.at;
  const std::uint32_t close = partners_[open];
  cursor.at = close + 1;
  Callable function;
  function.isClosure = true;
  function.called = true;
  function.scope = scope;
  function.bodyBegin = open + 1;
  function.bodyEnd = close;
  // `{ [weak self] (a, b) -> T in`: the parameters come before `in`.
  std::uint32_t at = open + 1;
  if (isPunctuation(at, "[") && partners_[at] < close) at = partners_[at] + 1;
  std::vector<std::string> parameters;
  bool returnType = false;
  for (std::uint32_t k = at; k < close && k < at + 32; ++k) {
    const SourceToken& token = tokens_[k];
    returnType = returnType || isPunctuation(k, "->");
    if (isIdentifier(k, "in")) {
      function.parameters = parameters;
      function.defaults.assign(parameters.size(), {0, 0});
      function.bodyBegin = k + 1;
      break;
    }
    if (token.kind == Kind::identifier &&
        (isPunctuation(k + 1, ",") || isPunctuation(k + 1, ")") || isPunctuation(k + 1, ":") ||
         isIdentifier(k + 1, "in") || isPunctuation(k + 1, "->"))) {
      if (!returnType && (k == at || !isPunctuation(k - 1, ":"))) {
        parameters.push_back(token.text);
      }
    } else if (token.kind == Kind::punctuation && token.text != "(" && token.text != ")" &&
               token.text != "," && token.text != ":" && token.text != "->" && token.text != "." &&
               token.text != "?" && token.text != "[" && token.text != "]") {
      break;
    } else if (token.kind != Kind::identifier && token.kind != Kind::punctuation) {
      break;
    }
  }
  callables_.push_back(std::move(function));
  return ImportValue{CallableRef{callables_.size() - 1}, {}};
}

std::vector<EmitterReader::Argument> EmitterReader::arguments(Cursor& cursor,
                                                              const std::shared_ptr<Scope>& scope) {
  const std::uint32_t open = cursor.at;
  const std::uint32_t close = partners_[open];
  std::vector<Argument> given;
  if (close == open) {
    ++cursor.at;
    return given;
  }
  Cursor inner{open + 1, close};
  while (inner.at < close && !exhausted_) {
    std::string label;
    if (tokens_[inner.at].kind == Kind::identifier && isPunctuation(inner.at + 1, ":")) {
      label = tokens_[inner.at].text;
      inner.at += 2;
    }
    const std::uint32_t before = inner.at;
    given.push_back({label, expression(inner, scope)});
    while (inner.at < close && !isPunctuation(inner.at, ",")) {
      if (partners_[inner.at] > inner.at) inner.at = partners_[inner.at];
      ++inner.at;
    }
    if (inner.at == before) ++inner.at;
    if (isPunctuation(inner.at, ",")) ++inner.at;
  }
  cursor.at = close + 1;
  // Trailing closures.
  while (isPunctuation(cursor.at, "{") && !tokens_[cursor.at].lineBreakBefore &&
         partners_[cursor.at] != cursor.at && cursor.at < cursor.end) {
    given.push_back({"", closure(cursor, scope)});
  }
  return given;
}

// ---- Names, members and calls ------------------------------------------------------------------

ImportValue EmitterReader::name(const std::string& word, const std::shared_ptr<Scope>& scope) {
  if (ImportValue* found = scope->find(word)) return *found;
  if (word == "self") {
    if (scope->self) return *scope->self;
    if (scope->classId != kNone) return ImportValue{Instance{scope->classId}, {}};
    return ImportValue{View{}, {}};
  }
  if (scope->self) {
    if (const ObjectRef* object = scope->self->as<ObjectRef>()) {
      if (!objects_[object->id].isLayer || word.starts_with("emitter") || word == "renderMode") {
        const ImportValue value = readSetting(object->id, word);
        if (!value.isUnknown()) return value;
      }
    }
  }
  if (scope->classId != kNone) {
    const ImportValue value = member(ImportValue{Instance{scope->classId}, {}}, word, scope);
    if (!value.isUnknown()) return value;
  }
  if (word == "M_PI") return number(std::numbers::pi);
  if (word == "M_PI_2") return number(std::numbers::pi / 2);
  if (word == "M_PI_4") return number(std::numbers::pi / 4);
  if (word == "nil" || word == "NULL" || word == "true" || word == "false" || word == "YES" ||
      word == "NO") {
    return ImportValue{Constant{word, word}, {}};
  }
  if (word.starts_with("kCAEmitterLayer") && word.size() > 15) {
    return ImportValue{Constant{lowerFirst(word.substr(15)), word}, {}};
  }
  if (word == "bounds" || word == "frame" || word == "center" || word == "view" ||
      word == "superview") {
    return member(ImportValue{View{}, {}}, word, scope);
  }
  const auto function = functionsByName_.find(word);
  if (function != functionsByName_.end()) {
    const std::size_t id = function->second.front();
    if (callables_[id].isProperty) return executeBody(id, {}, std::nullopt).value;
    return ImportValue{CallableRef{id}, {}};
  }
  if (!word.empty() && word[0] >= 'A' && word[0] <= 'Z') return ImportValue{TypeName{word}, {}};
  return unknown("`" + word + "` is not known before run time");
}

ImportValue EmitterReader::readSetting(std::size_t id, const std::string& key) {
  const Object& object = objects_[id];
  if (key == "emitterCells") {
    std::vector<ImportValue> cells;
    for (const std::size_t cell : object.cells) cells.push_back(ImportValue{ObjectRef{cell}, {}});
    return arrayOf(std::move(cells));
  }
  const auto found = object.settings.find(key);
  if (found != object.settings.end()) return found->second.value;
  if (key == "emitterPosition" || key == "emitterSize") {
    const ImportValue first = readSetting(id, key + (key == "emitterSize" ? ".width" : ".x"));
    const ImportValue second = readSetting(id, key + (key == "emitterSize" ? ".height" : ".y"));
    const double a = numberOf(first).value_or(0.0);
    const double b = numberOf(second).value_or(0.0);
    if (key == "emitterSize") return ImportValue{Size{a, b}, first.viewMember};
    return ImportValue{Point{a, b},
                       first.viewMember.empty() ? second.viewMember : first.viewMember};
  }
  // Core Animation's defaults for what the source has not set.
  static constexpr std::array<std::string_view, 28> kNumbers{
      "birthRate",         "lifetime",          "lifetimeRange",   "beginTime",     "duration",
      "velocity",          "velocityRange",     "xAcceleration",   "yAcceleration", "zAcceleration",
      "emissionLatitude",  "emissionLongitude", "emissionRange",   "spin",          "spinRange",
      "scaleRange",        "scaleSpeed",        "alphaRange",      "alphaSpeed",    "redRange",
      "greenRange",        "blueRange",         "redSpeed",        "greenSpeed",    "blueSpeed",
      "emitterPosition.x", "emitterPosition.y", "emitterZPosition"};
  if (key == "scale" || key == "speed" ||
      (object.isLayer &&
       (key == "birthRate" || key == "lifetime" || key == "velocity" || key == "spin"))) {
    return number(1.0);
  }
  if (std::find(kNumbers.begin(), kNumbers.end(), key) != kNumbers.end() ||
      key.starts_with("emitterSize.")) {
    return number(0.0);
  }
  if (key == "color") return ImportValue{platform::Color::whiteColor(), {}};
  if (key == "name") return ImportValue{Text{}, {}};
  return unknown("`" + key + "` is not set before it is read");
}

ImportValue EmitterReader::member(const ImportValue& base, const std::string& word,
                                  const std::shared_ptr<Scope>& scope) {
  if (base.isUnknown()) return base;
  if (const ObjectRef* object = base.as<ObjectRef>()) return readSetting(object->id, word);
  if (const Instance* instance = base.as<Instance>()) {
    ClassInfo& type = classes_[instance->classId];
    if (ImportValue* found = type.scope->find(word); found && type.scope->names.count(word)) {
      return *found;
    }
    if (word == "layer" && type.layerBacked) {
      if (!type.layer) {
        const std::string outer = function_;
        function_ = "layerClass";
        const ImportValue layer = newObject(true);
        function_ = outer;
        type.layer = layer.as<ObjectRef>()->id;
        objects_[*type.layer].name = type.name;
      }
      return ImportValue{ObjectRef{*type.layer}, {}};
    }
    const auto function = functionsByName_.find(word);
    if (function != functionsByName_.end()) {
      for (const std::size_t id : function->second) {
        if (callables_[id].classId != instance->classId) continue;
        if (callables_[id].isProperty) return executeBody(id, {}, std::nullopt).value;
        return ImportValue{CallableRef{id}, {}};
      }
    }
    if (word == "bounds" || word == "frame" || word == "center" || word == "view" ||
        word == "layer" || word == "superview") {
      return member(ImportValue{View{}, {}}, word, scope);
    }
    return unknown("`self." + word + "` is not known before run time");
  }
  if (base.as<View>()) {
    const double width = options_.viewWidth;
    const double height = options_.viewHeight;
    if (word == "bounds" || word == "frame")
      return ImportValue{Rect{0.0, 0.0, width, height}, word};
    if (word == "center") return ImportValue{Point{width / 2, height / 2}, word};
    if (word == "view" || word == "layer" || word == "superview" || word == "main" ||
        word == "window" || word == "contentView") {
      return base;
    }
    return unknown("the view's `" + word + "` is not known before run time");
  }
  if (const TypeName* type = base.as<TypeName>()) {
    if (word == "pi") return number(std::numbers::pi);
    if (word == "self") return base;
    if (word == "zero") {
      if (type->name.ends_with("Point")) return ImportValue{Point{}, {}};
      if (type->name.ends_with("Size")) return ImportValue{Size{}, {}};
      if (type->name.ends_with("Rect")) return ImportValue{Rect{}, {}};
      return number(0.0);
    }
    if (type->name == "UIScreen" || type->name == "NSScreen") return ImportValue{View{}, {}};
    if (isColorType(type->name)) {
      if (const auto color = namedColor(word)) return ImportValue{*color, {}};
      return unknown("the colour `" + type->name + "." + word +
                     "` changes with the system's appearance");
    }
    if (type->name.starts_with("CAEmitterLayer") || type->name.starts_with("CAEmitterCell")) {
      return ImportValue{Constant{word, type->name + "." + word}, {}};
    }
    const auto found = classesByName_.find(type->name);
    if (found != classesByName_.end()) {
      return member(ImportValue{Instance{found->second}, {}}, word, scope);
    }
    return unknown("`" + type->name + "." + word + "` is not known");
  }
  if (const Rect* rect = base.as<Rect>()) {
    const std::string& from = base.viewMember;
    if (word == "origin") return ImportValue{Point{rect->x, rect->y}, from};
    if (word == "size") return ImportValue{Size{rect->width, rect->height}, from};
    if (word == "width") return number(rect->width, from);
    if (word == "height") return number(rect->height, from);
    if (word == "midX") return number(rect->x + rect->width / 2, from);
    if (word == "midY") return number(rect->y + rect->height / 2, from);
    if (word == "minX") return number(rect->x, from);
    if (word == "minY") return number(rect->y, from);
    if (word == "maxX") return number(rect->x + rect->width, from);
    if (word == "maxY") return number(rect->y + rect->height, from);
  }
  if (const Point* point = base.as<Point>()) {
    if (word == "x") return number(point->x, base.viewMember);
    if (word == "y") return number(point->y, base.viewMember);
  }
  if (const Size* size = base.as<Size>()) {
    if (word == "width") return number(size->width, base.viewMember);
    if (word == "height") return number(size->height, base.viewMember);
  }
  if (word == "cgColor" || word == "CGColor") {
    if (base.as<platform::Color>() || (base.as<Constant>() && colorOf(base))) return base;
    if (const Constant* constant = base.as<Constant>()) {
      return unknown("the colour `" + constant->spelling +
                     "` changes with the system's appearance");
    }
  }
  if (base.as<Image>() && (word == "cgImage" || word == "CGImage")) return base;
  if (const Array* array = base.as<Array>()) {
    if (word == "count") return number(static_cast<double>(array->elements->size()));
    if (word == "first" || word == "last") {
      if (array->elements->empty()) return unknown("the array is empty");
      return word == "first" ? array->elements->front() : array->elements->back();
    }
    if (word == "indices") {
      std::vector<ImportValue> indices;
      for (std::size_t i = 0; i < array->elements->size(); ++i)
        indices.push_back(number(static_cast<double>(i)));
      return arrayOf(std::move(indices));
    }
    if (array->tuple && (word == "offset" || word == "element") && array->elements->size() == 2) {
      return (*array->elements)[word == "offset" ? 0 : 1];
    }
  }
  return unknown("`." + word + "` is not known before run time");
}

ImportValue EmitterReader::call(const ImportValue& callee, std::vector<Argument> given,
                                const std::shared_ptr<Scope>& scope) {
  if (callee.as<CallableRef>()) {
    std::vector<ImportValue> values;
    for (Argument& argument : given) values.push_back(std::move(argument.value));
    return apply(callee, values);
  }
  if (const TypeName* type = callee.as<TypeName>()) {
    // `CGPointMake(…)`, `NSMakeRect(…)`, `CGColorCreateGenericRGB(…)`: functions, not types.
    if (type->name.find("Make") != std::string::npos || type->name.starts_with("CGColorCreate")) {
      return callMethod(ImportValue{TypeName{""}, {}}, type->name, std::move(given), scope);
    }
    return construct(type->name, given);
  }
  if (const Array* array = callee.as<Array>();
      array && array->elements->size() == 1 && (*array->elements)[0].as<TypeName>()) {
    return arrayOf({});
  }
  runLater(given, scope);
  return callee.isUnknown() ? callee : unknown("the value is not something that can be called");
}

// Closures handed to calls the reader does not follow run later, if at all: their settings are
// reported, not applied.
void EmitterReader::runLater(const std::vector<Argument>& given,
                             const std::shared_ptr<Scope>& scope) {
  for (const Argument& argument : given) {
    const CallableRef* closure = argument.value.as<CallableRef>();
    if (closure == nullptr) continue;
    const Callable function = callables_[closure->id];
    executeDeferred(function.bodyBegin, function.bodyEnd, function.scope ? function.scope : scope,
                    "it is in a closure that runs later, at run time");
  }
}

ImportValue EmitterReader::apply(const ImportValue& function,
                                 const std::vector<ImportValue>& given) {
  const CallableRef* callable = function.as<CallableRef>();
  if (callable == nullptr) return unknown("the function is not known");
  const std::size_t id = callable->id;
  if (callables_[id].isInit) return unknown("an initialiser is called directly");
  return executeBody(id, given, std::nullopt).value;
}

ImportValue EmitterReader::callMethod(const ImportValue& receiver, const std::string& method,
                                      std::vector<Argument> given,
                                      const std::shared_ptr<Scope>& scope) {
  const auto firstValue = [&]() -> ImportValue {
    return given.empty() ? unknown("a value is missing") : given.front().value;
  };
  std::vector<ImportValue> values;
  for (const Argument& argument : given) values.push_back(argument.value);

  if (const ObjectRef* object = receiver.as<ObjectRef>()) {
    if (method == "setValue") {
      note(object->id, "a change through a key path is made at run time; it is not applied");
      return {};
    }
    if (method == "add" || method == "addAnimation") {
      note(object->id, "an animation runs at run time; it is not applied");
      return {};
    }
    // `self.init()` in a convenience initialiser runs the type's other initialiser first.
    if (method == "init" && scope->classId != kNone) {
      std::vector<std::size_t> inits = classes_[scope->classId].inits;
      const auto chosen = std::find_if(inits.begin(), inits.end(), [&](std::size_t id) {
        return callables_[id].parameters.size() == values.size();
      });
      if (chosen != inits.end()) executeBody(*chosen, values, receiver);
      return receiver;
    }
    if (method.size() > 3 && method.starts_with("set") && method[3] >= 'A' && method[3] <= 'Z' &&
        given.size() == 1) {
      setMember(object->id, lowerFirst(method.substr(3)), given.front().value);
      return {};
    }
    if (given.empty() && !method.starts_with("remove")) return readSetting(object->id, method);
    return unknown("`" + method + "` is not read");
  }
  if (const Array* array = receiver.as<Array>()) {
    if ((method == "map" || method == "compactMap" || method == "flatMap" || method == "forEach") &&
        !values.empty()) {
      std::vector<ImportValue> mapped;
      const std::vector<ImportValue> elements = *array->elements;
      for (const ImportValue& element : elements) {
        std::vector<ImportValue> parameters{element};
        if (const Array* tuple = element.as<Array>(); tuple && tuple->tuple) {
          parameters = *tuple->elements;
          if (parameters.empty()) parameters.push_back(element);
        }
        ImportValue result = apply(values.front(), parameters);
        if (method == "flatMap" && result.as<Array>()) {
          for (const ImportValue& inner : *result.as<Array>()->elements) mapped.push_back(inner);
        } else {
          mapped.push_back(std::move(result));
        }
      }
      return method == "forEach" ? ImportValue{} : arrayOf(std::move(mapped));
    }
    if (method == "append" || method == "addObject" || method == "insert") {
      if (!given.empty() && given.front().label == "contentsOf") {
        if (const Array* more = given.front().value.as<Array>()) {
          for (const ImportValue& element : *more->elements) array->elements->push_back(element);
        }
      } else if (!given.empty()) {
        array->elements->push_back(given.front().value);
      }
      return {};
    }
    if (method == "addObjectsFromArray" && !given.empty()) {
      if (const Array* more = given.front().value.as<Array>()) {
        for (const ImportValue& element : *more->elements) array->elements->push_back(element);
      }
      return {};
    }
    if (method == "enumerated") {
      std::vector<ImportValue> pairs;
      for (std::size_t i = 0; i < array->elements->size(); ++i) {
        pairs.push_back(arrayOf({number(static_cast<double>(i)), (*array->elements)[i]}, true));
      }
      return arrayOf(std::move(pairs));
    }
    if (method == "reversed") {
      std::vector<ImportValue> reversed(array->elements->rbegin(), array->elements->rend());
      return arrayOf(std::move(reversed));
    }
    if (method == "shuffled" || method == "copy" || method == "mutableCopy") {
      return arrayOf(*array->elements);
    }
    if (method == "objectAtIndex" && !values.empty()) {
      const auto index = numberOf(values.front());
      if (index && *index >= 0 && *index < static_cast<double>(array->elements->size())) {
        return (*array->elements)[static_cast<std::size_t>(*index)];
      }
    }
    return unknown("`" + method + "` on an array is not read");
  }
  if (receiver.as<platform::Color>() || (receiver.as<Constant>() && colorOf(receiver))) {
    const platform::Color color = *colorOf(receiver);
    if (method == "withAlphaComponent" || method == "colorWithAlphaComponent" || method == "copy") {
      const auto alpha = numberOf(firstValue());
      if (!alpha) return unknown("the alpha is not known before run time");
      return ImportValue{platform::Color{color.red, color.green, color.blue, *alpha}, {}};
    }
    if (method == "cgColor" || method == "CGColor") return receiver;
    return unknown("`" + method + "` changes the colour at run time");
  }
  if (receiver.as<Image>()) {
    static constexpr std::array<std::string_view, 9> kSameImage{"flatMap",
                                                                "map",
                                                                "cgImage",
                                                                "CGImage",
                                                                "CGImageForProposedRect",
                                                                "withRenderingMode",
                                                                "imageWithRenderingMode",
                                                                "withTintColor",
                                                                "imageWithTintColor"};
    if (std::find(kSameImage.begin(), kSameImage.end(), method) != kSameImage.end()) {
      return receiver;
    }
    return unknown("the image is changed in code");
  }
  if (const TypeName* type = receiver.as<TypeName>()) {
    const std::string& typeName = type->name;
    if (typeName.empty()) {
      // A global function.
      if (method == "CGPointMake" || method == "NSMakePoint")
        return construct("CGPoint", {{"x", values.size() > 0 ? values[0] : ImportValue{}},
                                     {"y", values.size() > 1 ? values[1] : ImportValue{}}});
      if (method == "CGSizeMake" || method == "NSMakeSize")
        return construct("CGSize", {{"width", values.size() > 0 ? values[0] : ImportValue{}},
                                    {"height", values.size() > 1 ? values[1] : ImportValue{}}});
      if (method == "CGRectMake" || method == "NSMakeRect") {
        std::vector<Argument> labelled;
        const std::array<std::string, 4> labels{"x", "y", "width", "height"};
        for (std::size_t i = 0; i < 4; ++i)
          labelled.push_back({labels[i], i < values.size() ? values[i] : ImportValue{}});
        return construct("CGRect", labelled);
      }
      if (method == "CGColorCreateGenericRGB" || method == "CGColorCreateSRGB") {
        std::vector<Argument> labelled;
        const std::array<std::string, 4> labels{"red", "green", "blue", "alpha"};
        for (std::size_t i = 0; i < 4; ++i)
          labelled.push_back({labels[i], i < values.size() ? values[i] : ImportValue{}});
        return construct("CGColor", labelled);
      }
      if ((method == "min" || method == "max" || method == "fmin" || method == "fmax") &&
          values.size() >= 2) {
        const auto a = numberOf(values[0]);
        const auto b = numberOf(values[1]);
        if (a && b)
          return number((method == "min" || method == "fmin") ? std::min(*a, *b)
                                                              : std::max(*a, *b));
      }
      if ((method == "abs" || method == "fabs" || method == "fabsf") && !values.empty()) {
        if (const auto a = numberOf(values[0])) return number(std::abs(*a));
      }
      if (method == "stride" && given.size() >= 3) {
        const auto from = numberOf(given[0].value);
        const auto to = numberOf(given[1].value);
        const auto by = numberOf(given[2].value);
        const bool through = given[1].label == "through";
        if (from && to && by) return steps(*from, *to, *by, through);
        return unknown("the stride is not known before run time");
      }
      const auto function = functionsByName_.find(method);
      if (function != functionsByName_.end())
        return apply(ImportValue{CallableRef{function->second.front()}, {}}, values);
      if (method.starts_with("UIGraphics") || method.starts_with("CGBitmap")) {
        return unknown("the image is drawn in code");
      }
      if (method.starts_with("arc4random") || method == "drand48" || method == "random") {
        return unknown("the value is drawn at random at run time");
      }
      runLater(given, scope);
      return unknown("`" + method + "(…)` is not known");
    }
    if (method == "alloc" || method == "self" || method == "class") return receiver;
    if (method == "new" || method == "init" || method.starts_with("initWith") ||
        (typeName == "CAEmitterCell" && method == "emitterCell") ||
        (typeName == "CAEmitterLayer" && method == "layer")) {
      std::vector<Argument> labelled = given;
      if (method.starts_with("initWith") && !labelled.empty()) {
        labelled.front().label = lowerFirst(method.substr(8));
      }
      return construct(typeName, labelled);
    }
    if (isColorType(typeName)) {
      if (method.starts_with("colorWith") && !given.empty()) {
        std::vector<Argument> labelled = given;
        labelled.front().label = lowerFirst(method.substr(9));
        return construct(typeName, labelled);
      }
      if (method.ends_with("Color") && given.empty()) {
        if (const auto color = namedColor(method.substr(0, method.size() - 5))) {
          return ImportValue{*color, {}};
        }
      }
      return unknown("the colour `" + method + "` is not known");
    }
    if (isImageType(typeName) && (method == "imageNamed" || method == "imageWithContentsOfFile")) {
      return construct(typeName,
                       {{method == "imageNamed" ? "named" : "contentsOfFile", firstValue()}});
    }
    if (method == "random") return unknown("the value is drawn at random at run time");
    if ((typeName == "NSArray" || typeName == "NSMutableArray") &&
        (method == "arrayWithObjects" || method == "arrayWithObject" ||
         method == "arrayWithArray")) {
      if (method == "arrayWithArray" && !values.empty() && values.front().as<Array>())
        return values.front();
      return arrayOf(values);
    }
    if (typeName == "NSValue" || typeName == "NSNumber") return firstValue();
    const auto found = classesByName_.find(typeName);
    if (found != classesByName_.end()) {
      return callMethod(ImportValue{Instance{found->second}, {}}, method, std::move(given), scope);
    }
    return unknown("`" + typeName + "." + method + "(…)` is not known");
  }
  if (const Instance* instance = receiver.as<Instance>()) {
    const auto function = functionsByName_.find(method);
    if (function != functionsByName_.end()) {
      std::size_t chosen = function->second.front();
      for (const std::size_t id : function->second) {
        if (callables_[id].classId == instance->classId) chosen = id;
      }
      return apply(ImportValue{CallableRef{chosen}, {}}, values);
    }
  }
  if (const CallableRef* function = receiver.as<CallableRef>();
      function && method == "callAsFunction") {
    return apply(receiver, values);
  }
  runLater(given, scope);
  if (receiver.isUnknown()) return receiver;
  return unknown("`" + method + "(…)` is not known");
}

ImportValue EmitterReader::newObject(bool isLayer) {
  Object object;
  object.isLayer = isLayer;
  object.madeIn = function_;
  objects_.push_back(std::move(object));
  return ImportValue{ObjectRef{objects_.size() - 1}, {}};
}

ImportValue EmitterReader::construct(const std::string& type, const std::vector<Argument>& given) {
  std::vector<std::pair<std::string, ImportValue>> labelled;
  for (const Argument& argument : given) labelled.emplace_back(argument.label, argument.value);
  const auto numberAt = [&](std::initializer_list<std::string_view> labels) -> ImportValue {
    const ImportValue* value = findLabelled(labelled, labels);
    if (value == nullptr) return number(0.0);
    return *value;
  };
  const auto geometry = [&](std::initializer_list<ImportValue> parts, auto make) -> ImportValue {
    std::vector<double> numbers;
    std::string viewMember;
    for (const ImportValue& part : parts) {
      const auto n = numberOf(part);
      if (!n) return part.isUnknown() ? part : unknown("a coordinate is not a number");
      numbers.push_back(*n);
      if (viewMember.empty()) viewMember = part.viewMember;
    }
    return ImportValue{make(numbers), viewMember};
  };

  if (type == "CAEmitterCell") return newObject(false);
  if (type == "CAEmitterLayer") return newObject(true);
  if (type == "CGPoint" || type == "NSPoint" || type == "CGVector") {
    return geometry({numberAt({"x", "dx"}), numberAt({"y", "dy"})},
                    [](const std::vector<double>& n) {
                      return Point{n[0], n[1]};
                    });
  }
  if (type == "CGSize" || type == "NSSize") {
    return geometry({numberAt({"width"}), numberAt({"height"})}, [](const std::vector<double>& n) {
      return Size{n[0], n[1]};
    });
  }
  if (type == "CGRect" || type == "NSRect") {
    if (const ImportValue* size = findLabelled(labelled, {"size"})) {
      const ImportValue* origin = findLabelled(labelled, {"origin"});
      const Point* p = origin != nullptr ? origin->as<Point>() : nullptr;
      const Size* s = size->as<Size>();
      if (s == nullptr) return size->isUnknown() ? *size : unknown("the size is not known");
      return ImportValue{Rect{p ? p->x : 0.0, p ? p->y : 0.0, s->width, s->height},
                         size->viewMember};
    }
    return geometry({numberAt({"x"}), numberAt({"y"}), numberAt({"width"}), numberAt({"height"})},
                    [](const std::vector<double>& n) {
                      return Rect{n[0], n[1], n[2], n[3]};
                    });
  }
  if (isNumberType(type)) {
    if (given.empty()) return number(0.0);
    const ImportValue& value = given.front().value;
    const auto n = numberOf(value);
    if (!n) return value.isUnknown() ? value : unknown("the conversion is not of a number");
    return number(type == "Int" || type == "Int32" ? std::trunc(*n) : *n, value.viewMember);
  }
  if (isColorType(type)) {
    if (given.size() == 1 && given.front().label.empty()) {
      // `CGColor(color)`, `Color(uiColor)`.
      if (colorOf(given.front().value)) return ImportValue{*colorOf(given.front().value), {}};
    }
    if (findLabelled(labelled, {"cgColor", "CGColor", "uiColor", "nsColor"})) {
      const ImportValue* inner =
          findLabelled(labelled, {"cgColor", "CGColor", "uiColor", "nsColor"});
      if (colorOf(*inner)) return ImportValue{*colorOf(*inner), {}};
    }
    return colorFrom(labelled);
  }
  if (isImageType(type)) {
    const ImportValue* named =
        findLabelled(labelled, {"named", "resourceName", "imageLiteralResourceName"});
    const ImportValue* symbol = findLabelled(labelled, {"systemName", "systemSymbolName"});
    const ImportValue* file = findLabelled(labelled, {"contentsOfFile"});
    const ImportValue* chosen = named ? named : symbol ? symbol : file;
    if (chosen == nullptr && given.size() == 1 && given.front().label.empty())
      chosen = &given.front().value;
    if (chosen != nullptr) {
      if (const Text* text = chosen->as<Text>()) {
        return ImportValue{Image{file ? imageStem(text->text) : text->text, symbol != nullptr}, {}};
      }
      return chosen->isUnknown() ? *chosen : unknown("the image's name is not text");
    }
    return unknown("the image is drawn in code");
  }
  if (type.ends_with("View") || type == "UIWindow" || type == "NSWindow") {
    if (const ImportValue* frame = findLabelled(labelled, {"frame"})) {
      if (const Rect* rect = frame->as<Rect>(); rect && frame->viewMember.empty() &&
                                                !sourceViewSize_ && rect->width > 0 &&
                                                rect->height > 0) {
        sourceViewSize_ = Size{rect->width, rect->height};
      }
    }
    return ImportValue{View{}, {}};
  }
  const auto found = classesByName_.find(type);
  if (found != classesByName_.end()) {
    // A type of the source: an emitter cell or layer when it descends from one.
    const std::string ancestor = emitterAncestor(type);
    if (!ancestor.empty()) {
      ImportValue object = newObject(ancestor == "CAEmitterLayer");
      if (ancestor == "CAEmitterLayer") objects_[object.as<ObjectRef>()->id].name = type;
      const std::vector<std::size_t>& inits = classes_[found->second].inits;
      if (!inits.empty()) {
        std::size_t chosen = inits.front();
        for (const std::size_t id : inits) {
          if (callables_[id].parameters.size() == given.size()) {
            chosen = id;
            break;
          }
        }
        std::vector<ImportValue> values;
        for (const Argument& argument : given) values.push_back(argument.value);
        executeBody(chosen, values, object);
      }
      return object;
    }
    return ImportValue{Instance{found->second}, {}};
  }
  if (type == "UIGraphicsImageRenderer" || type == "CIFilter") {
    return unknown("the image is drawn in code");
  }
  return unknown("`" + type + "(…)` is not known");
}

std::string EmitterReader::emitterAncestor(const std::string& type) const {
  std::string ancestor = type;
  for (std::size_t step = 0; step < kMaxSuperclasses; ++step) {
    const auto parent = classesByName_.find(ancestor);
    if (parent == classesByName_.end()) break;
    ancestor = classes_[parent->second].superclass;
  }
  return ancestor == "CAEmitterCell" || ancestor == "CAEmitterLayer" ? ancestor : std::string();
}

// ---- Settings ----------------------------------------------------------------------------------

// A layer takes the name of the first variable that holds it, or of a property or global one
// that holds it later: the name a person knows it by.
void EmitterReader::nameLayer(const ImportValue& value, const std::string& variable, bool lasting) {
  const ObjectRef* object = value.as<ObjectRef>();
  if (object == nullptr || !objects_[object->id].isLayer) return;
  Object& layer = objects_[object->id];
  if (layer.name.empty() || (lasting && !layer.lastingName)) {
    layer.name = variable;
    layer.lastingName = lasting;
  }
}

bool EmitterReader::isLasting(const std::shared_ptr<Scope>& scope) const {
  return scope == global_ || (scope->classId != kNone && scope == classes_[scope->classId].scope);
}

void EmitterReader::assign(const Target& target, const ImportValue& value,
                           const std::shared_ptr<Scope>& scope) {
  if (target.variable) {
    if (ImportValue* existing = scope->find(target.name)) {
      *existing = value;
      nameLayer(value, target.name, false);
      return;
    }
    if (scope->self) {
      if (const ObjectRef* object = scope->self->as<ObjectRef>()) {
        setMember(object->id, target.name, value);
        return;
      }
    }
    if (scope->classId != kNone) {
      classes_[scope->classId].scope->names[target.name] = value;
    } else {
      scope->names[target.name] = value;
    }
    nameLayer(value, target.name, true);
    return;
  }
  if (const ObjectRef* object = target.base.as<ObjectRef>()) {
    setMember(object->id, target.name, value);
    return;
  }
  if (const Instance* instance = target.base.as<Instance>()) {
    classes_[instance->classId].scope->names[target.name] = value;
    nameLayer(value, target.name, true);
  }
  // Anything else (a view's colour, an animation's values) is not part of the effect.
}

void EmitterReader::note(std::size_t object, std::string reason) {
  notes_.push_back({object, statementBegin_, 0, std::move(reason)});
}

void EmitterReader::setMember(std::size_t id, const std::string& key, const ImportValue& value) {
  if (!deferredReason_.empty()) {
    note(id, deferredReason_);
    return;
  }
  Object& object = objects_[id];
  if (key == "emitterPosition" || key == "emitterSize") {
    const bool position = key == "emitterPosition";
    const Point* point = value.as<Point>();
    const Size* size = value.as<Size>();
    if ((position && point == nullptr) || (!position && size == nullptr)) {
      note(id, value.isUnknown() ? value.as<Unknown>()->why
                                 : std::string(position ? "the value is not a point"
                                                        : "the value is not a size"));
      return;
    }
    const double first = position ? point->x : size->width;
    const double second = position ? point->y : size->height;
    const std::string firstKey = key + (position ? ".x" : ".width");
    const std::string secondKey = key + (position ? ".y" : ".height");
    object.settings[firstKey] = {number(first, value.viewMember), statementBegin_, 0};
    object.settings[secondKey] = {number(second, value.viewMember), statementBegin_, 0};
  } else if (key == "emitterCells") {
    const Array* array = value.as<Array>();
    if (array == nullptr) {
      note(id, value.isUnknown() ? value.as<Unknown>()->why : "the value is not a list of cells");
      return;
    }
    std::vector<std::size_t> cells;
    std::string missing;
    for (const ImportValue& element : *array->elements) {
      const ObjectRef* cell = element.as<ObjectRef>();
      if (cell != nullptr && !objects_[cell->id].isLayer) {
        cells.push_back(cell->id);
      } else if (missing.empty()) {
        missing = element.isUnknown() ? element.as<Unknown>()->why : "an element is not a cell";
      }
    }
    objects_[id].cells = std::move(cells);
    if (!missing.empty()) {
      note(id, "some cells are left out: " + missing);
      return;
    }
    objects_[id].settings[key] = {value, statementBegin_, 0};
  } else {
    objects_[id].settings[key] = {value, statementBegin_, 0};
  }
  // Whether the value is one the effect can hold is decided when the effect is made.
  Setting& last = objects_[id].settings[key == "emitterPosition" ? "emitterPosition.y"
                                        : key == "emitterSize"   ? "emitterSize.height"
                                                                 : key];
  last.begin = statementBegin_;
  last.end = statementEnd_;
  if (key == "emitterPosition" || key == "emitterSize") {
    Setting& other =
        objects_[id].settings[key == "emitterPosition" ? "emitterPosition.x" : "emitterSize.width"];
    other.begin = statementBegin_;
    other.end = statementEnd_;
  }
}

}  // namespace tessary::code_editor
