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
  return ApplicationRecord{std::move(name), u"1.2", u"\\\\depot\\setup", u"03/04/2021", u"",
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
  void TearDown() override { channel.Detach(); }

  std::vector<Text> ActivityTexts() const {
    std::vector<Text> texts;
    for (const auto& row : gadgets.activityRows) texts.push_back(row.text);
    return texts;
  }

  RecordingGadgets gadgets;
  std::atomic<int> wakes{0};
  UiChannel channel;
  GadgetActivityLog log{channel};
  SharedText search, lastMachine;
  ApplicationViews views{channel, log, search, lastMachine};
  ApplicationTable table;
};

TEST_F(ViewsTest, ARecordGivesARowAndABranchWithLabelsAndImages) {
  table.Store(Record(u"Micro Viewer", u"{ABC}"));
  views.Fill(table);
  const Text path = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{ABC}";
  ASSERT_EQ(gadgets.rows.size(), 1u);
  EXPECT_EQ(gadgets.rows[0].cells, (std::array<Text, 9>{u"Micro Viewer", u"1.2", u"{ABC}", u"03/04/2021", u"\\\\depot\\setup",
                                                          u"C:\\Program Files\\App", u"", path, u"SRV2"}));
  EXPECT_EQ(gadgets.nodes, (std::vector<TreeNode>{
                               {u"Micro Viewer", NamedId(u"ICO_Application"), 0},
                               {u"Version : 1.2", NamedId(u"ICO_VersionApplication"), 1},
                               {u"Code produit : {ABC}", NamedId(u"ICO_CodeProduit"), 1},
                               {u"Date d'installation : 03/04/2021", NamedId(u"ICO_DateInstallationApplication"), 1},
                               {u"Source d'installation : \\\\depot\\setup", NamedId(u"ICO_SourceApplication"), 1},
                               {u"Emplacement de destination : C:\\Program Files\\App", NamedId(u"ICO_DestinationApplication"), 1},
                               {u"Commande de désinstallation : ", NamedId(u"ICO_CommandeDesinstallationApplication"), 1},
                               {u"Emplacement dans base de registre : " + path, NamedId(u"ICO_EmplacementBaseDeRegistre"), 1},
                               {u"Machine : SRV2", NamedId(u"ICO_NomMachineApplication"), 1},
                           }));
  EXPECT_EQ(gadgets.rowBackgrounds, (std::map<int, RgbColour>{{0, RgbColour{255, 247, 179}}}));
  EXPECT_EQ(gadgets.statusTexts[3], u"1 applications");
}

TEST_F(ViewsTest, AFillShowsTheFilteredRecordsInTableOrderInPlaceOfTheLastOne) {
  const Text names[] = {u"Alpha", u"Hidden one", u"Beta", u"Gamma", u"Hidden two", u"Delta"};
  for (int i = 0; i < 6; ++i) table.Store(Record(names[i], u"K" + DecimalText(i)));
  search.Set(u"a");  // the two "Hidden" names have no "a"
  views.Fill(table);
  gadgets.calls.clear();
  views.SetBusy(1);
  views.Fill(table);

  std::vector<Text> shown;  // the table's own order, filtered
  for (const auto& r : table.Snapshot())
    if (r.DisplayName.find(u'a') != Text::npos) shown.push_back(r.DisplayName);
  ASSERT_EQ(gadgets.rows.size(), 4u);
  ASSERT_EQ(gadgets.nodes.size(), 36u);
  for (std::size_t row = 0; row < 4; ++row) {
    EXPECT_EQ(gadgets.rows[row].cells[0], shown[row]);
    for (int node = 0; node < 9; ++node) EXPECT_EQ(gadgets.nodes[9 * row + node].level, node == 0 ? 0 : 1);
    EXPECT_EQ(gadgets.nodes[9 * row].text, shown[row]);
  }
  // Shading follows the shown rows; the count is of every record; the views show once filled.
  EXPECT_EQ(gadgets.rowBackgrounds, (std::map<int, RgbColour>{{0, kShadedRowColour}, {2, kShadedRowColour}}));
  EXPECT_EQ(gadgets.statusTexts[3], u"6 applications");
  EXPECT_EQ(gadgets.calls, (std::vector<std::string>{"AppendActivityRow", "HideViews", "ClearTable",
                                                     "AppendActivityRow", "AppendTableRows", "ShowViews"}));
  EXPECT_EQ(ActivityTexts(), (std::vector<Text>{u"6 applications", u"Traitement en cours...", u"6 applications"}));
  EXPECT_EQ(gadgets.activityRows[1].image, NamedId(u"ICO_ActionEnCours"));
  EXPECT_EQ(gadgets.statusTexts[1], u"Traitement en cours...");
}

TEST_F(ViewsTest, NothingToShowOrAClearEmptiesTheViews) {
  lastMachine.Set(u"SRV2");
  gadgets.rows.push_back({});
  gadgets.nodes.push_back({});
  gadgets.viewsVisible = false;
  views.Fill(table);  // an empty table: no count line
  EXPECT_TRUE(gadgets.rows.empty() && gadgets.nodes.empty() && gadgets.viewsVisible);
  EXPECT_TRUE(gadgets.activityRows.empty());
  table.Store(Record(u"Alpha", u"K1"));
  search.Set(u"zzz");
  gadgets.viewsVisible = false;
  views.Fill(table);
  EXPECT_TRUE(gadgets.rows.empty() && gadgets.nodes.empty() && gadgets.viewsVisible);
  EXPECT_EQ(ActivityTexts(), std::vector<Text>{u"1 applications"});

  search.Set(u"");
  views.Fill(table);
  views.Clear();
  EXPECT_TRUE(gadgets.rows.empty() && gadgets.nodes.empty());
  EXPECT_EQ(gadgets.statusTexts[3], u"");
  EXPECT_EQ(lastMachine.Get(), u"");
}

TEST(NameFilterTest, SubstringWithoutRegardToLetterCase) {
  for (const auto& [name, filter] : {std::pair{u"Microsoft Office", u"micro"}, {u"xmIcRoX", u"micro"}, {u"", u""},
                                     {u"Anything", u""}, {u"Éditeur Ünicode", u"éditeur ü"}, {u"C++ Redist", u"c++"}})
    EXPECT_TRUE(NameMatchesFilter(name, filter)) << TextToUtf8(name);
  // Blanks count like any character, and there is no wildcard.
  for (const auto& [name, filter] : {std::pair{u"Micr osoft", u"micro"}, {u"", u"micro"}, {u"m-icro", u"micro"},
                                     {u"Office", u"office "}, {u"Office 2016", u"Off*"}})
    EXPECT_FALSE(NameMatchesFilter(name, filter)) << TextToUtf8(name);
}

TEST_F(ViewsTest, EachLevelShowsItsIconAndTheOthersLeaveTheLastOne) {
  const std::tuple<ActivityLevel, const char16_t*, const char16_t*> steps[] = {
      // level, image of its row (none: nullptr), image in status field 0 afterwards
      {ActivityLevel::InProgress, u"ICO_ActionEnCours", u"ICO_ActionEnCours"},
      {ActivityLevel::Error, u"ICO_ActionErreur", u"ICO_ActionErreur"},
      {ActivityLevel::None, nullptr, u"ICO_ActionErreur"},
      {ActivityLevel::Done, u"ICO_ActionTermine", u"ICO_ActionTermine"},
      {static_cast<ActivityLevel>(4), nullptr, u"ICO_ActionTermine"},
      {static_cast<ActivityLevel>(-1), nullptr, u"ICO_ActionTermine"},
  };
  for (const auto& [level, rowImage, statusIcon] : steps) {
    log.LogActivity(u"niveau " + DecimalText(static_cast<int>(level)), level, 1);
    SCOPED_TRACE(static_cast<int>(level));
    EXPECT_EQ(gadgets.activityRows.back().image, rowImage ? NamedId(rowImage) : 0);
    EXPECT_EQ(gadgets.statusIcon, NamedId(statusIcon));
    EXPECT_EQ(gadgets.statusTexts[1], u"niveau " + DecimalText(static_cast<int>(level)));
  }
  RegisterNamedId(u"ICO_ActionErreur", 0, 0, u"");  // an image that failed to load counts as none
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
  EXPECT_TRUE(gadgets.progressVisible && gadgets.progressValue == 30 && gadgets.progressMaximum == 200);
  log.LogActivity(u"152", ActivityLevel::None, 2);
  log.LogActivity(u"autre", ActivityLevel::None, 1);
  EXPECT_FALSE(gadgets.progressVisible);
  EXPECT_EQ(gadgets.statusTexts[2], u"152");
  log.SetStatusProgress(0, 100);
  EXPECT_TRUE(gadgets.progressVisible);
}

TEST_F(ViewsTest, CallsFromOtherThreadsArriveWholeInEachThreadsOrderBeforeTheWindowThreadsOwn) {
  // Four callers post while the window thread (this one) is busy elsewhere; its own call then
  // applies everything queued before it, in one batch.
  constexpr int kThreads = 4, kCalls = 500;
  std::vector<std::thread> callers;
  for (int t = 0; t < kThreads; ++t) {
    callers.emplace_back([this, t] {
      for (int i = 0; i < kCalls; ++i) log.LogActivity(u"T" + DecimalText(t) + u":" + DecimalText(i), ActivityLevel::None, 1);
    });
  }
  for (auto& caller : callers) caller.join();
  EXPECT_TRUE(gadgets.activityRows.empty());  // nothing touched the controls from those threads
  EXPECT_EQ(wakes.load(), 1);                 // at most one wake-up pending
  log.LogActivity(u"from window", ActivityLevel::None, 1);
  ASSERT_EQ(gadgets.activityRows.size(), static_cast<std::size_t>(kThreads * kCalls + 1));
  EXPECT_EQ(gadgets.activityRows.back().text, u"from window");
  EXPECT_EQ(gadgets.batches, 1);
  int next[kThreads] = {};
  for (std::size_t row = 0; row + 1 < gadgets.activityRows.size(); ++row) {
    const Text& text = gadgets.activityRows[row].text;
    const int t = text[1] - u'0';
    EXPECT_EQ(text, u"T" + DecimalText(t) + u":" + DecimalText(next[t]++));
  }
  std::thread([this] { log.SetStatusProgress(1, 2); }).join();
  EXPECT_EQ(wakes.load(), 2);  // after the drain a new call asks for a new wake-up
}

TEST(UiChannelTest, WorkQueuedBeforeTheWindowExistsWaitsForIt) {
  UiChannel early;
  GadgetActivityLog(early).LogActivity(u"avant", ActivityLevel::None, 1);
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
