// The inventory of this machine under Wine, in Wine's own registry: the ctest fixture has
// installed four MSI packages (one 32-bit) and imported a .reg file of unusual entries first.
// (Every rule is checked on all kinds of data by the hostile corpus; here on what installers
// write.) What is listed is what `reg query /s` shows below the three Uninstall keys.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "registry/registry_layer.h"
#include "tests/support/inventory_run.h"

namespace appcensus {
namespace {

// The names of the subkeys right below `key` as `reg query /s` prints them (in the OEM code
// page, which holds every letter of the fixture's names).
std::set<Text> PrintedSubkeys(const std::wstring& key) {
  FILE* pipe = _wpopen((L"reg query \"" + key + L"\" /s /reg:64").c_str(), L"rb");
  std::string out;
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
  _pclose(pipe);
  std::wstring wide(out.size(), L'\0');
  wide.resize(MultiByteToWideChar(CP_OEMCP, 0, out.data(), static_cast<int>(out.size()), wide.data(), static_cast<int>(wide.size())));
  std::set<Text> names;
  const std::wstring prefix = key + L"\\";
  for (std::size_t start = 0, end; start < wide.size(); start = end + 1) {
    end = std::min(wide.find(L'\n', start), wide.size());
    std::wstring line = wide.substr(start, end - start);
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    if (line.starts_with(prefix) && line.find(L'\\', prefix.size()) == std::wstring::npos)
      names.insert(Text(line.begin() + prefix.size(), line.end()));
  }
  return names;
}

TEST(WineInventoryTest, TheFixtureEntriesFollowTheRulesUnderEitherNameOfThisMachine) {
  const Text alpha = u"{6C2F1A40-3B7E-4D21-9A55-0E1B7C9D4A11}";
  const Text delta = u"{7D3A2B51-4C8F-4E32-8B66-1F2C8D0E5B21}";
  const Text twin32 = Text(kUninstallKeyPath32) + u"\\AppcensusFixture.Twin";
  const std::tuple<Text, Text ApplicationRecord::*, Text> cases[] = {
      {alpha, &ApplicationRecord::DisplayName, u"Appcensus Fixture Alpha"},
      {alpha, &ApplicationRecord::DisplayVersion, u"1.2.3"},
      {alpha, &ApplicationRecord::ProductCode, alpha},
      {alpha, &ApplicationRecord::UninstallString, u"MsiExec.exe /I" + alpha},
      {u"{A91B3C52-77D0-4E6F-8B12-5C3D2E1F0B21}", &ApplicationRecord::InstallLocation,
       u"C:\\Program Files\\AppcensusFixtureBeta\\"},
      {u"{E4D5C6B7-1A2B-4C3D-8E9F-A0B1C2D3E431}", &ApplicationRecord::DisplayName, u"Appcensus Fixture Gamma caf\u00e9"},
      {Text(kUninstallKeyPath32) + u"\\" + delta, &ApplicationRecord::DisplayName, u"Appcensus Fixture Delta 32"},
      {u"AppcensusFixture.Twin", &ApplicationRecord::DisplayName, u"Fixture twin 64"},
      {twin32, &ApplicationRecord::DisplayName, u"Fixture twin 32"},
      {u"AppcensusFixture.DwordDate", &ApplicationRecord::InstallDate, u"06/06/2011"},
      {u"AppcensusFixture.MultiVersion", &ApplicationRecord::DisplayVersion, u" - "},
      {u"AppcensusFixture.Expand", &ApplicationRecord::UninstallString, u"%SystemRoot%\\unexp.exe /x"},
      {u"AppcensusFixture; d\u00e9j\u00e0 vu", &ApplicationRecord::InstallSource, u"0102AB"},
      {u"AppcensusFixture.LongUninstall", &ApplicationRecord::UninstallString, Text(255, u'L')},  // read whole
      {u"AppcensusFixture.LongName", &ApplicationRecord::DisplayName, Text(255, u'L')},
      {u"AppcensusFixture.L" + Text(237, u'k'), &ApplicationRecord::DisplayName, u"Fixture with a key name of 255 characters"}};
  for (const Text& machine : {Text(u"."), LocalComputerName()}) {
    SCOPED_TRACE("machine " + TextToUtf8(machine));
    testing::InventoryRun run;
    std::map<Text, ApplicationRecord> records;  // by key name, by full path outside the 64-bit view
    std::map<Text, std::set<Text>> listed;      // key names by Uninstall key
    for (const auto& record : run.Records(machine))
      records[record.UninstallKeyPath == kUninstallKeyPath ? record.KeyName : EntryRegistryPath(record)] = record;
    for (const auto& entry : run.entries.Snapshot()) listed[entry.UninstallKeyPath].insert(entry.KeyName);
    for (const auto& [key, field, expected] : cases)
      EXPECT_EQ(records.count(key) ? records[key].*field : u"<no record>", expected) << TextToUtf8(key);
    const auto user = std::ranges::find(records, u"Fixture for one user", [](auto& r) { return r.second.DisplayName; });
    ASSERT_NE(user, records.end());
    EXPECT_EQ(LocationOf(user->second.UninstallKeyPath), EntryLocation::User);
    EXPECT_EQ(records[alpha].InstallDate.size(), 10u);  // dd/mm/yyyy of the installation day
    const Text userKey = user->second.UninstallKeyPath;
    const std::pair<Text, std::wstring> keys[] = {
        {kUninstallKeyPath, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
        {kUninstallKeyPath32, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
        {userKey, L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"}};
    for (const auto& [path, printed] : keys) EXPECT_EQ(listed[path], PrintedSubkeys(printed)) << TextToUtf8(path);
    EXPECT_EQ(run.log->Lines().at(1), machine == u"." ? u"[TestMachine] : Machine locale, le nom de machine est conforme."
                                                      : u"[TestMachine] : Teste de la machine effectu\u00e9e correctement.");
  }
}

}  // namespace
}  // namespace appcensus
