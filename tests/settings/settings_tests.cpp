// Machine history, window size and time limit, against a simulated local registry.
#include <gtest/gtest.h>

#include "tests/support/memory_registry.h"
#include "registry/registry_layer.h"
#include "settings/stored_settings.h"

namespace appcensus {
namespace {

class FakeWindow : public SettingsWindow {
 public:
  Text MachineBoxText() override { return boxText; }
  void SetMachineBoxText(TextView text) override { boxText = Text(text); }
  void ClearMachineBoxItems() override { items.clear(); }
  void AppendMachineBoxItem(TextView item) override { items.emplace_back(item); }
  Text TimeLimitText() override { return timeLimit; }
  void SetTimeLimitText(TextView text) override { timeLimit = Text(text); }
  bool InnerSize(int* w, int* h) override {
    if (!exists) return false;
    *w = width;
    *h = height;
    return true;
  }
  void SetInnerSize(int w, int h) override {
    width = w;
    height = h;
    ++resizes;
  }

  bool exists = true;
  Text boxText;
  std::vector<Text> items;
  Text timeLimit = u"000";
  int width = 622, height = 300, resizes = 0;
};

class SettingsTest : public ::testing::Test {
 protected:
  Text History() { return ReadRegistryValue(kSettingsKeyPath, kHistoryValue, u"."); }
  std::uint32_t StoredType(TextView value) {
    std::uint32_t type = 0;
    registry_.Local().GetValue(kSettingsKeyPath, value, &type, nullptr);
    return type;
  }

  MemoryRegistry registry_;
  ScopedRegistryApi scope_{registry_};
  FakeWindow window_;
};

TEST_F(SettingsTest, FirstRunWithNoKeyChangesNothingButTheDefaultLimit) {
  window_.items = {u"kept"};
  LoadMachineHistory(window_);
  LoadTimeLimitSetting(window_);
  LoadWindowSize(window_);
  EXPECT_EQ(window_.items, std::vector<Text>{u"kept"});
  EXPECT_EQ(window_.timeLimit, u"15");
  EXPECT_EQ(window_.resizes, 0);
  SaveTimeLimitSetting(window_.TimeLimitText());  // no key yet: nothing stored
  EXPECT_FALSE(registry_.Local().KeyExists(kSettingsKeyPath));
}

TEST_F(SettingsTest, HistoryFollowsTheSequenceOfSuccessfulRequests) {
  SaveMachineHistory(u"pc01");
  EXPECT_EQ(History(), u"pc01");  // the first name as typed
  SaveMachineHistory(u"srv2");
  EXPECT_EQ(History(), u"SRV2|pc01");
  window_.boxText = u"typed";
  LoadMachineHistory(window_);
  EXPECT_EQ(window_.items, (std::vector<Text>{u"SRV2", u"pc01"}));
  EXPECT_EQ(window_.boxText, u"typed");
  SaveMachineHistory(u"pc01");
  EXPECT_EQ(History(), u"SRV2|pc01");
  SaveMachineHistory(u"PC01");
  EXPECT_EQ(History(), u"PC01|SRV2|pc01");
  SaveMachineHistory(u".");
  SaveMachineHistory(u"");
  EXPECT_EQ(History(), u"PC01|SRV2|pc01");
  EXPECT_EQ(StoredType(kHistoryValue), 1u);
}

TEST_F(SettingsTest, ANameContainedInAStoredOneIsNotAdded) {
  SaveMachineHistory(u"PC10");
  SaveMachineHistory(u"PC1");
  EXPECT_EQ(History(), u"PC10");
  SaveMachineHistory(u"pc1");
  EXPECT_EQ(History(), u"PC1|PC10");
}

TEST_F(SettingsTest, AStoredEmptyHistoryLoadsOneEmptyItemAndLeavesNoBarBehind) {
  WriteRegistryValue(kSettingsKeyPath, kHistoryValue, u"", 1, u".");
  LoadMachineHistory(window_);
  EXPECT_EQ(window_.items, std::vector<Text>{u""});
  SaveMachineHistory(u"srv9");
  EXPECT_EQ(History(), u"SRV9");
}

TEST_F(SettingsTest, HistoryStaysReadableByDroppingTheOldestNames) {
  for (int i = 0; i < 100; ++i) {
    const Text name = u"MACHINE-" + DecimalText(1000 + i);
    SaveMachineHistory(name);
    const Text history = History();
    ASSERT_FALSE(history.empty()) << i;
    ASSERT_LE(history.size(), kHistoryMaxLength);
    ASSERT_EQ(history.substr(0, name.size()), name);
  }
  const Text history = History();
  EXPECT_EQ(history.front(), u'M');
  EXPECT_NE(history.back(), u'|');
  // Whole names only: every field is a full machine name.
  for (std::size_t i = 0; i < CountFields(history, u'|'); ++i) EXPECT_EQ(NthField(history, u'|', i).size(), 12u);
  // A name that could never be read back is not stored and does not break the history.
  SaveMachineHistory(Text(300, u'X'));
  EXPECT_EQ(History(), history);
  EXPECT_EQ(HistoryWithName(u"", Text(254, u'y')), Text(254, u'Y'));
}

TEST_F(SettingsTest, WindowSizeIsSavedAsDwordsAndRestoredOnlyWhenBothArePresent) {
  window_.width = 800;
  window_.height = 600;
  SaveWindowSize(window_);
  EXPECT_EQ(ReadRegistryValue(kSettingsKeyPath, kWidthValue, u"."), u"800");
  EXPECT_EQ(ReadRegistryValue(kSettingsKeyPath, kHeightValue, u"."), u"600");
  EXPECT_EQ(StoredType(kWidthValue), 4u);
  FakeWindow next;
  LoadWindowSize(next);
  EXPECT_EQ(next.width, 800);
  EXPECT_EQ(next.height, 600);

  registry_.Local().SetValue(kSettingsKeyPath, kHeightValue, 7, {});  // unreadable type: empty
  FakeWindow third;
  LoadWindowSize(third);
  EXPECT_EQ(third.resizes, 0);

  FakeWindow none;
  none.exists = false;
  SaveWindowSize(none);
  LoadWindowSize(none);
  EXPECT_EQ(none.resizes, 0);
}

TEST_F(SettingsTest, TimeLimitIsStoredAsANumberOnceTheKeyExists) {
  CreateRegistryKey(kSettingsKeyPath, u".");
  window_.timeLimit = u"0";
  SaveTimeLimitSetting(window_.TimeLimitText());
  FakeWindow next;
  LoadTimeLimitSetting(next);
  EXPECT_EQ(next.timeLimit, u"0");
  window_.timeLimit = u"";
  SaveTimeLimitSetting(window_.TimeLimitText());
  LoadTimeLimitSetting(next);
  EXPECT_EQ(next.timeLimit, u"0");
  window_.timeLimit = u"45";
  SaveTimeLimitSetting(window_.TimeLimitText());
  LoadTimeLimitSetting(next);
  EXPECT_EQ(next.timeLimit, u"45");
  EXPECT_EQ(StoredType(kTimeLimitValue), 4u);
}

}  // namespace
}  // namespace appcensus
