#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace tessary::store {

// The emitter layer's shape, emission mode and render mode, as Core Animation names them.
enum class EmitterShape { point, line, rectangle, cuboid, circle, sphere };
enum class EmitterMode { points, outline, surface, volume };
enum class RenderMode { unordered, oldestFirst, oldestLast, backToFront, additive };

// Every value of each, in the order above.
inline constexpr std::array allEmitterShapes{EmitterShape::point,     EmitterShape::line,
                                             EmitterShape::rectangle, EmitterShape::cuboid,
                                             EmitterShape::circle,    EmitterShape::sphere};
inline constexpr std::array allEmitterModes{EmitterMode::points, EmitterMode::outline,
                                            EmitterMode::surface, EmitterMode::volume};
inline constexpr std::array allRenderModes{RenderMode::unordered, RenderMode::oldestFirst,
                                           RenderMode::oldestLast, RenderMode::backToFront,
                                           RenderMode::additive};

// The constant's name as the snippet writes it after a dot (".point", ".additive").
std::string_view rawValue(EmitterShape shape);
std::string_view rawValue(EmitterMode mode);
// The render mode's `description`.
std::string_view description(RenderMode mode);

std::optional<EmitterShape> emitterShapeNamed(std::string_view name);
std::optional<EmitterMode> emitterModeNamed(std::string_view name);
std::optional<RenderMode> renderModeNamed(std::string_view name);

}  // namespace tessary::store
