#pragma once

#include "command_line.h"

namespace tessary::tool {

// `demo`: writes the built-in demo effect file, and the images its snippet loads.
Command addDemoCommand(CLI::App& app);

}  // namespace tessary::tool
