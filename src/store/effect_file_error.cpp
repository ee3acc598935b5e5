#include "tessary/store/effect_file_error.h"

#include <utility>

#include "effect_file_messages.h"

namespace tessary::store {

EffectFileError::EffectFileError(std::string file, std::string place, std::string problem)
    : std::runtime_error(EffectFileMessages::oneLine(file) + ": " +
                         EffectFileMessages::oneLine(place) + ": " +
                         EffectFileMessages::oneLine(problem)),
      file_(std::move(file)),
      place_(std::move(place)),
      problem_(std::move(problem)) {}

}  // namespace tessary::store
