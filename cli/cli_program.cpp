#include "cli/cli_program.h"

#include <algorithm>

#include "cli/cli_options.h"
#include "cli/record_output.h"
#include "core/name_filter.h"
#include "core/shared_state.h"
#include "settings/stored_settings.h"

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

// Messages to standard error (with the progress line on a console), records to standard
// output or into a buffer for the output file.
class ConsoleReport : public MachineReport {
 public:
  ConsoleReport(const CliEnvironment& environment, OutputFormat format, TextView filter, bool toFile)
      : environment_(environment), output_(format, environment.accountNames), filter_(filter), toFile_(toFile) {
    Write(output_.Opening());
  }

  void Activity(TextView, TextView text, ActivityLevel level) override {
    ClearProgress();
    environment_.writeError(std::string(LevelPrefix(level)) + TextToUtf8(text) + "\r\n");
  }

  void Progress(TextView machine, int value, int maximum) override {
    if (!environment_.errorIsConsole) return;
    std::string line = "\r" + TextToUtf8(machine) + " : " + std::to_string(value);
    if (maximum > 0 && value <= maximum) line += " / " + std::to_string(maximum);
    const std::size_t width = line.size();
    if (width < progressWidth_) line.append(progressWidth_ - width, ' ');
    progressWidth_ = std::max(progressWidth_, width);
    environment_.writeError(line);
  }

  void MachineDone(const MachineResult& result) override {
    ClearProgress();
    std::vector<ApplicationRecord> shown;
    for (const auto& record : result.records)
      if (NameMatchesFilter(record.DisplayName, filter_)) shown.push_back(record);
    Write(output_.Records(shown));
  }

  // The closing piece; the whole document when it goes to a file.
  const std::string& Finish() {
    Write(output_.Closing());
    return document_;
  }

 private:
  void Write(const std::string& bytes) {
    if (bytes.empty()) return;
    if (toFile_)
      document_ += bytes;
    else
      environment_.writeOutput(bytes);
  }
  void ClearProgress() {
    if (progressWidth_ == 0) return;
    environment_.writeError("\r" + std::string(progressWidth_, ' ') + "\r");
    progressWidth_ = 0;
  }

  const CliEnvironment& environment_;
  RecordOutput output_;
  Text filter_;
  bool toFile_;
  std::string document_;
  std::size_t progressWidth_ = 0;
};

// Receives the time-limit field's text from the stored settings.
class TimeLimitField : public SettingsWindow {
 public:
  Text MachineBoxText() override { return {}; }
  void SetMachineBoxText(TextView) override {}
  void ClearMachineBoxItems() override {}
  void AppendMachineBoxItem(TextView) override {}
  Text TimeLimitText() override { return text_; }
  void SetTimeLimitText(TextView text) override { text_ = Text(text); }
  bool InnerSize(int*, int*) override { return false; }
  void SetInnerSize(int, int) override {}

 private:
  Text text_;
};

}  // namespace

Text StoredTimeLimitText() {
  TimeLimitField field;
  LoadTimeLimitSetting(field);
  return field.TimeLimitText();
}

CliProgram::CliProgram(CliEnvironment environment) : environment_(std::move(environment)) {}

CliProgram::~CliProgram() = default;

int CliProgram::Run(const std::vector<Text>& arguments) {
  const ParsedCommandLine parsed = ParseCommandLine(arguments);
  if (!parsed.options) {
    environment_.writeError("Appcensus_cli : " + parsed.error + "\r\n\r\n" + UsageText());
    return kExitUsage;
  }
  const CliOptions& options = *parsed.options;
  if (options.help) {
    environment_.writeOutput(HelpText());
    return kExitListed;
  }
  if (options.version) {
    environment_.writeOutput(TextToUtf8(WindowTitle()) + "\r\n");
    return kExitListed;
  }

  RunSettings settings;
  settings.timeLimitText = options.timeoutSeconds ? DecimalText(*options.timeoutSeconds) : StoredTimeLimitText();
  settings.localHostName = environment_.localHostName;
  settings.parallel = options.parallel;
  settings.perLimitSecond = environment_.perLimitSecond;
  settings.identityWait = environment_.identityWait;
  settings.allLocations = !options.classic;
  runs_ = std::make_unique<MachineRuns>(options.machines, settings);

  ConsoleReport report(environment_, options.format, options.filter, options.outputPath.has_value());
  const std::vector<MachineOutcome> outcomes = runs_->Run(report);
  const std::string& document = report.Finish();
  if (options.outputPath && !environment_.writeFile(*options.outputPath, document)) {
    environment_.writeError("Appcensus_cli : impossible d'\u00e9crire le fichier \"" +
                            TextToUtf8(*options.outputPath) + "\"\r\n");
    return kExitUsage;
  }

  const auto any = [&](MachineOutcome outcome) {
    return std::find(outcomes.begin(), outcomes.end(), outcome) != outcomes.end();
  };
  if (any(MachineOutcome::TimedOut)) return kExitTimeLimit;
  if (any(MachineOutcome::Failed)) return kExitUnreachable;
  return kExitListed;
}

bool CliProgram::WaitForLateWork(std::chrono::milliseconds limit) const {
  return !runs_ || runs_->WaitForLateWork(limit);
}

}  // namespace appcensus::cli
