#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "tessary/platform/color.h"

namespace tessary::code_editor {

struct ImportValue;

// What the importer knows of a value of the source while it reads it.
namespace import_value {

// A value the source works out only at run time, or in a way the importer does not follow;
// `why` says so for the report ("`foo()` is not known").
struct Unknown {
  std::string why;
};
struct Point {
  double x = 0.0;
  double y = 0.0;
};
struct Size {
  double width = 0.0;
  double height = 0.0;
};
struct Rect {
  double x = 0.0;
  double y = 0.0;
  double width = 0.0;
  double height = 0.0;
};
struct Text {
  std::string text;
};
// An image by name: from the app's images, an SF Symbol, or an image literal.
struct Image {
  std::string name;
  bool symbol = false;
};
// A constant named after a dot or by its old global name: `.line`, `kCAEmitterLayerLine` and
// `CAEmitterLayerEmitterShape.line` are all "line"; `.red` may be a colour.
struct Constant {
  std::string name;
  std::string spelling;
};
// A type used as a value: `CGFloat` in `CGFloat.pi`, `UIColor` in `UIColor.red`.
struct TypeName {
  std::string name;
};
// An emitter layer or cell the source made; `id` indexes the reader's objects.
struct ObjectRef {
  std::size_t id = 0;
};
// A view or the screen, whose geometry is the view size.
struct View {};
// An instance of a type the source declares (the `self` of its methods); `classId` indexes the
// reader's types.
struct Instance {
  std::size_t classId = 0;
};
// Array elements are shared so that `cells.append(cell)` changes the array a name holds.
struct Array {
  std::shared_ptr<std::vector<ImportValue>> elements;
  bool tuple = false;
};
// A closure or a function of the source, called when it is applied.
struct CallableRef {
  std::size_t id = 0;
};

using Payload = std::variant<Unknown, double, platform::Color, Point, Size, Rect, Text, Image,
                             Constant, TypeName, ObjectRef, View, Instance, Array, CallableRef>;

}  // namespace import_value

struct ImportValue {
  import_value::Payload payload;
  // The view member the value was worked out from (`bounds`), when it depends on the view size.
  std::string viewMember;

  template <typename T>
  const T* as() const {
    return std::get_if<T>(&payload);
  }
  bool isUnknown() const { return as<import_value::Unknown>() != nullptr; }
};

namespace import_value {

// The number a value stands for (`.pi` included); none for any other value.
std::optional<double> numberOf(const ImportValue& value);
// The colour a value stands for: one worked out, or a named colour (`.red`, `UIColor.orange`).
std::optional<platform::Color> colorOf(const ImportValue& value);
// The components of the colours the platforms name, as documented: "red", "darkGray", "clear".
std::optional<platform::Color> namedColor(std::string_view name);

}  // namespace import_value

}  // namespace tessary::code_editor
