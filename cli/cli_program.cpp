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
int ExitCodeOf(const std::vector<MachineResult>& results) {
  const auto any = [&](MachineOutcome outcome) {
    return std::ranges::find(results, outcome, &MachineResult::outcome) != results.end();
  };
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
  // The files are found out before the first machine is read: the report would replace the records.
  if (options.outputPath && options.reportPath && environment_.sameFile &&
      environment_.sameFile(*options.outputPath, *options.reportPath)) {
    environment_.writeError("Appcensus_cli : --output et --report nomment le m\u00eame fichier \"" +
                            TextToUtf8(*options.reportPath) + "\"\r\n");
    return kExitUsage;
  }
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

  const int seconds = options.timeoutSeconds.value_or(kDefaultTimeoutSeconds);
  RequestOptions request;
  request.timeLimit = std::chrono::milliseconds(TimeLimitMilliseconds(seconds, environment_.perLimitSecond));
  request.machinesAtOnce = static_cast<std::size_t>(std::max(options.parallel, 1));
  request.inventory.allLocations = !options.classic;
  request.inventory.readExtras = options.format != OutputFormat::Csv || options.visibleOnly || options.comparePath;
  request.inventory.identityWait = environment_.identityWait;
  request.startRemoteRegistry = options.startRemoteRegistry;
  request.platform = environment_.platform;
  if (request.platform.localComputerName.empty()) request.platform.localComputerName = computerName;
  request_ = std::make_unique<MachineRequest>(options.machines, request);

  ConsoleReport report(environment_, options, computerName, comparison.get());
  report.Activity(u"", DecimalText(seconds) + u" secondes de temp d'attente pour le traitement de la machine",
                  ActivityLevel::None, 1);
  int code = ExitCodeOf(request_->Run(report));
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
  return !request_ || request_->WaitForLateWork(limit);
}

}  // namespace appcensus::cli
