#include <gtest/gtest.h>

#include <algorithm>

#include "core/name_filter.h"
#include "ui/activity_view.h"
#include "ui/application_views.h"
#include "ui/image_names.h"
#include "tests/support/recording_gadgets.h"

namespace appcensus {
namespace {

ApplicationRecord Record(Text name, Text key, Text machine = u"SRV2") {
  ApplicationRecord r;
  r.DisplayName = std::move(name);
  r.DisplayVersion = u"1.2";
  r.InstallSource = u"\\\\depot\\setup";
  r.InstallDate = u"03/04/2021";
  r.UninstallString = u"msiexec /x {ABC}";
  r.InstallLocation = u"C:\\Program Files\\App";
  r.ProductCode = u"{ABC}";
  r.Machine = std::move(machine);
  r.KeyName = std::move(key);
  return r;
}

// The views of one window, driven on the test's own thread as the window thread.
class ApplicationViewsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetNamedIdsForTesting();
    NamedValue value = 100;
    for (const IconImage& icon : kIcons) RegisterNamedId(icon.name, 0, value++, u"");
    channel.Attach(gadgets, [] { return true; });
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
  UiChannel channel;
  GadgetActivityLog log{channel};
  SharedText search;
  SharedText lastMachine;
  ApplicationViews views{channel, log, search, lastMachine};
  ApplicationTable table;
};

TEST_F(ApplicationViewsTest, RowsAndBranchesCarryEveryFieldWithLabelsAndImages) {
  ApplicationRecord record = Record(u"Micro Viewer", u"{ABC}");
  record.UninstallString = u"";
  table.Store(record);
  views.Fill(table);

  ASSERT_EQ(gadgets.rows.size(), 1u);
  const Text path = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{ABC}";
  EXPECT_EQ(gadgets.rows[0].cells,
            (std::array<Text, 9>{u"Micro Viewer", u"1.2", u"{ABC}", u"03/04/2021", u"\\\\depot\\setup",
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
  // One shown record: one shaded row, shown views, the count in field 3.
  EXPECT_EQ(gadgets.rowBackgrounds, (std::map<int, RgbColour>{{0, RgbColour{255, 247, 179}}}));
  EXPECT_TRUE(gadgets.viewsVisible);
  EXPECT_EQ(gadgets.statusTexts[3], u"1 applications");
}

TEST_F(ApplicationViewsTest, TableRowOwnsNineNodesInTableOrderAndShadingFollowsShownRows) {
  const Text names[] = {u"Alpha", u"Hidden one", u"Beta", u"Gamma", u"Hidden two", u"Delta"};
  for (int i = 0; i < 6; ++i) table.Store(Record(names[i], u"K" + DecimalText(i)));
  search.Set(u"a");  // the two "Hidden" names have no "a"
  views.Fill(table);

  ASSERT_EQ(gadgets.rows.size(), 4u);
  ASSERT_EQ(gadgets.nodes.size(), 36u);
  std::vector<Text> order;  // the table's own iteration order, filtered
  for (const auto& r : table.Snapshot())
    if (r.DisplayName.find(u'a') != Text::npos) order.push_back(r.DisplayName);
  for (std::size_t row = 0; row < gadgets.rows.size(); ++row) {
    EXPECT_EQ(gadgets.rows[row].cells[0], order[row]);
    EXPECT_EQ(gadgets.nodes[9 * row].text, order[row]);
    EXPECT_EQ(gadgets.nodes[9 * row].level, 0);
    for (int leaf = 1; leaf < 9; ++leaf) EXPECT_EQ(gadgets.nodes[9 * row + leaf].level, 1);
  }
  EXPECT_EQ(gadgets.rowBackgrounds, (std::map<int, RgbColour>{{0, kShadedRowColour}, {2, kShadedRowColour}}));
  EXPECT_EQ(gadgets.statusTexts[3], u"6 applications");  // all records, before the filter
}

TEST_F(ApplicationViewsTest, ThreeRecordsGiveTwentySevenNodes) {
  for (int i = 0; i < 3; ++i) table.Store(Record(u"App " + DecimalText(i), u"K" + DecimalText(i)));
  views.Fill(table);
  ASSERT_EQ(gadgets.nodes.size(), 27u);
  EXPECT_EQ(gadgets.nodes[18].level, 0);
  EXPECT_EQ(gadgets.nodes[18].text, gadgets.rows[2].cells[0]);
  EXPECT_EQ(gadgets.rowBackgrounds.count(0) + gadgets.rowBackgrounds.count(1) + gadgets.rowBackgrounds.count(2), 2u);
  EXPECT_EQ(gadgets.rowBackgrounds.count(1), 0u);
}

TEST_F(ApplicationViewsTest, EmptyTableAndNoMatchEmptyTheViewsAndShowThem) {
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
  EXPECT_EQ(gadgets.statusTexts[3], u"2 applications");
}

TEST_F(ApplicationViewsTest, AFillNeverAddsToTheLastOneAndClearsBeforeItsCountLine) {
  table.Store(Record(u"Alpha", u"K1"));
  views.Fill(table);
  views.Fill(table);
  EXPECT_EQ(gadgets.rows.size(), 1u);
  EXPECT_EQ(gadgets.nodes.size(), 9u);
  const auto first = std::find(gadgets.calls.begin(), gadgets.calls.end(), "ClearTable");
  const auto count = std::find(gadgets.calls.begin(), gadgets.calls.end(), "AppendActivityRow");
  const auto rows = std::find(gadgets.calls.begin(), gadgets.calls.end(), "AppendTableRows");
  const auto shown = std::find(gadgets.calls.begin(), gadgets.calls.end(), "ShowViews");
  EXPECT_TRUE(first < count && count < rows && rows < shown);
}

TEST(NameFilterTest, SubstringWithoutRegardToCase) {
  for (const char16_t* name : {u"Microsoft Office", u"MICROSCOPE", u"Amicro tool", u"xmIcRoX", u"micro"})
    EXPECT_TRUE(NameMatchesFilter(name, u"micro")) << TextToUtf8(name);
  for (const char16_t* name : {u"Micr osoft", u"Macro", u"", u"micr", u"m-icro"})
    EXPECT_FALSE(NameMatchesFilter(name, u"micro")) << TextToUtf8(name);
  EXPECT_TRUE(NameMatchesFilter(u"", u""));
  EXPECT_TRUE(NameMatchesFilter(u"Anything", u""));
  EXPECT_TRUE(NameMatchesFilter(u"Éditeur Ünicode", u"éditeur ü"));
  EXPECT_FALSE(NameMatchesFilter(u"Office", u"office "));  // a trailing blank counts
  EXPECT_FALSE(NameMatchesFilter(u"Office 2016", u"Off*"));  // no wildcard
  EXPECT_TRUE(NameMatchesFilter(u"C++ Redistributable", u"c++"));
}

TEST_F(ApplicationViewsTest, FilterReadsTheSearchTextAtEveryCall) {
  search.Set(u"");
  EXPECT_TRUE(views.MatchesNameFilter(u"Beta"));
  search.Set(u"MICRO");
  EXPECT_TRUE(views.MatchesNameFilter(u"Outil microscope"));
  EXPECT_FALSE(views.MatchesNameFilter(u"Beta"));
  EXPECT_FALSE(views.MatchesNameFilter(u""));
}

TEST_F(ApplicationViewsTest, BusyLogsAndHidesOnlyWhenBusy) {
  views.SetBusy(1);
  EXPECT_FALSE(gadgets.viewsVisible);
  EXPECT_EQ(ActivityTexts(), std::vector<Text>{u"Traitement en cours..."});
  EXPECT_EQ(gadgets.statusTexts[1], u"Traitement en cours...");
  EXPECT_EQ(gadgets.statusIcon, NamedId(u"ICO_ActionEnCours"));
  EXPECT_EQ(gadgets.activityRows[0].image, NamedId(u"ICO_ActionEnCours"));

  views.SetBusy(0);
  EXPECT_TRUE(gadgets.viewsVisible);
  EXPECT_EQ(gadgets.activityRows.size(), 1u);
}

TEST_F(ApplicationViewsTest, ClearEmptiesViewsCountFieldAndLastMachineName) {
  lastMachine.Set(u"SRV2");
  table.Store(Record(u"Alpha", u"K1"));
  views.Fill(table);
  ASSERT_EQ(gadgets.statusTexts[3], u"1 applications");
  views.Clear();
  EXPECT_TRUE(gadgets.rows.empty());
  EXPECT_TRUE(gadgets.nodes.empty());
  EXPECT_EQ(gadgets.statusTexts[3], u"");
  EXPECT_EQ(lastMachine.Get(), u"");
  EXPECT_EQ(ActivityTexts(), (std::vector<Text>{u"1 applications", u""}));
  EXPECT_EQ(gadgets.activityRows.back().image, 0);
}

}  // namespace
}  // namespace appcensus
