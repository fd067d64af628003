// The command line of the console program: options and machine names, read into one
// structure, or one line that says what is wrong with them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/machine_lists.h"
#include "core/text.h"

namespace appcensus::cli {

enum class OutputFormat { Csv, Json, Tsv };

inline constexpr std::int32_t kMaxTimeoutSeconds = 2147483647;
inline constexpr std::int32_t kDefaultTimeoutSeconds = 15;
inline constexpr int kMaxParallel = 1024;

struct CliOptions {
  OutputFormat format = OutputFormat::Csv;
  Text filter;                                // empty: every application passes
  std::optional<std::int32_t> timeoutSeconds;  // none: kDefaultTimeoutSeconds
  std::optional<Text> outputPath;             // none: standard output
  std::optional<Text> reportPath;             // none: no report
  std::optional<Text> comparePath;            // an earlier json output to compare with; none: no comparison
  int parallel = 1;
  // The machines in the order given, each once (see MachineList); never empty ("." when
  // the command line names none).
  std::vector<Text> machines;
  bool classic = false;  // only the Uninstall key of the 64-bit view, as the window once read
  bool visibleOnly = false;  // only the entries that the Windows list of applications shows
  bool sortByName = false;   // records by machine, name and registry path
  bool quiet = false;        // only the errors on standard error
  // Starts a machine's stopped Remote Registry service for the time of its read.
  bool startRemoteRegistry = false;
  bool help = false;
  bool version = false;
};

struct ParsedCommandLine {
  std::optional<CliOptions> options;
  std::string error;  // one line, UTF-8, when options is empty
};

// `arguments` without the program name. Options may come before, between or after the
// machine arguments; "--name value" and "--name=value" are the same; "--" ends the options.
// A machine argument is a ";"-separated list, as in the window's machine box (an empty name
// inside it is refused, an empty argument adds nothing), or, before "--", "@FILE" for the
// names of a list file and "-" for those of standard input (MachineListNames), read through
// `sources`. The machines of all of them follow each other in order. An option given twice
// keeps its last value; "--output -" is standard output.
ParsedCommandLine ParseCommandLine(const std::vector<Text>& arguments, const MachineSources& sources = {});

// What --help prints, and the part of it that follows a usage error.
std::string HelpText();
std::string UsageText();

}  // namespace appcensus::cli
