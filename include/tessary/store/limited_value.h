#pragma once

#include <cmath>

namespace tessary::store {

// A number with the bounds of the slider that edits it. Only `value` is the property's value;
// `min` and `max` are where the slider ends.
struct LimitedValue {
  double value = 0.0;
  double min = 0.0;
  double max = 1.0;

  // Sets a typed value: a value outside the bounds widens them; a value that is not finite is
  // refused (returns false and changes nothing).
  bool setValue(double newValue) {
    if (!std::isfinite(newValue)) return false;
    value = newValue;
    if (newValue < min) min = newValue;
    if (newValue > max) max = newValue;
    return true;
  }

  bool operator==(const LimitedValue&) const = default;
};

}  // namespace tessary::store
