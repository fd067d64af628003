// Appcensus_cli.exe as a process under Wine, against the real registry filled by the
// inventory test's fixtures: its records are those of the same request made here, in every
// format, with the values that `reg query` shows; its report, and its exit codes.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "cli/console_win32.h"
#include "cli/record_output.h"
#include "export/csv_format.h"
#include "registry/registry_layer.h"
#include "request/machine_causes.h"
#include "tests/support/inventory_run.h"

namespace appcensus {
namespace {

// Runs `command` in the test's working folder: its exit code and its standard output.
std::pair<int, std::string> Command(const std::wstring& command) {
  FILE* pipe = _wpopen(command.c_str(), L"rb");
  std::string out;
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
  return {_pclose(pipe), out};
}
std::string FileBytes(const std::filesystem::path& file) {
  return (std::ostringstream() << std::ifstream(file, std::ios::binary).rdbuf()).str();
}

// The values below an Uninstall key as `reg query /s` prints them: "REG_SZ text" by "entry\value".
std::map<std::string, std::string> PrintedValues(const std::string& key) {
  const std::string oem = Command(L"reg query \"" + std::wstring(key.begin(), key.end()) + L"\" /s /reg:64").second;
  std::wstring wide(oem.size(), L'\0');
  wide.resize(MultiByteToWideChar(CP_OEMCP, 0, oem.data(), static_cast<int>(oem.size()), wide.data(), static_cast<int>(wide.size())));
  std::istringstream lines(TextToUtf8(Text(wide.begin(), wide.end())));
  std::map<std::string, std::string> values;
  std::string entry;
  std::smatch value;
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with(key + "\\")) entry = line.substr(key.size() + 1, line.size() - key.size() - 2);  // less its CR
    if (std::regex_match(line, value, std::regex("    (\\S+)    (REG_\\w+)    (.*)\r")))
      values[entry + "\\" + value.str(1)] = value.str(2) + " " + value.str(3);
  }
  return values;
}

TEST(CliWine, RecordsAreThoseOfTheSameRequestInEveryFormatWithTheValuesRegQueryShows) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() / L"appcensus cli r\u00e9sultat.csv";
  const Text computer = LocalComputerName();
  // "." and this computer's name are one machine; the other two addresses refuse on port 445.
  std::ofstream("machines.txt") << "# tonight\n.\n" << TextToUtf8(computer) << " 127.0.0.4;127.0.0.5\n";
  const auto csv = Command(L"Appcensus_cli.exe . --timeout 120 --output \"" + file.wstring() + L"\"");
  const auto json = Command(L"Appcensus_cli.exe @machines.txt --format json --timeout=120 --report report.json");
  const auto tsv = Command(L"Appcensus_cli.exe --format=tsv --filter \"FIXTURE gamma\" --timeout 120 .");
  testing::InventoryRun run;
  run.context.options.readExtras = true;
  std::vector<ApplicationRecord> here = run.Records(u".");
  ASSERT_GE(here.size(), 15u) << "the fixtures are missing";
  for (auto& record : here) record.Machine = computer;

  EXPECT_EQ(csv, std::pair(0, std::string()));
  EXPECT_EQ(FileBytes(file), CsvDocument(here));
  std::filesystem::remove(file);
  cli::RecordOutput jsonOutput(cli::OutputFormat::Json, cli::ConsoleEnvironment().accountNames);
  const std::string records = jsonOutput.Opening() + jsonOutput.Records(here);
  EXPECT_EQ(json, std::pair(1, records + jsonOutput.Closing()));  // the closing once the records are in
  const auto located = [&](const std::string& where) {
    const std::regex field("\"Location\":\"" + where + "\"");
    return std::distance(std::sregex_iterator(records.begin(), records.end(), field), std::sregex_iterator());
  };
  EXPECT_EQ(located("package"), 5);  // the fixture's packages
  EXPECT_EQ(located("provisioned"), 1);
  const std::string unknown = "\",\"status\":\"refused\",\"records\":0,\"message\":" +
                              cli::JsonString(DescribeMachineCause(MachineCause::Refused).message) + "}";
  EXPECT_EQ(std::regex_replace(FileBytes("report.json"), std::regex(",\"seconds\":[0-9]+\\.[0-9]{3}"), ""),
            "[\r\n{\"machine\":" + cli::JsonString(computer) + ",\"status\":\"ok\",\"records\":" + std::to_string(here.size()) +
                "},\r\n{\"machine\":\"127.0.0.4" + unknown + ",\r\n{\"machine\":\"127.0.0.5" + unknown + "\r\n]\r\n");
  const auto gamma = std::ranges::find(here, u"Appcensus Fixture Gamma caf\u00e9", &ApplicationRecord::DisplayName);
  ASSERT_NE(gamma, here.end());
  cli::RecordOutput tsvOutput(cli::OutputFormat::Tsv);
  EXPECT_EQ(tsv, std::pair(0, tsvOutput.Opening() + tsvOutput.Records({*gamma})));

  // Each value that only the console program reads, in the 64-bit view, as reg query shows it.
  auto printed = PrintedValues("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
  std::size_t present = 0;
  for (const auto& record : here) {
    if (record.UninstallKeyPath != kUninstallKeyPath) continue;
    for (const auto& extra : kExtraValues) {
      const std::string shown = printed[TextToUtf8(record.KeyName + u"\\" + extra.valueName)];
      const std::string data = shown.substr(std::min(shown.size(), shown.find(' ') + 1));
      EXPECT_EQ(TextToUtf8(record.Extras.*extra.member),
                shown.starts_with("REG_DWORD ") ? std::to_string(std::stoul(data, nullptr, 16)) : data)
          << TextToUtf8(record.KeyName + u" " + extra.valueName);
      present += !data.empty();
    }
  }
  EXPECT_GE(present, 9u);  // the MSI packages' and the entry that has them all
}

// The local machine's json, then with `reg` an entry added, one removed and one upgraded:
// --compare gives those three, in json and tsv, each as the program writes the record.
TEST(CliWine, CompareGivesTheEntryAddedTheOneRemovedAndTheOneUpgraded) {
  const std::wstring key = L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\AppcensusCompare.";
  const auto reg = [&](const std::wstring& what, const std::wstring& entry, const std::wstring& value = L"") {
    return Command(L"reg " + what + L" \"" + key + entry + L"\" " + value + L" /f /reg:64").first;
  };
  const auto records = [] {  // by name, of the entries above
    testing::InventoryRun run;
    run.context.options.readExtras = true;
    std::map<Text, ApplicationRecord> named;
    for (ApplicationRecord& record : run.Records(u"."))
      if (record.KeyName.starts_with(u"AppcensusCompare.")) {
        record.Machine = LocalComputerName();
        named[record.KeyName.substr(17)] = record;
      }
    return named;
  };
  ASSERT_EQ(reg(L"add", L"Old", L"/v DisplayName /d \"Appcensus Compare b\"") + reg(L"add", L"Up", L"/v DisplayName /d \"Appcensus Compare c\"") +
                reg(L"add", L"Up", L"/v DisplayVersion /d 1.0"), 0);
  const auto old = records()[u"Old"];
  ASSERT_EQ(Command(L"Appcensus_cli.exe . --format json --timeout 120 --output compare.json").first, 0);
  EXPECT_EQ(reg(L"delete", L"Old") + reg(L"add", L"New", L"/v DisplayName /d \"Appcensus Compare a\"") +
                reg(L"add", L"Up", L"/v DisplayVersion /d 2.0"), 0);
  auto now = records();
  const auto json = Command(L"Appcensus_cli.exe . --compare compare.json --format json --timeout 120");
  const auto tsv = Command(L"Appcensus_cli.exe --format=tsv --compare=compare.json --timeout 120");
  EXPECT_EQ(reg(L"delete", L"New") + reg(L"delete", L"Up"), 0);
  std::ofstream("not-json.txt") << "SRV1\n";
  EXPECT_EQ(Command(L"Appcensus_cli.exe . --compare not-json.txt"), std::pair(2, std::string()));

  const auto line = [](cli::OutputFormat format, std::string change, const ApplicationRecord& record) {
    const std::string written = cli::RecordOutput(format, cli::ConsoleEnvironment().accountNames).Records({record});
    if (format == cli::OutputFormat::Tsv) return change + "\t" + written;
    const std::string fields = written.substr(3, written.size() - 4);  // inside "\r\n{...}"
    return "{\"Change\":\"" + change + "\"," + fields +
           (change == "changed" ? ",\"Fields\":[\"DisplayVersion\"],\"Previous\":{\"DisplayVersion\":\"1.0\"}}" : "}");
  };
  using enum cli::OutputFormat;
  EXPECT_EQ(json, std::pair(0, "[\r\n" + line(Json, "added", now[u"New"]) + ",\r\n" + line(Json, "removed", old) + ",\r\n" +
                                   line(Json, "changed", now[u"Up"]) + "\r\n]\r\n"));
  EXPECT_EQ(tsv, std::pair(0, "Change\t" + cli::RecordOutput(Tsv).Opening() + line(Tsv, "added", now[u"New"]) + line(Tsv, "removed", old) +
                                   line(Tsv, "changed", now[u"Up"])));
}

TEST(CliWine, ExitCodesAndTheOutputWithoutRecords) {
  const std::pair<const wchar_t*, std::pair<int, std::string>> cases[] = {
      {L"127.0.0.6 --timeout 60", {1, CsvDocument({})}},  // the header all the same
      {L"--parallel 0", {2, ""}},
      {L". > Z:\\dev\\full", {2, ""}},  // Wine's drive Z: is the host's root, where /dev/full is a full disk
      {L". --classic --quiet --output NUL --report nul", {0, ""}},  // a device is written, not replaced
      // One file named twice, as it is and by another spelling, refused before the machine is read.
      {L"127.0.0.6 --output same.json --report .\\SAME.json", {2, ""}},
      {L"127.0.0.6 --output new.json --report x\\..\\NEW.JSON", {2, ""}},
  };
  std::ofstream("same.json") << "[]";
  for (const auto& [arguments, outcome] : cases) EXPECT_EQ(Command(L"Appcensus_cli.exe " + std::wstring(arguments)), outcome) << std::filesystem::path(arguments);
}

// A socket of this test listening on a loopback address, port 445 (as root under Wine).
class Listener {
 public:
  explicit Listener(const char* address) {
    WSADATA wsa;
    started_ = WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
    socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(445);
    at.sin_addr.s_addr = inet_addr(address);
    listening_ = socket_ != INVALID_SOCKET && bind(socket_, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 &&
                 listen(socket_, 16) == 0;
  }
  ~Listener() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
    if (started_) WSACleanup();
  }
  bool Listening() const { return listening_; }

 private:
  bool started_ = false, listening_ = false;
  SOCKET socket_ = INVALID_SOCKET;
};

// What the report says of a remote machine: nothing listens on 127.0.0.2; 127.0.0.3 answers
// on port 445, but has no registry to connect to (Wine connects none), and its service
// control manager cannot be reached either. Each within a limit that a wait would pass.
TEST(CliWine, TheReportSaysWhyARemoteMachineGaveNothing) {
  const Listener listener("127.0.0.3");
  ASSERT_TRUE(listener.Listening());
  const std::tuple<const wchar_t*, int, std::string> cases[] = {
      {L"127.0.0.2 --timeout 3", 1, "\"status\":\"refused\""},
      {L"127.0.0.3 --timeout 10", 1, "\"status\":\"no-remote-registry\""},
      {L"127.0.0.3 --timeout 30 --start-remote-registry", 1, "\"remoteRegistry\":\"start-failed\""}};
  for (const auto& [arguments, code, shown] : cases) {
    std::filesystem::remove("cause.json");
    EXPECT_EQ(Command(L"Appcensus_cli.exe --quiet --report cause.json " + std::wstring(arguments)).first, code);
    const std::string report = FileBytes("cause.json");
    EXPECT_NE(report.find(shown), std::string::npos) << report;
  }
}

}  // namespace
}  // namespace appcensus
