#pragma once

#include <string>

namespace tessary::store {

// The value correctly rounded to `digits` fraction digits, in plain decimal notation, trailing
// zeros removed but one fraction digit kept, and no minus sign on a zero:
// roundedTo(120, 1) == "120.0", roundedTo(-0.04, 1) == "0.0", roundedTo(0.123456, 4) == "0.1235".
std::string roundedTo(double value, int digits);

// A colour component (0 to 1) on the 0 to 255 scale, as "<integer>/255.0": rgbValue(0.5) ==
// "128/255.0".
std::string rgbValue(double component);

// The shortest decimal text that reads back as the same double, with ".0" after a whole number:
// 400 -> "400.0", 812.5 -> "812.5", 0.1 -> "0.1".
std::string shortestDecimal(double value);

}  // namespace tessary::store
