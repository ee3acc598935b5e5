#pragma once

#include <stdexcept>
#include <string>

namespace tessary::tool {

// A failure a person caused (a bad flag, a file that cannot be read or written). The program
// prints it as one line on standard error and exits with status 2.
class CommandError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace tessary::tool
