#include "rgba_image.h"

#include <zlib.h>

#include <cstddef>
#include <string_view>

#include "tessary/platform/fatal_error.h"

namespace tessary::tool {

namespace {

constexpr std::size_t kBytesPerPixel = 4;

void appendBigEndian(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

// A chunk: its length, type and data, and the CRC of the type and data.
void appendChunk(std::string& out, std::string_view type, std::string_view data) {
  appendBigEndian(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t typeStart = out.size();
  out += type;
  out += data;
  const auto* checked = reinterpret_cast<const Bytef*>(out.data() + typeStart);
  appendBigEndian(out, static_cast<std::uint32_t>(
                           crc32(0, checked, static_cast<uInt>(out.size() - typeStart))));
}

}  // namespace

RgbaImage::RgbaImage(int width, int height)
    : width_(width),
      height_(height),
      bytes_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * kBytesPerPixel) {}

void RgbaImage::set(int x, int y, Pixel pixel) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) platform::fatalError("a pixel off the image");
  const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                          static_cast<std::size_t>(x)) *
                         kBytesPerPixel;
  bytes_[at] = pixel.red;
  bytes_[at + 1] = pixel.green;
  bytes_[at + 2] = pixel.blue;
  bytes_[at + 3] = pixel.alpha;
}

std::string RgbaImage::png() const {
  // Each row starts with its filter type, 0: the bytes as they are.
  const std::size_t rowBytes = static_cast<std::size_t>(width_) * kBytesPerPixel;
  std::string rows;
  for (int y = 0; y < height_; ++y) {
    rows += '\0';
    rows.append(
        reinterpret_cast<const char*>(bytes_.data()) + static_cast<std::size_t>(y) * rowBytes,
        rowBytes);
  }
  uLongf compressedSize = compressBound(static_cast<uLong>(rows.size()));
  std::string compressed(compressedSize, '\0');
  if (compress2(reinterpret_cast<Bytef*>(compressed.data()), &compressedSize,
                reinterpret_cast<const Bytef*>(rows.data()), static_cast<uLong>(rows.size()),
                Z_BEST_COMPRESSION) != Z_OK) {
    platform::fatalError("zlib could not compress an image");
  }
  compressed.resize(compressedSize);

  std::string header;
  appendBigEndian(header, static_cast<std::uint32_t>(width_));
  appendBigEndian(header, static_cast<std::uint32_t>(height_));
  constexpr char kDepthColourTypeAndMethods[] = {8, 6, 0, 0, 0};  // 8 bits, RGBA, no interlace
  header.append(kDepthColourTypeAndMethods, sizeof kDepthColourTypeAndMethods);

  std::string file("\x89PNG\r\n\x1A\n", 8);
  appendChunk(file, "IHDR", header);
  appendChunk(file, "IDAT", compressed);
  appendChunk(file, "IEND", {});
  return file;
}

}  // namespace tessary::tool
