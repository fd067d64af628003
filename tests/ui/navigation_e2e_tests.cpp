// Finding one's way in the views of the program under Wine with real clicks and keys: tabs,
// columns, the filter, double-clicks between a table row and its tree nodes, copies to the
// clipboard.
#include "tools/program_fixture_win32.h"

namespace appcensus::driver {

using NavigationTest = ProgramTest;

TEST_F(NavigationTest, EachTabShowsItsViewAndEachColumnItsWholeTitle) {
  const HWND views[3] = {table, tree, activity};
  EXPECT_EQ(driver->TabCount(panel), 3);
  EXPECT_EQ(CurrentTab(), 0);
  for (int tab : {2, 1, 0}) {
    driver->ClickTab(panel, tab);
    EXPECT_EQ(CurrentTab(), tab);
    for (int view = 0; view < 3; ++view) EXPECT_EQ(IsWindowVisible(views[view]) != 0, view == tab) << tab << view;
  }
  // Nine columns, each title whole between the header's margins in a column no wider than it
  // needs, but the last, which reaches the right edge.
  int total = 0;
  for (int i = 0; i < 9; ++i) {
    const int width = driver->ColumnWidth(table, i), title = driver->StringWidth(table, driver->ColumnTitle(table, i));
    EXPECT_TRUE(title > 0 && width >= title + 12 && (i == 8 || width <= title + 24)) << i << ": " << width << " for " << title;
    total += width;
  }
  EXPECT_EQ(driver->ColumnTitle(table, 9), L"<none>");
  EXPECT_GE(total, Driver::InnerSize(table).cx);
}

TEST_F(NavigationTest, TheFilterDoubleClicksAndCopiesLeadToAnApplication) {
  // Return in the machine box requests as the request button does.
  ShowWholeWindow();
  Retype(L"CBX_nomMachine", L".");
  ASSERT_TRUE(driver->PressKeys({VK_RETURN}));  // the box has the focus when the window opens
  ASSERT_GE(Logged(kDone + HostName(), 60000), 0) << ActivityText();
  Settle(window);
  const int all = driver->RowCount(table);
  ASSERT_GE(all, 5);

  // Rows, tree and activity follow the search text only after Return in the field (or the
  // search button); the count stays that of every record.
  HWND search = Gadget(L"TXT_RchNomApplication");
  Driver::Type(search, L"fixture ALPHA");
  Settle(window);
  EXPECT_EQ(driver->RowCount(table), all);
  Driver::LeftClickAt(search, {5, 5});
  ASSERT_TRUE(driver->PressKeys({VK_RETURN}));
  EXPECT_EQ(Column(0), std::vector<std::wstring>{L"Appcensus Fixture Alpha"});
  EXPECT_EQ(NodeTexts().size(), 9u);
  EXPECT_EQ(Status(1), L"Traitement par filtre termin\u00e9e.");
  EXPECT_EQ(Status(3), std::to_wstring(all) + L" applications");
  Filter(L"");
  EXPECT_EQ(driver->RowCount(table), all);

  // A double-click on a row shows its node in the tree, opened.
  for (int row : {3, 0}) {
    driver->ClickTab(panel, 0);
    Driver::LeftDoubleClickAt(table, Driver::Centre(driver->RowRect(table, row)));
    EXPECT_EQ(CurrentTab(), 1) << row;
    const std::vector<HTREEITEM> nodes = driver->TreeNodes(tree);
    ASSERT_EQ(driver->SelectedNode(tree), nodes[9 * row]) << row;
    EXPECT_TRUE(driver->NodeExpanded(tree, nodes[9 * row])) << row;
  }
  // A right double-click on the last leaf of the fourth application (node 35) shows row 3, on
  // the second application's own node row 1. The right click selects the node under the pointer;
  // Wine's tree view reports no right double-click, so its notification is sent from inside.
  const std::vector<HTREEITEM> nodes = driver->TreeNodes(tree);
  SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(nodes[27]));
  for (const auto& [node, row] : {std::pair{35, 3}, std::pair{9, 1}}) {
    driver->ClickTab(panel, 1);
    Driver::RightClickAt(tree, Driver::Centre(driver->NodeRect(tree, nodes[node])));
    EXPECT_EQ(driver->SelectedNode(tree), nodes[node]) << node;
    EXPECT_EQ(CurrentTab(), 1) << "a single right click moved to the table";
    ASSERT_TRUE(driver->NotifyParent(tree, NM_RDBLCLK));
    EXPECT_EQ(CurrentTab(), 0) << node;
    EXPECT_EQ(driver->SelectedRow(table), row) << node;
  }
  // A double-click below the last row selects none: the tree shows with no node selected.
  const RECT last = driver->RowRect(table, all - 1);
  Driver::LeftDoubleClickAt(table, {last.left + 20, last.bottom + 60});
  EXPECT_EQ(driver->SelectedRow(table), -1);
  EXPECT_EQ(CurrentTab(), 1);
  EXPECT_EQ(driver->SelectedNode(tree), nullptr);

  // A right double-click on a row copies the application's name, a double-click on a leaf its
  // text (the version leaf of the first application, opened above).
  driver->ClickTab(panel, 0);
  SetClipboardText(L"before the copy");
  Driver::LeftClickAt(table, Driver::Centre(driver->RowRect(table, 2)));
  Driver::RightDoubleClickAt(table, Driver::Centre(driver->RowRect(table, 2)));
  EXPECT_EQ(driver->SelectedRow(table), 2);
  EXPECT_EQ(ClipboardText(), driver->CellText(table, 2, 0));
  SetClipboardText(L"before the copy");  // so does Ctrl+C, here on the row clicked
  Driver::LeftClickAt(table, Driver::Centre(driver->RowRect(table, 3)));
  ASSERT_TRUE(driver->PressKeys({VK_CONTROL, 'C'}));
  EXPECT_EQ(ClipboardText(), driver->CellText(table, 3, 0));
  driver->ClickTab(panel, 1);
  SetClipboardText(L"before the copy");
  Driver::LeftDoubleClickAt(tree, Driver::Centre(driver->NodeRect(tree, nodes[1])));
  EXPECT_EQ(driver->SelectedNode(tree), nodes[1]);
  EXPECT_EQ(ClipboardText(), L"Version : " + driver->CellText(table, 0, 1));
}

}  // namespace appcensus::driver
