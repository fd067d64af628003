// What the console program makes of what the machines report: the activity messages on
// standard error, the records on standard output (or kept for the output file), and the
// report of each machine.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_environment.h"
#include "cli/cli_options.h"
#include "cli/inventory_compare.h"
#include "request/machine_request.h"
#include "cli/record_output.h"

namespace appcensus::cli {

class ConsoleReport : public MachineReport {
 public:
  // `computerName` stands for "." in the records and the report (when not empty). With a
  // `comparison`, the differences from it take the place of the records.
  ConsoleReport(const CliEnvironment& environment, const CliOptions& options, TextView computerName,
                const InventoryComparison* comparison = nullptr);

  void Activity(TextView machine, TextView text, ActivityLevel level, int statusField) override;
  void Progress(TextView machine, int value, int maximum) override;
  void MachineDone(const MachineResult& result) override;

  // After the last machine: writes the sorted records, if kept, and the closing piece.
  void Finish();
  // The records' whole document, when they go to a file.
  const std::string& Document() const { return document_; }
  // The report: a json array of one object per machine, in list order.
  std::string ReportDocument() const;
  // Whether a write to standard output failed (nothing more was written to it after).
  bool OutputFailed() const { return outputFailed_; }

 private:
  void Write(const std::string& bytes);
  void ClearProgress();
  void AddToReport(const MachineResult& result, TextView machine, std::size_t records);
  bool Passes(const ApplicationRecord& record) const;

  const CliEnvironment& environment_;
  const CliOptions& options_;
  Text computerName_;
  RecordOutput output_;
  std::string document_;
  std::string report_;
  std::vector<ApplicationRecord> sorted_;  // with --sort, until Finish
  const InventoryComparison* comparison_;
  std::vector<Difference> differences_;  // with --compare, until Finish
  std::size_t progressWidth_ = 0;
  bool outputFailed_ = false;
};

}  // namespace appcensus::cli
