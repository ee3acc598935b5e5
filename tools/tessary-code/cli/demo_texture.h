#pragma once

#include <string>
#include <vector>

#include "rgba_image.h"

namespace tessary::tool {

// An image the demo effect's snippet loads, drawn by the program itself: a white shape whose
// alpha makes it soft, so that the cell's colour tints it as Core Animation draws it.
struct DemoTexture {
  // The image's file: the name the snippet loads it by, with ".png".
  std::string fileName;
  RgbaImage image;

  // One for each image the demo effect's snippet loads, in the order of its cells.
  static std::vector<DemoTexture> all();
};

}  // namespace tessary::tool
