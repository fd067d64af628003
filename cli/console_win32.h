// The console program's environment on Windows: the standard handles, the output file and
// the local host name.
#pragma once

#include "cli/cli_program.h"

namespace appcensus::cli {

CliEnvironment ConsoleEnvironment();

}  // namespace appcensus::cli
