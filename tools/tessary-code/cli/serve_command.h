#pragma once

#include "command_line.h"

namespace tessary::tool {

// `serve [EFFECT] [--platform] [--port]`: the playground.
Command addServeCommand(CLI::App& app);

}  // namespace tessary::tool
