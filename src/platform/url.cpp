#include "tessary/platform/url.h"

#include <cctype>
#include <utility>

namespace tessary::platform {

namespace {

struct PathComponent {
  std::size_t begin;
  std::size_t end;
};

// The last component of a path, ignoring trailing slashes.
PathComponent lastComponent(std::string_view text) {
  std::size_t end = text.size();
  while (end > 1 && text[end - 1] == '/') --end;
  const std::size_t slash = text.rfind('/', end == 0 ? 0 : end - 1);
  const std::size_t begin = (slash == std::string_view::npos || slash >= end) ? 0 : slash + 1;
  return {begin, end};
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string percentDecoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int high = hexValue(text[i + 1]);
      const int low = hexValue(text[i + 2]);
      if (high >= 0 && low >= 0) {
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

}  // namespace

URL::URL(std::string text) : text_(std::move(text)) {}

bool URL::hasScheme() const {
  const std::size_t colon = text_.find("://");
  if (colon == std::string::npos || colon == 0) return false;
  for (std::size_t i = 0; i < colon; ++i) {
    const auto c = static_cast<unsigned char>(text_[i]);
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
  }
  return true;
}

URL URL::deletingPathExtension() const {
  const PathComponent component = lastComponent(text_);
  const std::string_view name(text_.data() + component.begin, component.end - component.begin);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return *this;
  std::string result = text_.substr(0, component.begin + dot);
  result += text_.substr(component.end);
  return URL(std::move(result));
}

std::string URL::lastPathComponent() const {
  const PathComponent component = lastComponent(text_);
  std::string_view name(text_.data() + component.begin, component.end - component.begin);
  return hasScheme() ? percentDecoded(name) : std::string(name);
}

}  // namespace tessary::platform
