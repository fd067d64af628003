// What the console program needs of its platform: its standard streams and files.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "cli/record_output.h"
#include "core/text.h"
#include "inventory/machine_test.h"
#include "request/machine_request.h"

namespace appcensus::cli {

struct CliEnvironment {
  // Standard output and standard error; each call gets whole lines of UTF-8. Standard
  // output's is false when the bytes could not all be written.
  std::function<bool(std::string_view)> writeOutput;
  std::function<void(std::string_view)> writeError;
  // The progress line is written to standard error only when it is a console.
  bool errorIsConsole = false;
  // Whether the file at `path` can be created or replaced, found out without touching it.
  std::function<bool(TextView path)> canWriteFile;
  // Makes `bytes` the whole content of the file at `path`; false when it cannot.
  std::function<bool(TextView path, std::string_view bytes)> writeFile;
  // Whether two paths name one file: the same file when it exists, else the same full path
  // (letter case ignored); a device ("NUL") is never one file with another path. Optional.
  std::function<bool(TextView first, TextView second)> sameFile;
  // The bytes of a machine list file, of standard input; none when they cannot be read.
  std::function<std::optional<std::string>(TextView path)> readFile;
  std::function<std::optional<std::string>()> readInput;
  // The name that the closing message gives the local machine ("."); when empty, the
  // computer name of the registry layer.
  std::function<Text()> localHostName;
  // The account name of a user's security identifier on a machine (json and tsv); optional.
  AccountNames accountNames;
  std::chrono::milliseconds perLimitSecond{1000};  // tests shorten the limit's second
  std::chrono::milliseconds identityWait = kIdentityTestWait;
  // The network check before a remote machine's identity test and the service control of
  // --start-remote-registry (none: no check, no service started).
  RequestPlatform platform;
};

}  // namespace appcensus::cli
