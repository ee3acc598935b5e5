#pragma once

#include "command_line.h"

namespace tessary::tool {

// `demo`: writes the built-in demo effect file.
Command addDemoCommand(CLI::App& app);

}  // namespace tessary::tool
