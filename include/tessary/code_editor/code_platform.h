#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "tessary/store/key_path.h"
#include "tessary/store/layer_config.h"

namespace tessary::code_editor {

// The platform a snippet is written for, and the mirroring of values between the macOS snippet
// and the store: the macOS snippet shows the properties the property table marks as mirrored,
// a cell number with its sign changed and the emitter position Y measured from the bottom of the
// view, as a macOS layer's y axis points up. Each mirror is its own inverse: `get` also gives the
// value the snippet shows for a stored one.
class CodePlatform {
 public:
  enum Value : std::uint8_t { macOS, iOS };

  constexpr CodePlatform(Value value) : value_(value) {}  // NOLINT(google-explicit-constructor)

  // "macOS" or "iOS", exactly; anything else gives no platform.
  static std::optional<CodePlatform> fromRawValue(std::string_view rawValue);
  // 0 gives macOS; every other segment gives iOS.
  static constexpr CodePlatform fromSegment(int segment) { return segment == 0 ? macOS : iOS; }

  constexpr Value value() const { return value_; }
  constexpr std::string_view rawValue() const { return value_ == macOS ? "macOS" : "iOS"; }
  constexpr int segment() const { return value_ == macOS ? 0 : 1; }

  // The factor a number typed into the snippet for `keypath` is multiplied by before it is
  // stored: -1 on macOS for the mirrored properties, 1 otherwise.
  double getPlatformSign(store::AnyKeyPath keypath) const;
  // The stored value for a value shown in the snippet, where the layer is not needed to work it
  // out: absent for the emitter position Y on macOS.
  std::optional<double> get(double value, store::AnyKeyPath keypath) const;
  // The stored value for a value shown in the snippet, and the shown value for a stored one.
  double get(double value, store::AnyKeyPath keypath, const store::LayerConfig& dataStore) const;

  constexpr bool operator==(const CodePlatform&) const = default;

 private:
  Value value_;
};

}  // namespace tessary::code_editor

template <>
struct std::hash<tessary::code_editor::CodePlatform> {
  std::size_t operator()(tessary::code_editor::CodePlatform platform) const noexcept {
    return std::hash<std::string_view>{}(platform.rawValue());
  }
};
