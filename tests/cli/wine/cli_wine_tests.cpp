// Appcensus_cli.exe as a process under Wine, against the real registry filled by the
// inventory test's fixtures: its records are those of the same request made here, in every
// format, and its exit codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/console_win32.h"
#include "cli/record_output.h"
#include "export/csv_format.h"
#include "tests/support/inventory_run.h"

namespace appcensus {
namespace {

// Runs Appcensus_cli.exe, in the test's working folder, with `arguments`: its exit code and
// its standard output.
std::pair<int, std::string> RunProgram(const std::wstring& arguments) {
  FILE* pipe = _wpopen((L"Appcensus_cli.exe " + arguments).c_str(), L"rb");
  std::string out;
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
  return {_pclose(pipe), out};
}

TEST(CliWine, RecordsAreThoseOfTheSameRequestInEveryFormat) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() / L"appcensus cli r\u00e9sultat.csv";
  const auto csv = RunProgram(L". --timeout 120 --output \"" + file.wstring() + L"\"");
  const auto json = RunProgram(L"--format json --timeout=120");
  const auto tsv = RunProgram(L"--format=tsv --filter \"FIXTURE gamma\" --timeout 120 .");
  const std::vector<ApplicationRecord> here = testing::InventoryRun().Records(u".");
  ASSERT_GE(here.size(), 15u) << "the fixtures are missing";

  EXPECT_EQ(csv, std::pair(0, std::string()));
  EXPECT_EQ((std::ostringstream() << std::ifstream(file, std::ios::binary).rdbuf()).str(), CsvDocument(here));
  std::filesystem::remove(file);
  cli::RecordOutput jsonOutput(cli::OutputFormat::Json, cli::ConsoleEnvironment().accountNames);
  const std::string records = jsonOutput.Opening() + jsonOutput.Records(here);
  EXPECT_EQ(json, std::pair(0, records + jsonOutput.Closing()));  // the closing once the records are in
  const auto gamma = std::ranges::find(here, u"Appcensus Fixture Gamma caf\u00e9", &ApplicationRecord::DisplayName);
  ASSERT_NE(gamma, here.end());
  cli::RecordOutput tsvOutput(cli::OutputFormat::Tsv);
  EXPECT_EQ(tsv, std::pair(0, tsvOutput.Opening() + tsvOutput.Records({*gamma})));
}

TEST(CliWine, ExitCodesAndTheOutputWithoutRecords) {
  const std::pair<const wchar_t*, std::pair<int, std::string>> cases[] = {
      {L"APPCENSUS-NO-SUCH-MACHINE --timeout 60", {1, CsvDocument({})}},  // the header all the same
      {L". --timeout 0 --format json", {3, "[]\r\n"}},
      {L"--parallel 0", {2, ""}},
  };
  for (const auto& [arguments, outcome] : cases) EXPECT_EQ(RunProgram(arguments), outcome) << std::filesystem::path(arguments);
}

}  // namespace
}  // namespace appcensus
