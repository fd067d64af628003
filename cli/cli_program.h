// The console program without its platform: reads the command line, inventories the
// machines and writes records and messages through the outputs it is given.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "cli/machine_runs.h"
#include "cli/record_output.h"
#include "core/text.h"

namespace appcensus::cli {

inline constexpr int kExitListed = 0;       // every machine listed
inline constexpr int kExitUnreachable = 1;  // a machine did not answer or failed its identity test
inline constexpr int kExitUsage = 2;        // bad command line, or the output file cannot be written
inline constexpr int kExitTimeLimit = 3;    // the time limit passed for a machine

struct CliEnvironment {
  // Standard output and standard error; each call gets whole lines of UTF-8.
  std::function<void(std::string_view)> writeOutput;
  std::function<void(std::string_view)> writeError;
  // The progress line is written to standard error only when it is a console.
  bool errorIsConsole = false;
  // Makes `bytes` the whole content of the file at `path`; false when it cannot.
  std::function<bool(TextView path, std::string_view bytes)> writeFile;
  // The name that the closing message gives the local machine ("."); when empty, the
  // computer name of the registry layer.
  std::function<Text()> localHostName;
  // The account name of a user's security identifier on a machine (json and tsv); optional.
  AccountNames accountNames;
  std::chrono::milliseconds perLimitSecond{1000};  // tests shorten the limit's second
  std::chrono::milliseconds identityWait = kIdentityTestWait;
};

class CliProgram {
 public:
  explicit CliProgram(CliEnvironment environment);
  ~CliProgram();

  // `arguments` without the program name; returns the exit code.
  int Run(const std::vector<Text>& arguments);

  // After Run: waits for abandoned jobs and late identity tests (see MachineRuns).
  bool WaitForLateWork(std::chrono::milliseconds limit) const;

 private:
  CliEnvironment environment_;
  std::unique_ptr<MachineRuns> runs_;
};

// The time limit that the window's field starts with: the stored setting, else "15".
Text StoredTimeLimitText();

}  // namespace appcensus::cli
