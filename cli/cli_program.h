// The console program without its platform: reads the command line, inventories the
// machines and writes records and messages through the outputs it is given.
#pragma once

#include <chrono>
#include <memory>
#include <vector>

#include "cli/cli_environment.h"
#include "request/machine_request.h"
#include "core/text.h"

namespace appcensus::cli {

inline constexpr int kExitListed = 0;       // every machine listed
inline constexpr int kExitUnreachable = 1;  // a machine did not answer or failed its identity test
// Bad command line, an output or report file that cannot be created or written, or a
// failed write to standard output.
inline constexpr int kExitUsage = 2;
inline constexpr int kExitTimeLimit = 3;    // the time limit passed for a machine

class CliProgram {
 public:
  explicit CliProgram(CliEnvironment environment);
  ~CliProgram();

  // `arguments` without the program name; returns the exit code.
  int Run(const std::vector<Text>& arguments);

  // After Run: waits for abandoned jobs and late identity tests (see MachineRequest).
  bool WaitForLateWork(std::chrono::milliseconds limit) const;

 private:
  // Writes the error line about a file and returns kExitUsage.
  int FileError(const char* action, TextView path) const;

  CliEnvironment environment_;
  std::unique_ptr<MachineRequest> request_;
};

}  // namespace appcensus::cli
