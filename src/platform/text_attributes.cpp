#include "tessary/platform/text_attributes.h"

#include <utility>

namespace tessary::platform {

TextAttributes TextAttributes::addingAttributes(const TextAttributes& added) const {
  TextAttributes result = *this;
  if (added.font) result.font = added.font;
  if (added.foregroundColor) result.foregroundColor = added.foregroundColor;
  if (added.paragraphStyle) result.paragraphStyle = added.paragraphStyle;
  if (added.link) result.link = added.link;
  return result;
}

AttributeSet makeAttributeSet(TextAttributes attributes) {
  return std::make_shared<const TextAttributes>(std::move(attributes));
}

const AttributeSet& emptyAttributeSet() {
  static const AttributeSet empty = makeAttributeSet({});
  return empty;
}

}  // namespace tessary::platform
