// Appcensus_cli.exe as a process under Wine, against the real registry filled by the
// inventory test's fixtures: its records are the export's lines of the same request made
// in this process, in every format; exit codes for a machine that does not answer, a limit
// of 0 and bad command lines.
//
//   cli_wine_tests.exe <path of Appcensus_cli.exe> [gtest options]
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>

#include "cli/record_output.h"
#include "core/application_table.h"
#include "export/csv_format.h"
#include "tests/support/csv_reader.h"
#include "inventory/inventory_passes.h"
#include "tests/cli/json_reader.h"
#include "tests/support/inventory_run.h"
#include "tests/support/recording_activity_log.h"

namespace appcensus {
namespace {

using namespace std::chrono_literals;

// Appcensus_cli.exe, beside this test program.
std::wstring ProgramPath() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self);
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"Appcensus_cli.exe";
}

struct Outcome {
  DWORD exitCode = 0xFFFFFFFF;
  std::string out;
  std::string err;
};

std::string ReadAll(HANDLE pipe) {
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  return bytes;
}

// Runs the program with `arguments` (already quoted), both outputs through pipes.
Outcome RunProgram(const std::wstring& arguments) {
  Outcome outcome;
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
  if (!CreatePipe(&outRead, &outWrite, &inherit, 0) || !CreatePipe(&errRead, &errWrite, &inherit, 0)) {
    ADD_FAILURE() << "no pipe";
    return outcome;
  }
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = outWrite;
  startup.hStdError = errWrite;
  PROCESS_INFORMATION process{};
  std::wstring commandLine = L"\"" + ProgramPath() + L"\" " + arguments;
  const BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                      nullptr, &startup, &process);
  CloseHandle(outWrite);
  CloseHandle(errWrite);
  if (!started) {
    CloseHandle(outRead);
    CloseHandle(errRead);
    ADD_FAILURE() << "cannot start the program";
    return outcome;
  }
  std::thread errReader([&] { outcome.err = ReadAll(errRead); });
  outcome.out = ReadAll(outRead);
  errReader.join();
  CloseHandle(outRead);
  CloseHandle(errRead);
  WaitForSingleObject(process.hProcess, INFINITE);
  GetExitCodeProcess(process.hProcess, &outcome.exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return outcome;
}

class CliWineTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const auto& thread : tests_) EXPECT_TRUE(thread.WaitFor(30s));
  }

  // The records of the same request, inventoried here as the window's job does.
  std::vector<ApplicationRecord> InventoryHere(TextView machine) { return testing::InventoryRun().Records(machine); }

  std::vector<TaskThread> tests_;
};

TEST_F(CliWineTest, CsvIsTheExportOfTheSameRequest) {
  const Outcome run = RunProgram(L". --format csv --timeout 120");
  const std::vector<ApplicationRecord> here = InventoryHere(u".");
  ASSERT_EQ(run.exitCode, 0u) << run.err;
  ASSERT_GE(here.size(), 15u) << "the fixtures are missing";
  EXPECT_EQ(run.out, CsvDocument(here));

  // Read back strictly, a fixture record field by field (its name holds ";" and accents).
  const auto rows = ReadCsvDocument(run.out);
  ASSERT_TRUE(rows);
  ASSERT_EQ(rows->size(), here.size() + 1);
  EXPECT_EQ(rows->front(), ReadCsvLine(kCsvHeader));
  const Text key = u"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}";
  bool found = false;
  for (const auto& row : *rows) {
    if (row.size() != kCsvFieldCount || row[2] != key) continue;
    found = true;
    EXPECT_EQ(row[0], u"\u00c9diteur; caf\u00e9 \u00e0 la cr\u00e8me");
    EXPECT_EQ(row[7], Text(kUninstallKeyPath) + u"\\" + key);
    EXPECT_EQ(row[8], u".");
  }
  EXPECT_TRUE(found);
  EXPECT_NE(run.err.find("[termin\u00e9] Traitement termin\u00e9 sur la machine "), std::string::npos) << run.err;
}

TEST_F(CliWineTest, JsonAndTsvHoldTheSameRecords) {
  const Outcome json = RunProgram(L"--format json --timeout 120");
  const Outcome tsv = RunProgram(L"--timeout=120 --format=tsv .");
  const std::vector<ApplicationRecord> here = InventoryHere(u".");
  ASSERT_EQ(json.exitCode, 0u) << json.err;
  ASSERT_EQ(tsv.exitCode, 0u) << tsv.err;

  const auto read = testing::ReadJsonRecords(json.out);
  ASSERT_TRUE(read) << json.out;
  ASSERT_EQ(read->size(), here.size());
  for (std::size_t i = 0; i < here.size(); ++i)
    for (const auto& field : cli::kRecordFields)
      EXPECT_EQ(read->at(i).at(field.name), here[i].*field.member) << field.name << " of " << TextToUtf8(here[i].KeyName);

  cli::RecordOutput expected(cli::OutputFormat::Tsv);
  EXPECT_EQ(tsv.out, expected.Opening() + expected.Records(here));
}

TEST_F(CliWineTest, FilterAndOutputFile) {
  wchar_t folder[MAX_PATH] = {};
  ASSERT_NE(GetTempPathW(MAX_PATH, folder), 0u);
  const std::wstring path = std::wstring(folder) + L"appcensus cli r\u00e9sultat.csv";
  {
    // A longer file of that name is replaced whole.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::string old(200000, 'x');
    DWORD written = 0;
    WriteFile(file, old.data(), static_cast<DWORD>(old.size()), &written, nullptr);
    CloseHandle(file);
  }
  const Outcome run = RunProgram(L"--filter \"FIXTURE gamma\" --output \"" + path + L"\" --timeout 120");
  ASSERT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_TRUE(run.out.empty());

  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const std::string content = ReadAll(file);
  CloseHandle(file);
  DeleteFileW(path.c_str());

  std::vector<ApplicationRecord> shown;
  for (const auto& record : InventoryHere(u"."))
    if (record.DisplayName == u"Appcensus Fixture Gamma caf\u00e9") shown.push_back(record);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(content, CsvDocument(shown));
}

TEST_F(CliWineTest, ExitCodes) {
  const Outcome unknown = RunProgram(L"APPCENSUS-NO-SUCH-MACHINE --timeout 60");
  EXPECT_EQ(unknown.exitCode, 1u) << unknown.err;
  EXPECT_EQ(unknown.out, CsvDocument({}));
  EXPECT_NE(unknown.err.find("[erreur] Impossible de contacter la machine APPCENSUS-NO-SUCH-MACHINE.\r\n"),
            std::string::npos)
      << unknown.err;

  const Outcome abandoned = RunProgram(L". --timeout 0 --format json");
  EXPECT_EQ(abandoned.exitCode, 3u) << abandoned.err;
  EXPECT_EQ(abandoned.out, "[]\r\n");
  EXPECT_NE(abandoned.err.find("[erreur] Impossible de r\u00e9cuperer les informations de la machine.\r\n"),
            std::string::npos)
      << abandoned.err;

  for (const wchar_t* arguments : {L"--parallel 0", L"--timeout -5", L"--timeout", L"--format xml", L"--what",
                                   L"\"\" --output \"\"", L"--parallel 99999999999999999999999", L"\"a;;b\""}) {
    const Outcome bad = RunProgram(arguments);
    EXPECT_EQ(bad.exitCode, 2u) << TextToUtf8(Text(reinterpret_cast<const char16_t*>(arguments)));
    EXPECT_TRUE(bad.out.empty());
    EXPECT_EQ(bad.err.rfind("Appcensus_cli : ", 0), 0u) << bad.err;
  }

  const Outcome version = RunProgram(L"--version");
  EXPECT_EQ(version.exitCode, 0u);
  EXPECT_EQ(version.out, "Brelmont Appcensus v3.133\r\n");
}

}  // namespace
}  // namespace appcensus
