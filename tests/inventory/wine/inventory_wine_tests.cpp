// The inventory of this machine under Wine, in Wine's own registry: the ctest fixture has
// installed three MSI packages and imported a .reg file of unusual entries first. (Every
// rule is checked on all kinds of data by the hostile corpus; here on what installers write.)
#include <gtest/gtest.h>

#include <map>

#include "registry/registry_layer.h"
#include "tests/support/inventory_run.h"

namespace appcensus {
namespace {

TEST(WineInventoryTest, TheFixtureEntriesFollowTheRulesUnderEitherNameOfThisMachine) {
  const Text alpha = u"{6C2F1A40-3B7E-4D21-9A55-0E1B7C9D4A11}";
  const std::tuple<Text, Text ApplicationRecord::*, Text> cases[] = {
      {alpha, &ApplicationRecord::DisplayName, u"Appcensus Fixture Alpha"},
      {alpha, &ApplicationRecord::DisplayVersion, u"1.2.3"},
      {alpha, &ApplicationRecord::ProductCode, alpha},
      {alpha, &ApplicationRecord::UninstallString, u"MsiExec.exe /I" + alpha},
      {u"{A91B3C52-77D0-4E6F-8B12-5C3D2E1F0B21}", &ApplicationRecord::InstallLocation,
       u"C:\\Program Files\\AppcensusFixtureBeta\\"},
      {u"{E4D5C6B7-1A2B-4C3D-8E9F-A0B1C2D3E431}", &ApplicationRecord::DisplayName, u"Appcensus Fixture Gamma caf\u00e9"},
      {u"AppcensusFixture.DwordDate", &ApplicationRecord::InstallDate, u"06/06/2011"},
      {u"AppcensusFixture.MultiVersion", &ApplicationRecord::DisplayVersion, u" - "},
      {u"AppcensusFixture.Expand", &ApplicationRecord::UninstallString, u"%SystemRoot%\\unexp.exe /x"},
      {u"AppcensusFixture; d\u00e9j\u00e0 vu", &ApplicationRecord::InstallSource, u"0102AB"},
      // Listed after the subkey whose name is too long (255 characters), which is not.
      {u"AppcensusFixture.LongUninstall", &ApplicationRecord::UninstallString, u"fallback.exe /u"},
      {u"AppcensusFixture.L" + Text(237, u'k'), &ApplicationRecord::DisplayName, u"<no record>"}};
  for (const Text& machine : {Text(u"."), LocalComputerName()}) {
    SCOPED_TRACE("machine " + TextToUtf8(machine));
    testing::InventoryRun run;
    std::map<Text, ApplicationRecord> records;
    for (const auto& record : run.Records(machine)) records[record.KeyName] = record;
    for (const auto& [key, field, expected] : cases)
      EXPECT_EQ(records.count(key) ? records[key].*field : u"<no record>", expected) << TextToUtf8(key);
    EXPECT_EQ(records[alpha].InstallDate.size(), 10u);  // dd/mm/yyyy of the installation day
    EXPECT_EQ(run.log->Lines().at(1), machine == u"." ? u"[TestMachine] : Machine locale, le nom de machine est conforme."
                                                      : u"[TestMachine] : Teste de la machine effectu\u00e9e correctement.");
  }
}

}  // namespace
}  // namespace appcensus
