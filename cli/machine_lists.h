// The machines of one command line: the names typed as arguments and those read from list
// files (@FILE) and standard input (-), in order, each machine once.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/text.h"

namespace appcensus::cli {

// The names of a list's bytes: UTF-8 (with or without its byte-order mark) or UTF-16 with
// its byte-order mark; one or more names a line, separated by ";" or white space; "#"
// starts a comment that runs to the end of the line (LF or CR); blank lines add nothing.
std::vector<Text> MachineListNames(std::string_view bytes);

// Where the lists of the command line are read.
struct MachineSources {
  // The bytes of a list file; none when it cannot be read.
  std::function<std::optional<std::string>(TextView path)> readFile;
  // The bytes of standard input, up to its end; none when it cannot be read.
  std::function<std::optional<std::string>()> readInput;
  // The name the local machine "." also answers to: both count as one machine.
  Text computerName;
};

// The machines in the order they were added, each once, by their MachineNameOf ("\\SRV1"
// is kept as SRV1): a name already added (letter case ignored) is dropped, and so are "."
// and the computer's name once either was added.
class MachineList {
 public:
  explicit MachineList(TextView computerName) : upperComputerName_(UpperCase(computerName)) {}
  void Add(const Text& name);
  const std::vector<Text>& Names() const { return names_; }

 private:
  Text upperComputerName_;
  std::vector<Text> names_;
  std::set<Text> added_;
  bool localAdded_ = false;
};

}  // namespace appcensus::cli
