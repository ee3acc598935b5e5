#pragma once

#include <memory>
#include <optional>
#include <string>

#include "tessary/platform/color.h"
#include "tessary/platform/font.h"
#include "tessary/platform/paragraph_style.h"

namespace tessary::platform {

// The attributes of a stretch of text, one optional value per attribute key.
struct TextAttributes {
  std::optional<Font> font = std::nullopt;
  std::optional<Color> foregroundColor = std::nullopt;
  std::optional<ParagraphStyle> paragraphStyle = std::nullopt;
  // A link's value is any text the host understands ("0: Import"), not necessarily a URL.
  std::optional<std::string> link = std::nullopt;

  bool empty() const { return !font && !foregroundColor && !paragraphStyle && !link; }

  // These attributes with every key that `added` sets replaced by its value there.
  TextAttributes addingAttributes(const TextAttributes& added) const;

  bool operator==(const TextAttributes&) const = default;
};

// An immutable attribute set shared by every run that carries it: a string points at its sets
// rather than holding a copy per run.
using AttributeSet = std::shared_ptr<const TextAttributes>;

AttributeSet makeAttributeSet(TextAttributes attributes);

// The one shared set with no attributes.
const AttributeSet& emptyAttributeSet();

}  // namespace tessary::platform
