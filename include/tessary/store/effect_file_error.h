#pragma once

#include <stdexcept>
#include <string>

namespace tessary::store {

// A problem with an effect file a person gave us: which file, where in it (a JSON path such as
// "/layer/cells/0/lifetime", or "line 3, column 7"), and what is wrong.
class EffectFileError : public std::runtime_error {
 public:
  EffectFileError(std::string file, std::string place, std::string problem);

  const std::string& file() const { return file_; }
  const std::string& place() const { return place_; }
  const std::string& problem() const { return problem_; }

 private:
  std::string file_;
  std::string place_;
  std::string problem_;
};

}  // namespace tessary::store
