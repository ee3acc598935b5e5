#include "demo_texture.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string_view>
#include <utility>

#include "tessary/code_editor/section_builder.h"
#include "tessary/platform/fatal_error.h"
#include "tessary/store/effect_file.h"

namespace tessary::tool {

namespace {

constexpr int kSize = 64;

// Opacity from x and y, each from -1 (left, top) to 1 (right, bottom). Drawn with arithmetic and
// square roots only, which give the same pixels on every machine.
using Shape = std::function<double(double x, double y)>;

// 0 at `edge` 0, rising smoothly to 1 at 1.
double smooth(double edge) {
  const double t = std::clamp(edge, 0.0, 1.0);
  return t * t * (3.0 - 2.0 * t);
}

double distance(double x, double y) {
  return std::sqrt(x * x + y * y);
}

// The built-in image, as the playground's preview draws it: a radial fade that holds its
// brightness over the inner quarter.
double builtInSpark(double x, double y) {
  const double r = distance(x, y);
  if (r < 0.25) return 1.0 - 0.8 * r;
  return r < 1.0 ? 0.8 * (1.0 - r) / 0.75 : 0.0;
}

// A tongue of fire: round below, drawn to a point above.
double flame(double x, double y) {
  const double centre = 0.25;
  const double above = std::clamp((centre - y) / 1.1, 0.0, 1.0);
  const double halfWidth = 0.5 * (1.0 - 0.6 * above);
  const double halfHeight = y < centre ? 1.0 : 0.6;
  return smooth(1.0 - distance(x / halfWidth, (y - centre) / halfHeight));
}

// A bright point with a faint glow and a thin cross of light.
double sparkle(double x, double y) {
  const double r = distance(x, y);
  const double ray = std::max(smooth(1.0 - std::abs(x) / 0.06) * smooth(1.0 - std::abs(y)),
                              smooth(1.0 - std::abs(y) / 0.06) * smooth(1.0 - std::abs(x)));
  return std::max({smooth(1.0 - r / 0.2), 0.4 * smooth(1.0 - r / 0.8), 0.7 * ray});
}

// A soft round puff of three overlapping clouds.
double smoke(double x, double y) {
  const double puffs = smooth(1.0 - distance(x + 0.25, y - 0.1) / 0.65) +
                       smooth(1.0 - distance(x - 0.25, y - 0.05) / 0.65) +
                       smooth(1.0 - distance(x, y + 0.25) / 0.65);
  return std::min(0.8, 0.45 * puffs) * smooth((1.0 - distance(x, y)) / 0.3);
}

const Shape& shapeOf(std::string_view imageName) {
  static const std::pair<std::string_view, Shape> kShapes[] = {
      {"flame", flame}, {"sparkle", sparkle}, {"Spark", builtInSpark}, {"smoke", smoke}};
  for (const auto& [name, shape] : kShapes) {
    if (name == imageName) return shape;
  }
  platform::fatalError("the demo effect names an image the program does not draw");
}

RgbaImage drawn(const Shape& shape) {
  RgbaImage image(kSize, kSize);
  for (int row = 0; row < kSize; ++row) {
    for (int column = 0; column < kSize; ++column) {
      const auto at = [](int pixel) { return (pixel + 0.5) / (kSize / 2.0) - 1.0; };
      const double alpha = std::clamp(shape(at(column), at(row)), 0.0, 1.0);
      image.set(column, row, {255, 255, 255, static_cast<std::uint8_t>(std::lround(alpha * 255))});
    }
  }
  return image;
}

void addImagesOf(const std::vector<store::CellConfigRef>& cells, std::vector<DemoTexture>& all) {
  using code_editor::SectionBuilder;
  for (const store::CellConfigRef& cell : cells) {
    const std::string name = SectionBuilder::imageName(*cell);
    const bool listed = std::any_of(all.begin(), all.end(), [&](const DemoTexture& texture) {
      return texture.fileName == name + ".png";
    });
    if (SectionBuilder::hasTexture(*cell) && !listed) {
      all.push_back({name + ".png", drawn(shapeOf(name))});
    }
    addImagesOf(cell->subcells, all);
  }
}

}  // namespace

std::vector<DemoTexture> DemoTexture::all() {
  std::vector<DemoTexture> all;
  addImagesOf(store::EffectFile::demo()->cells, all);
  return all;
}

}  // namespace tessary::tool
