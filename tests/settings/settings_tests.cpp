// Machine history, window size and time limit, against a simulated local registry.
#include <gtest/gtest.h>

#include "settings/stored_settings.h"
#include "tests/support/memory_registry.h"

namespace appcensus {
namespace {

// How much is kept; when the history stays as it is, its fuzz target tells (fuzz/fuzz_history.cpp).
TEST(HistoryTest, TheNameGoesInFrontUpperCasedAndTheOldestNamesMakeRoom) {
  const Text full = Text(240, u'a') + u"|" + Text(10, u'b');  // 251 characters
  const std::tuple<Text, Text, Text> cases[] = {
      {u"pc01", u"srv2", u"SRV2|pc01"},
      {u"PC10", u"PC1", u"PC1|PC10"},  // contained in a stored name, but not that name
      {u"VM|a|b", u"vm", u"VM|a|b"},    // already there, in another letter case
      {full, u"cc", u"CC|" + full},    // 254 characters: all kept
      {full, u"ccc", u"CCC|" + Text(240, u'a')}};
  for (const auto& [history, name, updated] : cases) EXPECT_EQ(HistoryWithName(history, name), updated);
}

class SettingsTest : public ::testing::Test, public SettingsWindow {
 protected:
  Text MachineBoxText() override { return boxText_; }
  void SetMachineBoxText(TextView text) override { boxText_ = Text(text); }
  void ClearMachineBoxItems() override {  // as the real box, emptying its list empties its text
    items_.clear();
    boxText_.clear();
  }
  void AppendMachineBoxItem(TextView item) override { items_.emplace_back(item); }
  Text TimeLimitText() override { return u""; }
  void SetTimeLimitText(TextView text) override { timeLimit_ = Text(text); }
  bool InnerSize(int* width, int* height) override {
    *width = 800;
    *height = 600;
    return windowExists_;
  }
  // The stored value as read back, and its type.
  std::pair<Text, std::uint32_t> Stored(TextView value) {
    std::uint32_t type = 0;
    registry_.Local().GetValue(kSettingsKeyPath, value, &type, nullptr);
    return {ReadRegistryValue(kSettingsKeyPath, value, u"."), type};
  }

  MemoryRegistry registry_;
  ScopedRegistryApi scope_{registry_};
  Text boxText_, timeLimit_;
  std::vector<Text> items_{u"kept"};
  bool windowExists_ = true;
};

TEST_F(SettingsTest, WithoutTheKeyNothingLoadsButTheDefaultLimitAndNoSaveCreatesIt) {
  LoadMachineHistory(*this);
  LoadTimeLimitSetting(*this);
  EXPECT_EQ(items_, std::vector<Text>{u"kept"});
  EXPECT_EQ(timeLimit_, u"15");
  EXPECT_EQ(StoredWindowSize(), std::nullopt);
  SaveTimeLimitSetting(u"30");
  windowExists_ = false;  // no main window
  SaveWindowSize(*this);
  EXPECT_EQ(RegistryKeyExists(kSettingsKeyPath, u"."), 0);
}

TEST_F(SettingsTest, TheHistoryStartsAsTypedAndLoadsIntoTheBoxKeepingItsText) {
  for (const char16_t* name : {u"pc01", u"srv2", u".", u""}) SaveMachineHistory(name);
  EXPECT_EQ(Stored(kHistoryValue), std::pair(Text(u"SRV2|pc01"), reg::kSz));
  boxText_ = u"typed";
  LoadMachineHistory(*this);
  EXPECT_EQ(items_, (std::vector<Text>{u"SRV2", u"pc01"}));
  EXPECT_EQ(boxText_, u"typed");
  WriteRegistryValue(kSettingsKeyPath, kHistoryValue, u"", reg::kSz, u".");
  LoadMachineHistory(*this);
  EXPECT_EQ(items_, std::vector<Text>{u""});
}

TEST_F(SettingsTest, SizeAndLimitAreStoredAsNumbersAndTheSizeRestoredOnlyWhenBothAreReadable) {
  SaveWindowSize(*this);
  EXPECT_EQ(Stored(kWidthValue), std::pair(Text(u"800"), reg::kDword));
  EXPECT_EQ(Stored(kHeightValue), std::pair(Text(u"600"), reg::kDword));
  EXPECT_EQ(StoredWindowSize(), std::pair(800, 600));
  registry_.Local().SetValue(kSettingsKeyPath, kHeightValue, reg::kMultiSz, {});  // reads as empty
  EXPECT_EQ(StoredWindowSize(), std::nullopt);
  for (const auto& [field, loaded] : {std::pair<Text, Text>{u"$2D", u"45"}, {u"", u"0"}, {u"-1", u"15"}}) {
    SaveTimeLimitSetting(field);
    LoadTimeLimitSetting(*this);
    EXPECT_EQ(timeLimit_, loaded);
  }
  EXPECT_EQ(Stored(kTimeLimitValue).second, reg::kDword);
  // A limit stored as a text by something else: only a whole number of seconds counts.
  for (const auto& [stored, loaded] : {std::pair<Text, Text>{u"20", u"20"}, {u"abc", u"15"}, {u"2.5", u"15"}}) {
    registry_.Local().SetString(kSettingsKeyPath, kTimeLimitValue, stored);
    LoadTimeLimitSetting(*this);
    EXPECT_EQ(timeLimit_, loaded);
  }
}

TEST_F(SettingsTest, TheRemoteRegistryBoxIsTickedOnlyByAStoredOne) {
  EXPECT_FALSE(LoadStartRemoteRegistrySetting());  // missing
  SaveStartRemoteRegistrySetting(true);
  EXPECT_EQ(Stored(kStartRemoteRegistryValue), std::pair(Text(u"1"), reg::kDword));
  EXPECT_TRUE(LoadStartRemoteRegistrySetting());
  for (const auto& [type, data] : {std::pair{reg::kDword, DwordData(0)}, {reg::kDword, DwordData(2)},
                                    {reg::kMultiSz, StringData(u"1")}, {reg::kBinary, {1}}}) {
    registry_.Local().SetValue(kSettingsKeyPath, kStartRemoteRegistryValue, type, data);
    EXPECT_FALSE(LoadStartRemoteRegistrySetting()) << type;
  }
}

}  // namespace
}  // namespace appcensus
