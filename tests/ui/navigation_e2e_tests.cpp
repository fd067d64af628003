// Finding one's way in the views of the program under Wine, with real clicks: the panel's
// tabs, the table's columns, the filter, double-clicks between a table row and its tree
// nodes, and copies to the clipboard.
#include <gtest/gtest.h>

#include <algorithm>

#include "tools/program_fixture_win32.h"

namespace appcensus::driver {
namespace {

using NavigationTest = ProgramTest;

TEST_F(NavigationTest, EachTabShowsItsViewAndTheTableHasNineColumnsWideEnoughForTheirTitles) {
  const HWND views[3] = {table, tree, activity};
  const wchar_t* tabs[3] = {L"Tableau", L"Arborescence", L"Activit\u00e9"};
  EXPECT_EQ(driver->TabCount(panel), 3);
  EXPECT_EQ(CurrentTab(), 0);
  for (int tab : {2, 1, 0}) {
    driver->ClickTab(panel, tab);
    EXPECT_EQ(CurrentTab(), tab);
    EXPECT_EQ(driver->TabText(panel, tab), tabs[tab]);
    for (int view = 0; view < 3; ++view) EXPECT_EQ(IsWindowVisible(views[view]) != 0, view == tab) << tab << view;
  }

  const wchar_t* titles[9] = {L"Nom de l'application", L"Version", L"Identit\u00e9", L"Date d'installation",
                              L"Source d'installation", L"Destination d'installation",
                              L"Commande de d\u00e9sinstallation", L"Emplacement dans la base de registre", L"Machine"};
  int total = 0;
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(driver->ColumnTitle(table, i), titles[i]);
    const int width = driver->ColumnWidth(table, i);
    const int title = driver->StringWidth(table, titles[i]);
    EXPECT_GE(width, title + 12) << i;  // the title shows whole between the header's margins...
    if (i < 8) {
      EXPECT_LE(width, title + 24) << i;  // ...in a column no wider than it needs
    }
    total += width;
  }
  EXPECT_EQ(driver->ColumnTitle(table, 9), L"<none>");
  RECT inner{};
  GetClientRect(table, &inner);
  EXPECT_GE(total, inner.right);  // the last column reaches the right edge
  EXPECT_EQ(driver->ColumnTitle(activity, 0), L"Activit\u00e9");
  const DWORD rowWide = LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER;
  EXPECT_EQ(SendMessageW(table, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & rowWide, rowWide);
  const LONG oneRow = LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS;
  EXPECT_EQ(GetWindowLongW(table, GWL_STYLE) & (LVS_TYPEMASK | oneRow), oneRow);
}

TEST_F(NavigationTest, TheFilterShowsTheMatchingNamesOnlyAfterTheSearchButton) {
  ASSERT_GE(RequestAndWait(L".", HostName()), 0) << ActivityText();
  const int all = driver->RowCount(table);
  Driver::Type(Gadget(L"TXT_RchNomApplication"), L"fixture ALPHA");
  Settle(window);
  EXPECT_EQ(driver->RowCount(table), all);  // typing alone changes nothing

  Filter(L"fixture ALPHA");
  EXPECT_EQ(Column(0), std::vector<std::wstring>{L"Appcensus Fixture Alpha"});
  EXPECT_EQ(NodeTexts().size(), 9u);
  EXPECT_GE(Logged(L"Traitement par filtre termin\u00e9e."), 0);
  EXPECT_EQ(Status(1), L"Traitement par filtre termin\u00e9e.");
  EXPECT_EQ(Status(3), std::to_wstring(all) + L" applications");  // still the count of every record
  Filter(L"");
  EXPECT_EQ(driver->RowCount(table), all);
  EXPECT_TRUE(Shown(table));
}

TEST_F(NavigationTest, DoubleClicksMoveBetweenATableRowAndItsTreeNodes) {
  ShowWholeWindow();
  ASSERT_GE(RequestAndWait(L".", HostName()), 0) << ActivityText();
  ASSERT_GE(driver->RowCount(table), 5);
  for (int row : {3, 0}) {
    driver->ClickTab(panel, 0);
    Driver::LeftDoubleClickAt(table, Driver::Centre(driver->RowRect(table, row)));
    EXPECT_EQ(CurrentTab(), 1) << row;
    const std::vector<HTREEITEM> nodes = driver->TreeNodes(tree);
    ASSERT_EQ(driver->SelectedNode(tree), nodes[9 * row]) << row;
    EXPECT_TRUE(driver->NodeExpanded(tree, nodes[9 * row])) << row;
  }

  // A leaf of the fourth application (node 31) leads to row 3, the second application's own
  // node to row 1. The right click selects the node under the pointer first; Wine's tree view
  // reports no right double-click, so its notification is sent from inside the program.
  const std::vector<HTREEITEM> nodes = driver->TreeNodes(tree);
  SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(nodes[27]));
  for (const auto& [node, row] : {std::pair{31, 3}, std::pair{9, 1}}) {
    driver->ClickTab(panel, 1);
    const RECT r = driver->NodeRect(tree, nodes[node]);
    ASSERT_GT(r.bottom, r.top) << "node " << node << " not shown";
    Driver::RightClickAt(tree, Driver::Centre(r));
    EXPECT_EQ(driver->SelectedNode(tree), nodes[node]) << node;
    EXPECT_EQ(CurrentTab(), 1) << "a single right click moved to the table";
    ASSERT_TRUE(driver->NotifyParent(tree, NM_RDBLCLK));
    EXPECT_EQ(CurrentTab(), 0) << node;
    EXPECT_EQ(driver->SelectedRow(table), row) << node;
  }

  // A double-click below the rows selects none: the tree shows with no node selected.
  Filter(L"Appcensus Fixture");
  ASSERT_EQ(driver->RowCount(table), 3);
  Driver::LeftDoubleClickAt(table, Driver::Centre(driver->RowRect(table, 0)));
  ASSERT_NE(driver->SelectedNode(tree), nullptr);
  driver->ClickTab(panel, 0);
  const RECT last = driver->RowRect(table, 2);
  Driver::LeftDoubleClickAt(table, {last.left + 20, last.bottom + 60});
  EXPECT_EQ(driver->SelectedRow(table), -1);
  EXPECT_EQ(CurrentTab(), 1);
  EXPECT_EQ(driver->SelectedNode(tree), nullptr);
}

TEST_F(NavigationTest, CopiesTheApplicationNameFromTheTableAndTheLeafTextFromTheTree) {
  ShowWholeWindow();
  ASSERT_GE(RequestAndWait(L".", HostName()), 0) << ActivityText();
  ASSERT_GE(driver->RowCount(table), 3);
  SetClipboardText(L"before the copy");
  const RECT row2 = driver->RowRect(table, 2);
  Driver::LeftClickAt(table, Driver::Centre(row2));
  Driver::RightDoubleClickAt(table, Driver::Centre(row2));
  EXPECT_EQ(driver->SelectedRow(table), 2);
  EXPECT_EQ(ClipboardText(), driver->CellText(table, 2, 0));

  // The version leaf of the second application.
  driver->ClickTab(panel, 1);
  const std::vector<HTREEITEM> nodes = driver->TreeNodes(tree);
  SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(nodes[9]));
  Settle(window);
  SetClipboardText(L"before the copy");
  const RECT leaf = driver->NodeRect(tree, nodes[10]);
  ASSERT_GT(leaf.bottom, leaf.top);
  Driver::LeftDoubleClickAt(tree, Driver::Centre(leaf));
  EXPECT_EQ(driver->SelectedNode(tree), nodes[10]);
  EXPECT_EQ(ClipboardText(), L"Version : " + driver->CellText(table, 1, 1));
}

}  // namespace
}  // namespace appcensus::driver
