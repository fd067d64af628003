#include "cli/console_report.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "core/name_filter.h"

namespace appcensus::cli {

namespace {

const char* LevelPrefix(ActivityLevel level) {
  switch (level) {
    case ActivityLevel::InProgress: return "[en cours] ";
    case ActivityLevel::Done: return "[termin\u00e9] ";
    case ActivityLevel::Error: return "[erreur] ";
    default: return "[info] ";
  }
}

const char* StatusName(const MachineResult& result) {
  const char* status = DescribeMachineCause(result.cause).reportStatus;
  return result.outcome == MachineOutcome::Listed || status == nullptr ? "ok" : status;
}

// The order of --sort name: machine, name, then registry path, letter case ignored first.
using SortKey = std::array<Text, 6>;
SortKey SortKeyOf(const ApplicationRecord& record) {
  const Text path = EntryRegistryPath(record);
  return {LowerCase(record.Machine), LowerCase(record.DisplayName), LowerCase(path),
          record.Machine,            record.DisplayName,            path};
}

}  // namespace

ConsoleReport::ConsoleReport(const CliEnvironment& environment, const CliOptions& options, TextView computerName,
                             const InventoryComparison* comparison)
    : environment_(environment),
      options_(options),
      computerName_(computerName.empty() ? Text(u".") : Text(computerName)),
      output_(options.format, environment.accountNames),
      comparison_(comparison) {
  if (!comparison_) Write(output_.Opening());
}

void ConsoleReport::Activity(TextView, TextView text, ActivityLevel level, int) {
  if (options_.quiet && level != ActivityLevel::Error) return;
  ClearProgress();
  environment_.writeError(std::string(LevelPrefix(level)) + TextToUtf8(text) + "\r\n");
}

void ConsoleReport::Progress(TextView machine, int value, int maximum) {
  if (!environment_.errorIsConsole || options_.quiet) return;
  std::string line = "\r" + TextToUtf8(machine) + " : " + std::to_string(value);
  if (maximum > 0 && value <= maximum) line += " / " + std::to_string(maximum);
  const std::size_t width = line.size();
  if (width < progressWidth_) line.append(progressWidth_ - width, ' ');
  progressWidth_ = std::max(progressWidth_, width);
  environment_.writeError(line);
}

void ConsoleReport::MachineDone(const MachineResult& result) {
  const Text name = result.machine == u"." ? computerName_ : result.machine;
  // As the window closes a request that ended within its limit.
  if (result.outcome != MachineOutcome::TimedOut) {
    const Text closing = result.machine == u"." && environment_.localHostName ? environment_.localHostName() : name;
    Activity(result.machine, u"Traitement termin\u00e9 sur la machine " + closing, ActivityLevel::Done, 1);
  }
  ClearProgress();
  std::vector<ApplicationRecord> shown;
  for (const auto& record : result.records) {
    if (!Passes(record)) continue;
    shown.push_back(record);
    if (record.Machine == u".") shown.back().Machine = computerName_;
  }
  if (comparison_) {
    // Only a machine listed now is compared: one that failed has no removals.
    std::vector<Difference> found;
    if (result.outcome == MachineOutcome::Listed)
      found = comparison_->Compare(name, shown, [this](const ApplicationRecord& r) { return Passes(r); },
                                   options_.format, environment_.accountNames);
    AddToReport(result, name, found.size());
    std::ranges::move(found, std::back_inserter(differences_));
    return;
  }
  AddToReport(result, name, shown.size());
  if (options_.sortByName)
    sorted_.insert(sorted_.end(), shown.begin(), shown.end());
  else
    Write(output_.Records(shown));
}

void ConsoleReport::Finish() {
  if (comparison_) {
    Write(DifferenceDocument(options_.format, std::move(differences_)));
    return;
  }
  if (options_.sortByName) {
    std::vector<std::pair<SortKey, std::size_t>> order;
    for (std::size_t i = 0; i < sorted_.size(); ++i) order.emplace_back(SortKeyOf(sorted_[i]), i);
    std::ranges::sort(order);
    std::vector<ApplicationRecord> records;
    for (const auto& [key, i] : order) records.push_back(std::move(sorted_[i]));
    Write(output_.Records(records));
  }
  Write(output_.Closing());
}

std::string ConsoleReport::ReportDocument() const { return report_.empty() ? "[]\r\n" : report_ + "\r\n]\r\n"; }

void ConsoleReport::AddToReport(const MachineResult& result, TextView machine, std::size_t records) {
  const auto ms = result.duration.count();
  const std::string thousandths = std::to_string(1000 + ms % 1000).substr(1);
  report_ += report_.empty() ? "[\r\n" : ",\r\n";
  report_ += "{\"machine\":" + JsonString(machine) + ",\"status\":\"" + StatusName(result) +
             "\",\"records\":" + std::to_string(records) + ",\"seconds\":" + std::to_string(ms / 1000) + "." +
             thousandths;
  if (comparison_) report_ += result.outcome == MachineOutcome::Listed ? ",\"compared\":true" : ",\"compared\":false";
  if (result.outcome != MachineOutcome::Listed) report_ += ",\"message\":" + JsonString(result.message);
  if (const char* service = RemoteRegistryReportText(result.remoteRegistry))
    report_ += ",\"remoteRegistry\":\"" + std::string(service) + "\"";
  report_ += "}";
}

bool ConsoleReport::Passes(const ApplicationRecord& record) const {
  return NameMatchesFilter(record.DisplayName, options_.filter) && (!options_.visibleOnly || ShownByWindows(record));
}

void ConsoleReport::Write(const std::string& bytes) {
  if (bytes.empty()) return;
  if (options_.outputPath)
    document_ += bytes;
  else if (!outputFailed_ && !environment_.writeOutput(bytes))
    outputFailed_ = true;
}

void ConsoleReport::ClearProgress() {
  if (progressWidth_ == 0) return;
  environment_.writeError("\r" + std::string(progressWidth_, ' ') + "\r");
  progressWidth_ = 0;
}

}  // namespace appcensus::cli
