// The command line of the console program: options and machine names, read into one
// structure, or one line that says what is wrong with them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/text.h"

namespace appcensus::cli {

enum class OutputFormat { Csv, Json, Tsv };

inline constexpr std::int32_t kMaxTimeoutSeconds = 2147483647;
inline constexpr int kMaxParallel = 1024;

struct CliOptions {
  OutputFormat format = OutputFormat::Csv;
  Text filter;                                // empty: every application passes
  std::optional<std::int32_t> timeoutSeconds;  // none: the stored setting, else 15
  std::optional<Text> outputPath;             // none: standard output
  int parallel = 1;
  // The machines in the order given, exact duplicates left out; never empty ("." when the
  // command line names none).
  std::vector<Text> machines;
  bool classic = false;  // only the Uninstall key of the 64-bit view, as the window once read
  bool help = false;
  bool version = false;
};

struct ParsedCommandLine {
  std::optional<CliOptions> options;
  std::string error;  // one line, UTF-8, when options is empty
};

// `arguments` without the program name. Options may come before, between or after the
// machine arguments; "--name value" and "--name=value" are the same; "--" ends the options.
// Each machine argument is a ";"-separated list, as in the window's machine box; the lists
// of several arguments are joined in order; an empty argument adds nothing, an empty name
// inside a list is refused. An option given twice keeps its last value.
ParsedCommandLine ParseCommandLine(const std::vector<Text>& arguments);

// The machine list of the window's machine box, split: ";" separates names, an empty text
// stands for the local machine ".", an empty field between separators stays an empty name
// (which the command line refuses). Exact duplicates are dropped: the window's table would
// hold their records once.
std::vector<Text> SplitMachineList(TextView list);

// What --help prints, and the part of it that follows a usage error.
std::string HelpText();
std::string UsageText();

}  // namespace appcensus::cli
