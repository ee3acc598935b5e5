#include "tessary/store/emitter_modes.h"

#include <array>
#include <utility>

namespace tessary::store {

namespace {

template <typename Enum, std::size_t N>
using NameTable = std::array<std::pair<Enum, std::string_view>, N>;

constexpr NameTable<EmitterShape, allEmitterShapes.size()> kShapeNames{{
    {EmitterShape::point, "point"},
    {EmitterShape::line, "line"},
    {EmitterShape::rectangle, "rectangle"},
    {EmitterShape::cuboid, "cuboid"},
    {EmitterShape::circle, "circle"},
    {EmitterShape::sphere, "sphere"},
}};

constexpr NameTable<EmitterMode, allEmitterModes.size()> kModeNames{{
    {EmitterMode::points, "points"},
    {EmitterMode::outline, "outline"},
    {EmitterMode::surface, "surface"},
    {EmitterMode::volume, "volume"},
}};

constexpr NameTable<RenderMode, allRenderModes.size()> kRenderModeNames{{
    {RenderMode::unordered, "unordered"},
    {RenderMode::oldestFirst, "oldestFirst"},
    {RenderMode::oldestLast, "oldestLast"},
    {RenderMode::backToFront, "backToFront"},
    {RenderMode::additive, "additive"},
}};

template <typename Enum, std::size_t N>
std::string_view nameOf(const NameTable<Enum, N>& table, Enum value) {
  for (const auto& [candidate, name] : table) {
    if (candidate == value) return name;
  }
  return {};
}

template <typename Enum, std::size_t N>
std::optional<Enum> valueNamed(const NameTable<Enum, N>& table, std::string_view name) {
  for (const auto& [candidate, candidateName] : table) {
    if (candidateName == name) return candidate;
  }
  return std::nullopt;
}

}  // namespace

std::string_view rawValue(EmitterShape shape) {
  return nameOf(kShapeNames, shape);
}
std::string_view rawValue(EmitterMode mode) {
  return nameOf(kModeNames, mode);
}
std::string_view description(RenderMode mode) {
  return nameOf(kRenderModeNames, mode);
}

std::optional<EmitterShape> emitterShapeNamed(std::string_view name) {
  return valueNamed(kShapeNames, name);
}
std::optional<EmitterMode> emitterModeNamed(std::string_view name) {
  return valueNamed(kModeNames, name);
}
std::optional<RenderMode> renderModeNamed(std::string_view name) {
  return valueNamed(kRenderModeNames, name);
}

}  // namespace tessary::store
