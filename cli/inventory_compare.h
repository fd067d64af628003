// What changed on the machines of a command line since an earlier json output of the console
// program: the entries added, removed and changed, each written as one line of the output
// format, and the whole document of them in the order of --sort name.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_options.h"
#include "cli/record_output.h"
#include "core/application_record.h"

namespace appcensus::cli {

// One difference as a line of its format, without line end or separator.
struct Difference {
  // Machine, name and registry path, letter case ignored, then as written.
  std::array<Text, 6> order;
  std::string line;
};

class InventoryComparison {
 public:
  // Whether an entry passes the options of the command line now (--filter, --visible-only).
  using EntryFilter = std::function<bool(const ApplicationRecord&)>;

  // The entries of `bytes`, an earlier json output of the program; none, with the reason in
  // `error` (one line, UTF-8), when it is not one. `computerName` is the machine ".".
  static std::unique_ptr<InventoryComparison> Read(std::string_view bytes, TextView computerName, std::string& error);
  ~InventoryComparison();

  // The differences of one listed machine of the list now (`records`: those written for it
  // without --compare): an entry is identified by its machine and full registry path, letter
  // case ignored, and the earlier entries take part only when they pass `passes`.
  std::vector<Difference> Compare(TextView machine, const std::vector<ApplicationRecord>& records,
                                  const EntryFilter& passes, OutputFormat format,
                                  const AccountNames& accountNames = nullptr) const;

 private:
  struct Earlier;
  InventoryComparison();
  std::unique_ptr<Earlier> earlier_;
};

// The differences of every machine as one document of `format`: csv and tsv with a first
// column Change before their usual header, json an array; ordered by `order`.
std::string DifferenceDocument(OutputFormat format, std::vector<Difference> differences);

}  // namespace appcensus::cli
