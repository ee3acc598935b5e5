#pragma once

#include <stdexcept>
#include <string>

namespace tessary::tool {

// Exit status of a usage, file or format error: nothing was written.
inline constexpr int kUsageOrFileError = 2;

// A failure a person caused (a bad flag, a file that cannot be read or written). The program
// prints it as one line on standard error and exits with `status()`.
class CommandError : public std::runtime_error {
 public:
  explicit CommandError(const std::string& message, int status = kUsageOrFileError)
      : std::runtime_error(message), status_(status) {}

  int status() const { return status_; }

 private:
  int status_;
};

}  // namespace tessary::tool
