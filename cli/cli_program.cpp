#include "cli/cli_program.h"

#include <algorithm>

#include "cli/cli_options.h"
#include "cli/console_report.h"
#include "cli/inventory_compare.h"
#include "core/shared_state.h"
#include "registry/registry_layer.h"

namespace appcensus::cli {

namespace {

// The exit code of the machines' outcomes: a time limit outweighs a machine that failed.
int ExitCodeOf(const std::vector<MachineOutcome>& outcomes) {
  const auto any = [&](MachineOutcome outcome) { return std::ranges::find(outcomes, outcome) != outcomes.end(); };
  if (any(MachineOutcome::TimedOut)) return kExitTimeLimit;
  if (any(MachineOutcome::Unreachable) || any(MachineOutcome::OtherMachine)) return kExitUnreachable;
  return kExitListed;
}

}  // namespace

CliProgram::CliProgram(CliEnvironment environment) : environment_(std::move(environment)) {}

CliProgram::~CliProgram() = default;

int CliProgram::FileError(const char* action, TextView path) const {
  environment_.writeError("Appcensus_cli : impossible " + std::string(action) + " le fichier \"" + TextToUtf8(path) +
                          "\"\r\n");
  return kExitUsage;
}

int CliProgram::Run(const std::vector<Text>& arguments) {
  const Text computerName = LocalComputerName();
  const ParsedCommandLine parsed =
      ParseCommandLine(arguments, MachineSources{environment_.readFile, environment_.readInput, computerName});
  if (!parsed.options) {
    environment_.writeError("Appcensus_cli : " + parsed.error + "\r\n\r\n" + UsageText());
    return kExitUsage;
  }
  const CliOptions& options = *parsed.options;
  const std::string_view outputError = "Appcensus_cli : impossible d'\u00e9crire sur la sortie standard\r\n";
  if (options.help || options.version) {
    if (environment_.writeOutput(options.help ? HelpText() : TextToUtf8(WindowTitle()) + "\r\n")) return kExitListed;
    environment_.writeError(outputError);
    return kExitUsage;
  }
  // The files are found out before the first machine is read.
  for (const auto& path : {options.outputPath, options.reportPath})
    if (path && !environment_.canWriteFile(*path)) return FileError("de cr\u00e9er", *path);
  std::unique_ptr<InventoryComparison> comparison;
  if (options.comparePath) {
    const std::optional<std::string> bytes = environment_.readFile(*options.comparePath);
    if (!bytes) return FileError("de lire", *options.comparePath);
    std::string reason;
    comparison = InventoryComparison::Read(*bytes, computerName, reason);
    if (!comparison) {
      environment_.writeError("Appcensus_cli : le fichier \"" + TextToUtf8(*options.comparePath) +
                              "\" n'est pas une sortie json d'Appcensus_cli : " + reason + "\r\n");
      return kExitUsage;
    }
  }

  RunSettings settings;
  settings.timeLimitText = DecimalText(options.timeoutSeconds.value_or(kDefaultTimeoutSeconds));
  settings.localHostName = environment_.localHostName;
  settings.parallel = options.parallel;
  settings.perLimitSecond = environment_.perLimitSecond;
  settings.identityWait = environment_.identityWait;
  settings.allLocations = !options.classic;
  settings.readExtras = options.format != OutputFormat::Csv || options.visibleOnly || options.comparePath;
  runs_ = std::make_unique<MachineRuns>(options.machines, settings);

  ConsoleReport report(environment_, options, computerName, comparison.get());
  int code = ExitCodeOf(runs_->Run(report));
  report.Finish();
  if (options.outputPath && !environment_.writeFile(*options.outputPath, report.Document()))
    code = FileError("d'\u00e9crire", *options.outputPath);
  if (options.reportPath && !environment_.writeFile(*options.reportPath, report.ReportDocument()))
    code = FileError("d'\u00e9crire", *options.reportPath);
  if (report.OutputFailed()) {
    environment_.writeError(outputError);
    code = kExitUsage;
  }
  return code;
}

bool CliProgram::WaitForLateWork(std::chrono::milliseconds limit) const {
  return !runs_ || runs_->WaitForLateWork(limit);
}

}  // namespace appcensus::cli
