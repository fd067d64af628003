// The application views and the activity log over recording gadgets, the test's thread being
// the window thread, and the channel that hands their work over from other threads. What the
// real controls make of it is read back from the running program (request_e2e_tests.cpp).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/name_filter.h"
#include "tests/support/recording_gadgets.h"
#include "ui/activity_view.h"
#include "ui/application_views.h"
#include "ui/image_names.h"

namespace appcensus {
namespace {

ApplicationRecord Record(Text name, Text key) {
  return ApplicationRecord{std::move(name), u"1.2", u"\\\\depot\\setup", u"03/04/2021", u"msiexec /x {ABC}",
                           u"C:\\Program Files\\App", u"{ABC}", u"SRV2", std::move(key)};
}

class ViewsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetNamedIdsForTesting();
    NamedValue value = 100;
    for (const IconImage& icon : kIcons) RegisterNamedId(icon.name, 0, value++, u"");
    channel.Attach(gadgets, [this] { return ++wakes > 0; });
  }
  void TearDown() override {
    channel.Detach();
    ResetNamedIdsForTesting();
  }

  std::vector<Text> ActivityTexts() const {
    std::vector<Text> texts;
    for (const auto& row : gadgets.activityRows) texts.push_back(row.text);
    return texts;
  }

  RecordingGadgets gadgets;
  std::atomic<int> wakes{0};
  UiChannel channel;
  GadgetActivityLog log{channel};
  SharedText search;
  SharedText lastMachine;
  ApplicationViews views{channel, log, search, lastMachine};
  ApplicationTable table;
};

// ---- the application table and tree ----------------------------------------------------

TEST_F(ViewsTest, ARecordGivesARowAndABranchWithLabelsAndImages) {
  ApplicationRecord record = Record(u"Micro Viewer", u"{ABC}");
  record.UninstallString = u"";
  table.Store(record);
  views.Fill(table);

  ASSERT_EQ(gadgets.rows.size(), 1u);
  const Text path = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{ABC}";
  EXPECT_EQ(gadgets.rows[0].cells, (std::array<Text, 9>{u"Micro Viewer", u"1.2", u"{ABC}", u"03/04/2021", u"\\\\depot\\setup",
                                                          u"C:\\Program Files\\App", u"", path, u"SRV2"}));
  const std::vector<TreeNode> expected = {
      {u"Micro Viewer", NamedId(u"ICO_Application"), 0},
      {u"Version : 1.2", NamedId(u"ICO_VersionApplication"), 1},
      {u"Code produit : {ABC}", NamedId(u"ICO_CodeProduit"), 1},
      {u"Date d'installation : 03/04/2021", NamedId(u"ICO_DateInstallationApplication"), 1},
      {u"Source d'installation : \\\\depot\\setup", NamedId(u"ICO_SourceApplication"), 1},
      {u"Emplacement de destination : C:\\Program Files\\App", NamedId(u"ICO_DestinationApplication"), 1},
      {u"Commande de désinstallation : ", NamedId(u"ICO_CommandeDesinstallationApplication"), 1},
      {u"Emplacement dans base de registre : " + path, NamedId(u"ICO_EmplacementBaseDeRegistre"), 1},
      {u"Machine : SRV2", NamedId(u"ICO_NomMachineApplication"), 1},
  };
  EXPECT_EQ(gadgets.nodes, expected);
  EXPECT_EQ(gadgets.rowBackgrounds, (std::map<int, RgbColour>{{0, RgbColour{255, 247, 179}}}));
  EXPECT_TRUE(gadgets.viewsVisible);
  EXPECT_EQ(gadgets.statusTexts[3], u"1 applications");
}

TEST_F(ViewsTest, TableRowOwnsNineNodesInTableOrderAndShadingFollowsShownRows) {
  const Text names[] = {u"Alpha", u"Hidden one", u"Beta", u"Gamma", u"Hidden two", u"Delta"};
  for (int i = 0; i < 6; ++i) table.Store(Record(names[i], u"K" + DecimalText(i)));
  search.Set(u"a");  // the two "Hidden" names have no "a"
  views.Fill(table);

  std::vector<Text> shown;  // the table's own order, filtered
  for (const auto& r : table.Snapshot())
    if (r.DisplayName.find(u'a') != Text::npos) shown.push_back(r.DisplayName);
  ASSERT_EQ(gadgets.rows.size(), 4u);
  ASSERT_EQ(gadgets.nodes.size(), 36u);
  for (std::size_t row = 0; row < 4; ++row) {
    EXPECT_EQ(gadgets.rows[row].cells[0], shown[row]);
    EXPECT_EQ(gadgets.nodes[9 * row].text, shown[row]);
    for (int leaf = 0; leaf < 9; ++leaf) EXPECT_EQ(gadgets.nodes[9 * row + leaf].level, leaf == 0 ? 0 : 1);
  }
  EXPECT_EQ(gadgets.rowBackgrounds, (std::map<int, RgbColour>{{0, kShadedRowColour}, {2, kShadedRowColour}}));
  EXPECT_EQ(gadgets.statusTexts[3], u"6 applications");  // every record, before the filter
}

TEST_F(ViewsTest, NothingToShowEmptiesTheViewsAndShowsThem) {
  gadgets.rows.push_back({});
  gadgets.nodes.push_back({});
  gadgets.viewsVisible = false;
  views.Fill(table);
  EXPECT_TRUE(gadgets.rows.empty());
  EXPECT_TRUE(gadgets.nodes.empty());
  EXPECT_TRUE(gadgets.viewsVisible);
  EXPECT_TRUE(gadgets.activityRows.empty());  // no count line for an empty table

  table.Store(Record(u"Alpha", u"K1"));
  table.Store(Record(u"Beta", u"K2"));
  search.Set(u"zzz");
  gadgets.viewsVisible = false;
  views.Fill(table);
  EXPECT_TRUE(gadgets.rows.empty());
  EXPECT_TRUE(gadgets.nodes.empty());
  EXPECT_TRUE(gadgets.viewsVisible);
  EXPECT_EQ(ActivityTexts(), std::vector<Text>{u"2 applications"});
}

TEST_F(ViewsTest, AFillReplacesTheLastOneAndShowsTheViewsOnceFilled) {
  table.Store(Record(u"Alpha", u"K1"));
  views.Fill(table);
  gadgets.calls.clear();
  views.Fill(table);
  EXPECT_EQ(gadgets.rows.size(), 1u);
  EXPECT_EQ(gadgets.nodes.size(), 9u);
  EXPECT_EQ(gadgets.calls, (std::vector<std::string>{"ClearTable", "AppendActivityRow", "AppendTableRows", "ShowViews"}));
}

TEST(NameFilterTest, SubstringWithoutRegardToLetterCase) {
  struct Case {
    const char16_t* name;
    const char16_t* filter;
    bool passes;
  };
  const Case cases[] = {
      {u"Microsoft Office", u"micro", true},  {u"xmIcRoX", u"micro", true},       {u"Micr osoft", u"micro", false},
      {u"", u"micro", false},                 {u"m-icro", u"micro", false},       {u"", u"", true},
      {u"Anything", u"", true},               {u"Éditeur Ünicode", u"éditeur ü", true},
      {u"Office", u"office ", false},         // a trailing blank counts
      {u"Office 2016", u"Off*", false},       // no wildcard
      {u"C++ Redistributable", u"c++", true},
  };
  for (const Case& c : cases) EXPECT_EQ(NameMatchesFilter(c.name, c.filter), c.passes) << TextToUtf8(c.name);
}

TEST_F(ViewsTest, BusyLogsAndHidesTheViewsUntilNotBusy) {
  views.SetBusy(1);
  EXPECT_FALSE(gadgets.viewsVisible);
  EXPECT_EQ(ActivityTexts(), std::vector<Text>{u"Traitement en cours..."});
  EXPECT_EQ(gadgets.statusTexts[1], u"Traitement en cours...");
  EXPECT_EQ(gadgets.activityRows[0].image, NamedId(u"ICO_ActionEnCours"));
  views.SetBusy(0);
  EXPECT_TRUE(gadgets.viewsVisible);
  EXPECT_EQ(gadgets.activityRows.size(), 1u);
}

TEST_F(ViewsTest, ClearEmptiesViewsCountFieldAndLastMachineName) {
  lastMachine.Set(u"SRV2");
  table.Store(Record(u"Alpha", u"K1"));
  views.Fill(table);
  views.Clear();
  EXPECT_TRUE(gadgets.rows.empty());
  EXPECT_TRUE(gadgets.nodes.empty());
  EXPECT_EQ(gadgets.statusTexts[3], u"");
  EXPECT_EQ(lastMachine.Get(), u"");
  EXPECT_EQ(ActivityTexts(), (std::vector<Text>{u"1 applications", u""}));
}

// ---- the activity log ------------------------------------------------------------------

TEST_F(ViewsTest, LevelsPickTheirIconAndTheOthersKeepTheLastOne) {
  struct Step {
    ActivityLevel level;
    const char16_t* rowImage;    // nullptr: none
    const char16_t* statusIcon;  // field 0 afterwards
  };
  const Step steps[] = {
      {ActivityLevel::InProgress, u"ICO_ActionEnCours", u"ICO_ActionEnCours"},
      {ActivityLevel::Error, u"ICO_ActionErreur", u"ICO_ActionErreur"},
      {ActivityLevel::None, nullptr, u"ICO_ActionErreur"},
      {ActivityLevel::Done, u"ICO_ActionTermine", u"ICO_ActionTermine"},
      {static_cast<ActivityLevel>(4), nullptr, u"ICO_ActionTermine"},
      {static_cast<ActivityLevel>(-1), nullptr, u"ICO_ActionTermine"},
  };
  for (const Step& step : steps) {
    const Text text = u"niveau " + DecimalText(static_cast<int>(step.level));
    log.LogActivity(text, step.level, 1);
    SCOPED_TRACE(TextToUtf8(text));
    EXPECT_EQ(gadgets.activityRows.back().text, text);
    EXPECT_EQ(gadgets.activityRows.back().image, step.rowImage ? NamedId(step.rowImage) : 0);
    EXPECT_EQ(gadgets.statusIcon, NamedId(step.statusIcon));
    EXPECT_EQ(gadgets.statusTexts[1], text);
  }
  // An image that failed to load counts as none and leaves field 0 alone.
  RegisterNamedId(u"ICO_ActionErreur", 0, 0, u"");
  log.LogActivity(u"b", ActivityLevel::Error, 1);
  EXPECT_EQ(gadgets.statusIcon, NamedId(u"ICO_ActionTermine"));
  EXPECT_EQ(gadgets.activityRows.back().image, 0);
}

TEST_F(ViewsTest, TextGoesToItsFieldAndFieldTwoHidesTheProgressBarUntilTheNextProgress) {
  log.LogActivity(u"45 Entrées", ActivityLevel::None, 3);
  EXPECT_EQ(gadgets.statusTexts[3], u"45 Entrées");
  log.LogActivity(u"", ActivityLevel::None, 3);
  log.LogActivity(u"hors champ", ActivityLevel::None, 7);  // no such field: the row alone
  EXPECT_EQ(ActivityTexts(), (std::vector<Text>{u"45 Entrées", u"", u"hors champ"}));
  EXPECT_EQ(gadgets.statusTexts[3], u"");
  EXPECT_EQ(gadgets.statusTexts[1], u"");

  log.SetStatusProgress(30, 200);
  EXPECT_TRUE(gadgets.progressVisible);
  EXPECT_EQ(gadgets.progressValue, 30);
  EXPECT_EQ(gadgets.progressMaximum, 200);
  log.LogActivity(u"152", ActivityLevel::None, 2);
  EXPECT_FALSE(gadgets.progressVisible);
  EXPECT_EQ(gadgets.statusTexts[2], u"152");
  log.LogActivity(u"autre", ActivityLevel::None, 1);
  EXPECT_FALSE(gadgets.progressVisible);
  log.SetStatusProgress(0, 100);
  EXPECT_TRUE(gadgets.progressVisible);
}

// ---- the channel between the threads ---------------------------------------------------

TEST_F(ViewsTest, CallsFromOtherThreadsArriveWholeInEachThreadsOrderInOneBatch) {
  // Four callers post while the window thread (this one) is busy elsewhere, then it drains.
  constexpr int kThreads = 4;
  constexpr int kCalls = 500;
  std::vector<std::thread> callers;
  for (int t = 0; t < kThreads; ++t) {
    callers.emplace_back([this, t] {
      for (int i = 0; i < kCalls; ++i) log.LogActivity(u"T" + DecimalText(t) + u":" + DecimalText(i), ActivityLevel::None, 1);
    });
  }
  for (auto& caller : callers) caller.join();
  EXPECT_TRUE(gadgets.activityRows.empty());  // nothing touched the controls from those threads
  EXPECT_EQ(wakes.load(), 1);                 // at most one wake-up pending
  channel.Drain();
  ASSERT_EQ(gadgets.activityRows.size(), static_cast<std::size_t>(kThreads * kCalls));
  EXPECT_EQ(gadgets.batches, 1);
  int next[kThreads] = {};
  for (const auto& row : gadgets.activityRows) {
    const int t = row.text[1] - u'0';
    EXPECT_EQ(row.text, u"T" + DecimalText(t) + u":" + DecimalText(next[t]));
    ++next[t];
  }
  // After the drain a new call asks for a new wake-up.
  std::thread([this] { log.SetStatusProgress(1, 2); }).join();
  EXPECT_EQ(wakes.load(), 2);
}

TEST_F(ViewsTest, CallsOnTheWindowThreadApplyAtOnceAfterQueuedOnes) {
  std::thread([this] { log.LogActivity(u"from worker", ActivityLevel::None, 1); }).join();
  EXPECT_TRUE(gadgets.activityRows.empty());
  log.LogActivity(u"from window", ActivityLevel::None, 1);
  EXPECT_EQ(ActivityTexts(), (std::vector<Text>{u"from worker", u"from window"}));
}

TEST(UiChannelTest, WorkQueuedBeforeTheWindowExistsWaitsForIt) {
  UiChannel early;
  GadgetActivityLog earlyLog(early);
  earlyLog.LogActivity(u"avant", ActivityLevel::None, 1);
  RecordingGadgets later;
  early.Attach(later, [] { return true; });
  EXPECT_TRUE(later.activityRows.empty());
  early.Drain();
  ASSERT_EQ(later.activityRows.size(), 1u);
  EXPECT_EQ(later.activityRows[0].text, u"avant");
  early.Detach();
}

}  // namespace
}  // namespace appcensus
