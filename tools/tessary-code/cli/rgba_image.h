#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessary::tool {

// An image of 8-bit red, green, blue and alpha, rows from the top, as an image file needs it.
class RgbaImage {
 public:
  struct Pixel {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
    std::uint8_t alpha;
  };

  RgbaImage(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }
  void set(int x, int y, Pixel pixel);

  // The image as a PNG file: truecolour with alpha, every row unfiltered, compressed by zlib.
  std::string png() const;

 private:
  int width_;
  int height_;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace tessary::tool
