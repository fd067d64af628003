// The inventory of this machine under Wine, against what Wine's own `reg query` prints for
// the same keys. The ctest fixture has installed real MSI packages and imported a .reg file
// of unusual entries first. The expected records are derived here from reg's output with
// plain code of the test's own, not with the inventory's rule functions.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cwctype>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/activity_log.h"
#include "core/application_table.h"
#include "inventory/inventory_passes.h"
#include "registry/registry_layer.h"
#include "tests/support/inventory_run.h"
#include "tests/support/recording_activity_log.h"

namespace appcensus {
namespace {

using namespace std::chrono_literals;

// The fixture's subkey of 255 characters: too long to be listed, but the entries after it are.
const std::wstring kLongKeyName = L"AppcensusFixture.L" + std::wstring(237, L'k');

constexpr wchar_t kUninstallPrefix[] = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::wstring Wide(const Text& text) { return std::wstring(text.begin(), text.end()); }
std::string Narrow(const std::wstring& text) { return TextToUtf8(Text(text.begin(), text.end())); }

// Runs a command line and gives back what it wrote to its standard output, decoded from
// the OEM code page in which Wine's console programs write to a pipe.
bool CaptureOutput(std::wstring commandLine, std::wstring* output, DWORD* exitCode) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return false;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                      nullptr, &startup, &process);
  CloseHandle(writeEnd);
  if (!started) {
    CloseHandle(readEnd);
    return false;
  }
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(readEnd);
  WaitForSingleObject(process.hProcess, INFINITE);
  GetExitCodeProcess(process.hProcess, exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  output->clear();
  if (bytes.empty()) return true;
  const int length = MultiByteToWideChar(CP_OEMCP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  output->resize(static_cast<std::size_t>(length));
  MultiByteToWideChar(CP_OEMCP, 0, bytes.data(), static_cast<int>(bytes.size()), output->data(), length);
  return true;
}

// What reg prints for one value: its type name and its data as text.
struct PrintedValue {
  std::wstring type;
  std::wstring data;
};
// Value names upper-cased (the registry ignores their letter case).
using PrintedKey = std::map<std::wstring, PrintedValue>;

std::wstring Upper(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

// The direct subkeys of the Uninstall key in `reg query ... /s` output, with their values.
std::map<std::wstring, PrintedKey> ParseRegQuery(const std::wstring& output) {
  std::map<std::wstring, PrintedKey> keys;
  PrintedKey* current = nullptr;
  std::size_t start = 0;
  while (start <= output.size()) {
    std::size_t end = output.find(L'\n', start);
    if (end == std::wstring::npos) end = output.size();
    std::wstring line = output.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    if (line.rfind(L"HKEY_", 0) == 0) {
      current = nullptr;
      if (line.rfind(kUninstallPrefix, 0) != 0) continue;
      const std::wstring name = line.substr(std::wcslen(kUninstallPrefix));
      if (name.empty() || name.find(L'\\') != std::wstring::npos) continue;  // deeper keys are not entries
      current = &keys[name];
    } else if (current != nullptr && line.rfind(L"    ", 0) == 0) {
      const std::size_t typeAt = line.find(L"    REG_", 4);
      if (typeAt == std::wstring::npos) continue;
      const std::wstring rest = line.substr(typeAt + 4);
      const std::size_t dataAt = rest.find(L"    ");
      PrintedValue value{rest.substr(0, dataAt), dataAt == std::wstring::npos ? L"" : rest.substr(dataAt + 4)};
      (*current)[Upper(line.substr(4, typeAt - 4))] = value;
    }
  }
  return keys;
}

// The text the program reads for a value: strings up to 254 characters (510 bytes with
// their terminator), REG_DWORD as signed decimal, REG_BINARY as upper-case hex up to 510
// bytes; anything else, or a missing value, is empty.
std::wstring ReadableText(const PrintedKey& key, const wchar_t* valueName) {
  const auto found = key.find(Upper(valueName));
  if (found == key.end()) return L"";
  const PrintedValue& value = found->second;
  if (value.type == L"REG_SZ" || value.type == L"REG_EXPAND_SZ") return value.data.size() <= 254 ? value.data : L"";
  if (value.type == L"REG_DWORD") {
    const auto number = static_cast<std::uint32_t>(std::wcstoul(value.data.c_str(), nullptr, 16));
    return std::to_wstring(static_cast<std::int32_t>(number));
  }
  if (value.type == L"REG_BINARY") return value.data.size() / 2 <= 510 ? value.data : L"";
  return L"";
}

// The record the rules make of one printed entry; empty DisplayName: none.
bool ExpectedRecord(const std::wstring& keyName, const PrintedKey& key, const std::wstring& machine,
                    std::map<std::wstring, std::vector<std::wstring>>* records) {
  const std::wstring placeholder = L" - ";
  if (keyName.size() > 254) return false;  // not listed: the name does not fit 255 characters
  const std::wstring name = ReadableText(key, L"DisplayName");
  if (name.empty()) return false;
  std::wstring version = ReadableText(key, L"DisplayVersion");
  std::wstring source = ReadableText(key, L"InstallSource");
  std::wstring date = ReadableText(key, L"InstallDate");
  std::wstring uninstall = ReadableText(key, L"UninstallString");
  std::wstring location = ReadableText(key, L"InstallLocation");
  const std::wstring icon = ReadableText(key, L"DisplayIcon");
  if (uninstall.empty() && !ReadableText(key, L"RegistryLocation").empty())
    uninstall = ReadableText(key, L"UninstallCommand");
  if (version.empty()) version = placeholder;
  if (source.empty()) source = placeholder;
  if (date.empty()) {
    date = placeholder;
  } else {
    std::wstring day, month, year;
    for (std::size_t i = 0; i < date.size() && i < 8; ++i) {
      if (i < 4)
        year += date[i];
      else if (i < 6)
        month += date[i];
      else
        day += date[i];
    }
    date = day + L"/" + month + L"/" + year;
  }
  if (location.empty()) {
    if (icon.empty()) {
      location = placeholder;
    } else {
      std::size_t i = icon[0] == L'"' ? 1 : 0;
      const std::size_t first = i;
      std::size_t cut = std::wstring::npos;
      for (; i < icon.size() && icon[i] != L'|'; ++i)
        if (icon[i] == L'\\' || icon[i] == L'/') cut = i;
      location = cut == std::wstring::npos ? L"" : icon.substr(first, cut + 1 - first);
    }
  }
  // Braced groups: each "{" up to the next "}", scanning on after it.
  std::wstring code;
  int groups = 0;
  for (std::size_t open = keyName.find(L'{'); open != std::wstring::npos;) {
    const std::size_t close = keyName.find(L'}', open + 1);
    if (close == std::wstring::npos) break;
    ++groups;
    code = keyName.substr(open, close + 1 - open);
    open = keyName.find(L'{', close + 1);
  }
  if (groups != 1) code = placeholder;
  (*records)[machine + L"_" + keyName] = {name, version, source, date, uninstall, location, code, machine, keyName};
  return true;
}

std::map<std::wstring, std::vector<std::wstring>> ActualRecords(const ApplicationTable& table) {
  std::map<std::wstring, std::vector<std::wstring>> records;
  for (const auto& r : table.Snapshot())
    records[Wide(ApplicationTable::KeyOf(r))] = {Wide(r.DisplayName), Wide(r.DisplayVersion),  Wide(r.InstallSource),
                                                 Wide(r.InstallDate), Wide(r.UninstallString), Wide(r.InstallLocation),
                                                 Wide(r.ProductCode), Wide(r.Machine),         Wide(r.KeyName)};
  return records;
}

// Compares record by record, naming the key of every difference.
void ExpectSameRecords(const std::map<std::wstring, std::vector<std::wstring>>& actual,
                       const std::map<std::wstring, std::vector<std::wstring>>& expected) {
  for (const auto& [key, fields] : expected) {
    const auto found = actual.find(key);
    if (found == actual.end())
      ADD_FAILURE() << "no record for " << Narrow(key);
    else
      EXPECT_EQ(found->second, fields) << "record " << Narrow(key);
  }
  for (const auto& [key, fields] : actual)
    if (expected.count(key) == 0) ADD_FAILURE() << "record not derived from reg query: " << Narrow(key);
}

class WineInventoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::wstring output;
    DWORD exitCode = 1;
    ASSERT_TRUE(CaptureOutput(L"reg.exe query \"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\" /s",
                              &output, &exitCode));
    ASSERT_EQ(exitCode, 0u);
    printed_ = ParseRegQuery(output);
    // The fixture must be in place, or the comparison below would prove little.
    for (const wchar_t* key : {L"{6C2F1A40-3B7E-4D21-9A55-0E1B7C9D4A11}", L"{A91B3C52-77D0-4E6F-8B12-5C3D2E1F0B21}",
                               L"{E4D5C6B7-1A2B-4C3D-8E9F-A0B1C2D3E431}", L"AppcensusFixture.QuotedIcon",
                               L"AppcensusFixture; d\u00e9j\u00e0 vu", L"AppcensusFixture.Nested"})
      ASSERT_EQ(printed_.count(key), 1u) << "fixture entry missing: " << Narrow(key);
    ASSERT_EQ(printed_.count(kLongKeyName), 1u) << "fixture entry with the long name missing";
    for (const auto& entry : printed_)
      if (entry.first.size() <= 254) ++listable_;
  }

  // Runs both passes for `machine` on fresh containers; the records keyed as the table keys.
  std::map<std::wstring, std::vector<std::wstring>> Inventory(const Text& machine, RecordingActivityLog** logOut) {
    run_ = std::make_unique<testing::InventoryRun>();  // Wine's first registry call of a process can be slow
    listed_ = EnumerateUninstallEntries(run_->context, machine);
    if (listed_ != 0) stored_ = ReadApplicationDetails(run_->context, machine);
    *logOut = run_->log.get();
    return ActualRecords(run_->state.applicationTable);
  }

  std::map<std::wstring, PrintedKey> printed_;
  std::size_t listable_ = 0;  // entries whose names fit the layer's buffer
  std::unique_ptr<testing::InventoryRun> run_;
  std::size_t listed_ = 0;
  std::size_t stored_ = 0;
};

TEST_F(WineInventoryTest, LocalInventoryGivesWhatRegQueryShows) {
  for (const Text& machine : {Text(u"."), LocalComputerName()}) {
    SCOPED_TRACE("machine " + TextToUtf8(machine));
    ASSERT_FALSE(machine.empty());
    std::map<std::wstring, std::vector<std::wstring>> expected;
    for (const auto& [keyName, key] : printed_) ExpectedRecord(keyName, key, Wide(machine), &expected);

    RecordingActivityLog* log = nullptr;
    const auto actual = Inventory(machine, &log);
    EXPECT_EQ(listed_, listable_);
    EXPECT_EQ(stored_, expected.size());
    ExpectSameRecords(actual, expected);

    const auto lines = log->Lines();
    const Text count = DecimalText(static_cast<std::int64_t>(listable_));
    EXPECT_NE(std::find(lines.begin(), lines.end(), count + u" Entrées"), lines.end());
    EXPECT_EQ(lines.back(),
              u"Récupération des informations d'applications effectuées. " + count + u" entrées traités.");
    EXPECT_EQ(lines[1], machine == u"." ? Text(u"[TestMachine] : Machine locale, le nom de machine est conforme.")
                                        : Text(u"[TestMachine] : Teste de la machine effectuée correctement."));
  }
}

TEST_F(WineInventoryTest, FixtureEntriesFollowTheRules) {
  RecordingActivityLog* log = nullptr;
  const auto records = Inventory(u".", &log);
  const auto field = [&](const std::wstring& keyName, std::size_t index) {
    const auto found = records.find(L"._" + keyName);
    return found == records.end() ? std::wstring(L"<no record>") : found->second.at(index);
  };
  enum { kName, kVersion, kSource, kDate, kUninstall, kLocation, kCode };
  const std::wstring alpha = L"{6C2F1A40-3B7E-4D21-9A55-0E1B7C9D4A11}";
  EXPECT_EQ(field(alpha, kName), L"Appcensus Fixture Alpha");
  EXPECT_EQ(field(alpha, kVersion), L"1.2.3");
  EXPECT_EQ(field(alpha, kCode), alpha);
  EXPECT_EQ(field(alpha, kUninstall), L"MsiExec.exe /I" + alpha);
  EXPECT_EQ(field(alpha, kDate).size(), 10u);  // dd/mm/yyyy of the installation day
  EXPECT_EQ(field(L"{A91B3C52-77D0-4E6F-8B12-5C3D2E1F0B21}", kLocation), L"C:\\Program Files\\AppcensusFixtureBeta\\");
  EXPECT_EQ(field(L"{E4D5C6B7-1A2B-4C3D-8E9F-A0B1C2D3E431}", kName), L"Appcensus Fixture Gamma caf\u00e9");
  EXPECT_EQ(field(L"AppcensusFixture.QuotedIcon", kLocation), L"C:\\Program Files\\Quoted\\");
  EXPECT_EQ(field(L"AppcensusFixture.BareIcon", kLocation), L"");
  EXPECT_EQ(field(L"AppcensusFixture.BarIcon", kLocation), L"C:\\One\\");
  EXPECT_EQ(field(L"AppcensusFixture.SlashIcon", kLocation), L"C:/Tools/slash/");
  EXPECT_EQ(field(L"AppcensusFixture.DwordDate", kDate), L"06/06/2011");
  EXPECT_EQ(field(L"AppcensusFixture.ShortDate", kDate), L"//2011");
  EXPECT_EQ(field(L"AppcensusFixture.MultiName", kName), L"<no record>");
  EXPECT_EQ(field(L"AppcensusFixture.MultiVersion", kVersion), L" - ");
  EXPECT_EQ(field(L"AppcensusFixture.LongName", kName), L"<no record>");
  EXPECT_EQ(field(L"AppcensusFixture.LongUninstall", kUninstall), L"fallback.exe /u");
  EXPECT_EQ(field(L"AppcensusFixture.LongUninstall", kVersion), std::wstring(254, L'l'));
  EXPECT_EQ(field(L"AppcensusFixture.Command", kUninstall), L"remove.exe /all");
  EXPECT_EQ(field(L"AppcensusFixture.NoCommand", kUninstall), L"");
  EXPECT_EQ(field(L"AppcensusFixture.NoName", kName), L"<no record>");
  EXPECT_EQ(field(L"AppcensusFixture{A}{B}", kCode), L" - ");
  EXPECT_EQ(field(L"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}", kName), L"\u00c9diteur; caf\u00e9 \u00e0 la cr\u00e8me");
  EXPECT_EQ(field(L"AppcensusFixture; d\u00e9j\u00e0 vu", kSource), L"0102AB");
  EXPECT_EQ(field(L"AppcensusFixture.Expand", kVersion), L"4.5");
  EXPECT_EQ(field(L"AppcensusFixture.Expand", kUninstall), L"%SystemRoot%\\unexp.exe /x");
  EXPECT_EQ(records.count(L"._AppcensusFixture.Nested\\Inner"), 0u);
  EXPECT_EQ(records.count(L"._" + kLongKeyName), 0u);
}

}  // namespace
}  // namespace appcensus
