#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "code_editor/import_value.h"
#include "tessary/code_editor/source_lexer.h"

namespace tessary::code_editor {

// Follows Swift or Objective-C source the way it would run, far enough to see the emitter
// layers and cells it makes and what it sets on them: declarations, closures, functions and
// computed properties, subclass initialisers, loops over literal values, `map`, and Objective-C
// message sends. Values are worked out from literals and earlier statements; whatever depends on
// run time is an unknown value with the reason. Statements it does not understand are passed
// over. The work is bounded by the source's length, whatever the source holds.
class EmitterReader {
 public:
  struct Options {
    double viewWidth = 400.0;
    double viewHeight = 300.0;
    // Whether values read from the view's geometry use a size nobody gave.
    bool viewSizeGuessed = false;
  };

  // A setting of an emitter object as the source last gave it, in the source's units.
  struct Setting {
    ImportValue value;
    std::uint32_t begin = 0;
    std::uint32_t end = 0;
  };

  // An emitter layer or cell the source makes.
  struct Object {
    bool isLayer = false;
    // A layer's name: the variable, property or class that holds it.
    std::string name;
    // The function or property it is made in; empty at the top level.
    std::string madeIn;
    // Named by a property or global variable rather than a local one.
    bool lastingName = false;
    // Settings by member name ("birthRate", "emitterPosition.x", "emitterCells"); the ids of
    // cells in "emitterCells" are kept in `cells`.
    std::map<std::string, Setting> settings;
    std::vector<std::size_t> cells;
  };

  // A statement about an emitter object (or about none, `object` npos) that is reported.
  struct Note {
    std::size_t object = 0;
    std::uint32_t begin = 0;
    std::uint32_t end = 0;
    std::string reason;
  };

  EmitterReader(std::string_view source, const SourceLexer& lexer, Options options);
  ~EmitterReader();

  void read();

  const std::vector<Object>& objects() const { return objects_; }
  const std::vector<Note>& notes() const { return notes_; }
  // The size of a view the source makes with a frame or size of literal numbers.
  std::optional<import_value::Size> sourceViewSize() const { return sourceViewSize_; }

 private:
  struct Scope;
  struct Callable;
  struct ClassInfo;
  struct Cursor;
  struct Target;
  struct Argument;
  struct Flow;

  void declare();
  void declareFunction(std::size_t nameToken, std::size_t classId);
  void declareObjectiveCMethod(std::size_t& at, std::size_t classId);
  std::size_t classNamed(const std::string& name);

  Flow executeBody(std::size_t callable, const std::vector<ImportValue>& arguments,
                   std::optional<ImportValue> self);
  Flow executeBlock(std::uint32_t begin, std::uint32_t end, const std::shared_ptr<Scope>& scope);
  Flow executeStatement(Cursor& cursor, const std::shared_ptr<Scope>& scope, bool& single);
  void executeDeferred(std::uint32_t begin, std::uint32_t end, const std::shared_ptr<Scope>& scope,
                       const std::string& reason);
  void declareNames(Cursor& cursor, const std::shared_ptr<Scope>& scope);
  bool declareObjectiveCVariable(Cursor& cursor, const std::shared_ptr<Scope>& scope);
  Flow executeIf(Cursor& cursor, const std::shared_ptr<Scope>& scope, bool isGuard);
  Flow executeFor(Cursor& cursor, const std::shared_ptr<Scope>& scope);
  Flow loopOver(const ImportValue& sequence, const std::vector<std::string>& pattern,
                std::uint32_t bodyOpen, const std::shared_ptr<Scope>& scope);
  void skipStatement(Cursor& cursor);
  void skipType(Cursor& cursor);

  ImportValue expression(Cursor& cursor, const std::shared_ptr<Scope>& scope,
                         bool trailingClosures = true);
  ImportValue ternary(Cursor& cursor, const std::shared_ptr<Scope>& scope);
  ImportValue rangeOrSum(Cursor& cursor, const std::shared_ptr<Scope>& scope);
  ImportValue sum(Cursor& cursor, const std::shared_ptr<Scope>& scope);
  ImportValue product(Cursor& cursor, const std::shared_ptr<Scope>& scope);
  ImportValue prefixed(Cursor& cursor, const std::shared_ptr<Scope>& scope);
  ImportValue postfixed(Cursor& cursor, const std::shared_ptr<Scope>& scope);
  ImportValue primary(Cursor& cursor, const std::shared_ptr<Scope>& scope);
  ImportValue messageSend(Cursor& cursor, const std::shared_ptr<Scope>& scope);
  ImportValue closure(Cursor& cursor, const std::shared_ptr<Scope>& scope);
  ImportValue interpolation(const SourceToken& token, const std::shared_ptr<Scope>& scope);
  std::vector<Argument> arguments(Cursor& cursor, const std::shared_ptr<Scope>& scope);
  ImportValue list(std::uint32_t open, const std::shared_ptr<Scope>& scope);

  ImportValue name(const std::string& name, const std::shared_ptr<Scope>& scope);
  ImportValue member(const ImportValue& base, const std::string& name,
                     const std::shared_ptr<Scope>& scope);
  ImportValue call(const ImportValue& callee, std::vector<Argument> arguments,
                   const std::shared_ptr<Scope>& scope);
  ImportValue callMethod(const ImportValue& receiver, const std::string& name,
                         std::vector<Argument> arguments, const std::shared_ptr<Scope>& scope);
  ImportValue construct(const std::string& type, const std::vector<Argument>& arguments);
  void runLater(const std::vector<Argument>& given, const std::shared_ptr<Scope>& scope);
  ImportValue apply(const ImportValue& function, const std::vector<ImportValue>& arguments);
  ImportValue readSetting(std::size_t object, const std::string& member);
  ImportValue newObject(bool isLayer);

  void assign(const Target& target, const ImportValue& value, const std::shared_ptr<Scope>& scope);
  void setMember(std::size_t object, const std::string& member, const ImportValue& value);
  void note(std::size_t object, std::string reason);
  void nameLayer(const ImportValue& value, const std::string& name, bool lasting);
  bool isLasting(const std::shared_ptr<Scope>& scope) const;
  // "CAEmitterCell" or "CAEmitterLayer" when the source's type descends from one; else empty.
  std::string emitterAncestor(const std::string& type) const;

  bool isPunctuation(std::uint32_t at, std::string_view text) const;
  bool isIdentifier(std::uint32_t at, std::string_view text) const;
  bool spend();

  std::string_view source_;
  const std::vector<SourceToken>& tokens_;
  const std::vector<std::uint32_t>& partners_;
  Options options_;

  std::vector<Object> objects_;
  std::vector<Note> notes_;
  std::optional<import_value::Size> sourceViewSize_;

  std::vector<Callable> callables_;
  std::unordered_map<std::string, std::vector<std::size_t>> functionsByName_;
  std::vector<ClassInfo> classes_;
  std::unordered_map<std::string, std::size_t> classesByName_;
  std::vector<bool> declarationToken_;
  std::shared_ptr<Scope> global_;

  // The statement being read, for notes; and why its settings are not applied, when they run
  // only later or in a branch the reader does not take.
  std::uint32_t statementBegin_ = 0;
  std::uint32_t statementEnd_ = 0;
  std::string deferredReason_;
  std::vector<Target> targets_;
  std::string function_;
  std::size_t depth_ = 0;
  std::size_t budget_ = 0;
  bool exhausted_ = false;
};

}  // namespace tessary::code_editor
