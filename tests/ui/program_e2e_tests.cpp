// The whole program under Wine, driven from outside like a user would: machine requests on
// the real registry of the test prefix (MSI packages installed with msiexec and a .reg
// fixture, see tests/inventory/wine), the two views, the filter, the navigations between
// them, the clipboard, the stored settings across a restart, closing, and the CSV export.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/csv_reader.h"
#include "tools/gui_driver_win32.h"

namespace appcensus::driver {
namespace {

constexpr wchar_t kSettingsKey[] = L"Software\\Brelmont\\Appcensus";
constexpr wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kUninstallPath[] = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr wchar_t kDone[] = L"Traitement termin\u00e9 sur la machine ";

// Names the fixture puts into the prefix (installed packages and imported entries).
const wchar_t* const kFixtureNames[] = {
    L"Appcensus Fixture Alpha",       L"Appcensus Fixture Beta",
    L"Appcensus Fixture Gamma caf\u00e9", L"Fixture quoted icon",
    L"Fixture bare icon",             L"Fixture icon list",
    L"Fixture date as number",        L"Fixture with a subkey",
    L"Fixture names in other letter case", L"Fixture; name with separator",
    L"\u00c9diteur; caf\u00e9 \u00e0 la cr\u00e8me", L"Fixture two braced groups",
    L"Fixture icon with forward slashes", L"Fixture short date",
    L"Fixture list as version",       L"Fixture long uninstall string",
    L"Fixture uninstall command",     L"Fixture location without command",
};
// Fixture entries that must never become a row: a name below an entry, a list-typed name, an
// entry without name, a name of 255 characters.
const wchar_t* const kNeverShown[] = {L"Never listed: below an entry", L"One", L"Two"};

std::wstring Wide(const Text& text) { return std::wstring(text.begin(), text.end()); }

std::wstring ProgramFolder() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self);
  path.erase(path.find_last_of(L"\\/"));
  return path;
}

std::wstring HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name) != 0) return L"";
  wchar_t wide[256] = {};
  MultiByteToWideChar(CP_ACP, 0, name, -1, wide, 256);
  return wide;
}

std::wstring ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  GetComputerNameW(name, &size);
  return name;
}

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

// What the Uninstall key of this machine holds, read here with the registry functions: the
// subkeys whose names fit 254 characters, and the display names (text values of at most 254
// characters) of those that have one.
struct UninstallContents {
  int listable = 0;
  std::multiset<std::wstring> names;
};

UninstallContents ReadUninstallKey() {
  UninstallContents contents;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return contents;
  for (DWORD index = 0;; ++index) {
    wchar_t name[1024] = {};
    DWORD length = 1024;
    const LONG status = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS || length > 254) continue;
    ++contents.listable;
    wchar_t value[1024] = {};
    DWORD type = 0;
    DWORD bytes = sizeof value - sizeof(wchar_t);
    if (RegGetValueW(key, name, L"DisplayName", RRF_RT_ANY | RRF_NOEXPAND, &type, value, &bytes) != ERROR_SUCCESS)
      continue;
    if ((type != REG_SZ && type != REG_EXPAND_SZ) || bytes > 510) continue;
    const std::wstring text(value);
    if (!text.empty()) contents.names.insert(text);
  }
  RegCloseKey(key);
  return contents;
}

std::optional<std::wstring> StoredText(const wchar_t* value) {
  wchar_t text[512] = {};
  DWORD bytes = sizeof text;
  if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, value, RRF_RT_REG_SZ, nullptr, text, &bytes) != ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(text);
}

std::optional<DWORD> StoredNumber(const wchar_t* value) {
  DWORD number = 0;
  DWORD bytes = sizeof number;
  if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, value, RRF_RT_REG_DWORD, nullptr, &number, &bytes) != ERROR_SUCCESS)
    return std::nullopt;
  return number;
}

class ProgramTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
  }

  void SetUp() override {
    // Every test starts as a first run: no stored history, size or time limit.
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
    StartProgram();
  }

  void StartProgram() {
    program = std::make_unique<RunningProgram>();
    ASSERT_TRUE(program->Start()) << "the main window did not appear";
    driver = std::make_unique<Driver>(*program);
    window = program->Window();
    table = driver->Gadget(L"LISTE_ApplicationsUninstall");
    tree = driver->Gadget(L"TREE_ApplicationsUninstall");
    status = driver->Gadget(L"ID_BarreDeStatus");
    panel = driver->Gadget(L"PANEL_VisuApplications");
  }

  // Restarts the program (settings kept).
  void RestartProgram() {
    ASSERT_EQ(program->Close(), 0);
    StartProgram();
  }

  HWND MachineEdit() const { return FindWindowExW(driver->Gadget(L"CBX_nomMachine"), nullptr, L"Edit", nullptr); }

  // Types the machine text and clicks the request button; the activity row count before.
  int Request(const std::wstring& machines) {
    Driver::Retype(MachineEdit(), machines);
    const int before = driver->RowCount(driver->Gadget(L"LST_Activite"));
    Driver::Click(driver->Gadget(L"BT_Afficher"));
    Settle(window);
    return before;
  }

  // Requests and waits for the end message; the activity row count before the request.
  int RequestAndWait(const std::wstring& machines, const std::wstring& shownName) {
    const int before = Request(machines);
    const int done = driver->WaitForActivityRow(kDone + shownName, before);
    EXPECT_GE(done, 0) << "no end message for " << Narrow(machines) << "\n" << ActivitySince(before);
    // The worker fills the views before it logs the end: they are complete now.
    Settle(window);
    return before;
  }

  // After showing a result the worker pauses 2 s, empties the progress bar and then the
  // request slot: a request set before would be lost. Called before the next request of a
  // test, after one that read entries (the bar then holds their count).
  void WaitForWorkerPause() const {
    HWND progress = GetWindow(status, GW_CHILD);
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 20000 && (GetTickCount() - start < 2000 ||
                                               SendMessageW(progress, PBM_GETPOS, 0, 0) != 0 ||
                                               SendMessageW(progress, PBM_GETRANGE, FALSE, 0) != 100))
      Sleep(50);
    Sleep(300);
  }

  // The activity rows from `from` on, one a line, for failure messages.
  std::string ActivitySince(int from) const {
    std::string text = "activity rows:\n";
    const std::vector<std::wstring> rows = driver->ActivityRows();
    for (std::size_t i = static_cast<std::size_t>(std::max(from, 0)); i < rows.size(); ++i)
      text += "  " + Narrow(rows[i]) + "\n";
    return text;
  }

  std::vector<std::wstring> TableColumn(int column) const {
    std::vector<std::wstring> cells;
    for (int row = 0; row < driver->RowCount(table); ++row) cells.push_back(driver->CellText(table, row, column));
    return cells;
  }

  std::vector<std::wstring> RowCells(int row) const {
    std::vector<std::wstring> cells;
    for (int column = 0; column < 9; ++column) cells.push_back(driver->CellText(table, row, column));
    return cells;
  }

  void ShowWholeWindow() {
    SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Driver::SetInnerSize(window, 1000, 700);
  }

  static std::string Narrow(const std::wstring& text) {
    return TextToUtf8(Text(text.begin(), text.end()));
  }

  std::unique_ptr<RunningProgram> program;
  std::unique_ptr<Driver> driver;
  HWND window = nullptr, table = nullptr, tree = nullptr, status = nullptr, panel = nullptr;
};

// ---- one machine ------------------------------------------------------------------------

TEST_F(ProgramTest, LocalRequestShowsEveryRecordInTableTreeStatusAndActivity) {
  const UninstallContents expected = ReadUninstallKey();
  ASSERT_GT(expected.names.size(), 10u) << "the fixture's entries are missing from the prefix";
  const std::wstring host = HostName();
  ASSERT_FALSE(host.empty());

  // An empty box requests ".".
  const int before = Request(L"");
  ASSERT_GE(driver->WaitForActivityRow(kDone + host, before), 0);
  // The progress bar is full at the end of the reading (and emptied after the worker's pause,
  // below).
  HWND progress = GetWindow(status, GW_CHILD);
  const DWORD ended = GetTickCount();
  EXPECT_EQ(SendMessageW(progress, PBM_GETPOS, 0, 0), SendMessageW(progress, PBM_GETRANGE, FALSE, 0));
  Settle(window);

  // Table: one row per display name, every cell of the machine column ".".
  const std::vector<std::wstring> names = TableColumn(0);
  EXPECT_EQ(std::multiset<std::wstring>(names.begin(), names.end()), expected.names);
  for (const wchar_t* name : kFixtureNames) EXPECT_EQ(std::count(names.begin(), names.end(), name), 1) << Narrow(name);
  for (const wchar_t* name : kNeverShown) EXPECT_EQ(std::count(names.begin(), names.end(), name), 0) << Narrow(name);
  for (const std::wstring& name : names) EXPECT_LE(name.size(), 254u);
  const int rows = static_cast<int>(names.size());
  for (int row = 0; row < rows; ++row) {
    EXPECT_EQ(driver->CellText(table, row, 8), L".") << row;
    EXPECT_EQ(driver->CellText(table, row, 7).rfind(kUninstallPath, 0), 0u) << row;
  }

  // Tree: nine nodes per row, in the rows' order.
  const std::vector<HTREEITEM> nodes = driver->TreeNodes(tree);
  ASSERT_EQ(nodes.size(), 9u * rows);
  for (int row = 0; row < rows; ++row) {
    const std::vector<std::wstring> cells = RowCells(row);
    EXPECT_EQ(driver->NodeText(tree, nodes[9 * row]), cells[0]) << row;
    EXPECT_EQ(driver->NodeText(tree, nodes[9 * row + 1]), L"Version : " + cells[1]) << row;
    EXPECT_EQ(driver->NodeText(tree, nodes[9 * row + 2]), L"Code produit : " + cells[2]) << row;
    EXPECT_EQ(driver->NodeText(tree, nodes[9 * row + 6]), L"Commande de d\u00e9sinstallation : " + cells[6]) << row;
    EXPECT_EQ(driver->NodeText(tree, nodes[9 * row + 7]), L"Emplacement dans base de registre : " + cells[7]) << row;
    EXPECT_EQ(driver->NodeText(tree, nodes[9 * row + 8]), L"Machine : .") << row;
  }

  while (SendMessageW(progress, PBM_GETPOS, 0, 0) != 0 && GetTickCount() - ended < 10000) Sleep(20);
  EXPECT_EQ(SendMessageW(progress, PBM_GETPOS, 0, 0), 0);
  EXPECT_EQ(SendMessageW(progress, PBM_GETRANGE, FALSE, 0), 100);
  std::printf("[ figure ] progress bar emptied %lu ms after the end message was seen\n",
              static_cast<unsigned long>(GetTickCount() - ended));

  // Status bar.
  const std::wstring count = std::to_wstring(rows) + L" applications";
  EXPECT_EQ(driver->StatusText(status, 1), kDone + host);
  EXPECT_EQ(driver->StatusText(status, 3), count);
  EXPECT_NE(driver->OwnerDrawnFieldData(status, 0), 0);

  // Activity: the worker's lines and the job's lines, each in their order; the job runs on a
  // thread of its own, so the worker's time-limit line may stand among the job's first lines.
  std::vector<std::wstring> log = driver->ActivityRows();
  log.erase(log.begin(), log.begin() + before);
  const std::wstring entries = std::to_wstring(expected.listable);
  const std::vector<std::wstring> start = {L"Traitement en cours...", L"D\u00e9marrage du traitement pour la machine .",
                                           L""};
  const std::wstring limitLine = L"15 secondes de temp d'attente pour le traitement de la machine";
  const std::vector<std::wstring> job = {
      L"[TestMachine] : D\u00e9marrage du test machine sur .",
      L"[TestMachine] : Machine locale, le nom de machine est conforme.",
      L"Connexion \u00e0 la base de registre de la machine ....",
      L"Recherches des applications effectu\u00e9es sur la machine ..",
      entries + L" Entr\u00e9es",
      L"R\u00e9cup\u00e9ration des informations de chaque applications sur la machine . (" + entries +
          L" entr\u00e9es)...",
      L"R\u00e9cup\u00e9ration des informations d'applications effectu\u00e9es. " + entries + L" entr\u00e9es trait\u00e9s.",
  };
  const std::vector<std::wstring> end = {count, kDone + host};
  ASSERT_EQ(log.size(), start.size() + 1 + job.size() + end.size()) << "activity rows after the request";
  EXPECT_EQ(std::vector<std::wstring>(log.begin(), log.begin() + 3), start);
  EXPECT_EQ(std::vector<std::wstring>(log.end() - 2, log.end()), end);
  std::vector<std::wstring> middle(log.begin() + 3, log.end() - 2);
  const auto limit = std::find(middle.begin(), middle.end(), limitLine);
  ASSERT_NE(limit, middle.end()) << "no time-limit line";
  middle.erase(limit);
  EXPECT_EQ(middle, job);
}

TEST_F(ProgramTest, OwnNameAndOwnNameWithDotGiveOneAndTwoSetsOfRecords) {
  const std::wstring name = ComputerName();
  ASSERT_FALSE(name.empty());
  const UninstallContents expected = ReadUninstallKey();

  int before = RequestAndWait(name, name);
  std::vector<std::wstring> machines = TableColumn(8);
  EXPECT_EQ(machines.size(), expected.names.size());
  EXPECT_EQ(static_cast<std::size_t>(std::count(machines.begin(), machines.end(), name)), machines.size());
  EXPECT_GE(driver->WaitForActivityRow(L"[TestMachine] : Teste de la machine effectu\u00e9e correctement.", before, 0), 0);
  EXPECT_EQ(driver->StatusText(status, 3), std::to_wstring(expected.names.size()) + L" applications");

  WaitForWorkerPause();
  before = RequestAndWait(name + L";.", name + L";.");
  machines = TableColumn(8);
  const std::vector<std::wstring> names = TableColumn(0);
  ASSERT_EQ(machines.size(), 2 * expected.names.size()) << ActivitySince(before);
  EXPECT_EQ(static_cast<std::size_t>(std::count(machines.begin(), machines.end(), name)), expected.names.size());
  EXPECT_EQ(static_cast<std::size_t>(std::count(machines.begin(), machines.end(), L".")), expected.names.size());
  std::multiset<std::wstring> ofName, ofDot;
  for (std::size_t i = 0; i < names.size(); ++i) (machines[i] == L"." ? ofDot : ofName).insert(names[i]);
  EXPECT_EQ(ofName, expected.names);
  EXPECT_EQ(ofDot, expected.names);
  EXPECT_EQ(driver->TreeNodes(tree).size(), 9 * machines.size());
  // Both machines were connected, the last machine's entries counted alone.
  EXPECT_GE(driver->WaitForActivityRow(L"Connexion \u00e0 la base de registre de la machine " + name + L"...", before, 0), 0);
  EXPECT_GE(driver->WaitForActivityRow(L"Connexion \u00e0 la base de registre de la machine ....", before, 0), 0);
  EXPECT_GE(driver->WaitForActivityRow(std::to_wstring(expected.listable) + L" Entr\u00e9es", before, 0), 0);
  EXPECT_EQ(driver->StatusText(status, 1), kDone + name + L";.");
  // Only the one-machine request entered the history, exactly as typed.
  EXPECT_EQ(StoredText(L"CBX_Machines"), name);
}

TEST_F(ProgramTest, UnknownMachineIsReportedAndLeavesTheViewsEmpty) {
  const std::wstring unknown = L"appcensus-no-such-host";
  const int before = RequestAndWait(unknown, unknown);
  EXPECT_GE(driver->WaitForActivityRow(L"Impossible de contacter la machine " + unknown + L".", before, 0), 0);
  EXPECT_EQ(driver->WaitForActivityRow(L"Connexion \u00e0 la base de registre de la machine " + unknown + L"...", before, 0),
            -1);
  EXPECT_EQ(driver->RowCount(table), 0);
  EXPECT_TRUE(driver->TreeNodes(tree).empty());
  EXPECT_TRUE(IsWindowVisible(table));
  EXPECT_EQ(StoredText(L"CBX_Machines"), std::nullopt);
}

TEST_F(ProgramTest, TimeLimitZeroAbandonsTheJobAndTheNextRequestStillRuns) {
  // Twenty readings of the local machine: a job far too long to end before a wait of 0 ms,
  // even when the worker is held up by a loaded machine.
  std::wstring machines = L".";
  for (int i = 0; i < 19; ++i) machines += L";.";
  Driver::Retype(driver->Gadget(L"TXT_TempAttente"), L"0");
  int before = Request(machines);
  const int error =
      driver->WaitForActivityRow(L"Impossible de r\u00e9cuperer les informations de la machine.", before, 30000);
  ASSERT_GE(error, 0) << ActivitySince(before);
  EXPECT_GE(driver->WaitForActivityRow(L"0 secondes de temp d'attente pour le traitement de la machine", before, 0), 0);
  // The abandoned job changes nothing any more: no listing or reading line, no rows, no end.
  Sleep(3000);
  Settle(window);
  const std::vector<std::wstring> log = driver->ActivityRows();
  for (std::size_t i = error + 1; i < log.size(); ++i) {
    EXPECT_EQ(log[i].rfind(L"R\u00e9cup\u00e9ration", 0), std::wstring::npos) << Narrow(log[i]);
    EXPECT_EQ(log[i].find(L" applications"), std::wstring::npos) << Narrow(log[i]);
    EXPECT_EQ(log[i].rfind(kDone, 0), std::wstring::npos) << Narrow(log[i]);
  }
  EXPECT_EQ(driver->RowCount(table), 0);
  EXPECT_TRUE(GetWindowLongW(table, GWL_STYLE) & WS_VISIBLE);
  EXPECT_TRUE(GetWindowLongW(tree, GWL_STYLE) & WS_VISIBLE);

  // The abandoned job does not hold the next request back.
  Driver::Retype(driver->Gadget(L"TXT_TempAttente"), L"15");
  before = RequestAndWait(L".", HostName());
  EXPECT_GT(driver->RowCount(table), 10);
}

// ---- the views --------------------------------------------------------------------------

TEST_F(ProgramTest, FilterShowsMatchingNamesOnlyAfterTheSearchButton) {
  RequestAndWait(L".", HostName());
  const int all = driver->RowCount(table);
  HWND search = driver->Gadget(L"TXT_RchNomApplication");

  // Typing alone changes nothing.
  Driver::Type(search, L"fixture ALPHA");
  Settle(window);
  EXPECT_EQ(driver->RowCount(table), all);

  int before = driver->RowCount(driver->Gadget(L"LST_Activite"));
  Driver::Click(driver->Gadget(L"BT_RchApplication"));
  Settle(window);
  EXPECT_EQ(TableColumn(0), std::vector<std::wstring>{L"Appcensus Fixture Alpha"});
  EXPECT_EQ(driver->TreeNodes(tree).size(), 9u);
  EXPECT_GE(driver->WaitForActivityRow(L"Traitement par filtre termin\u00e9e.", before, 5000), 0);
  EXPECT_EQ(driver->StatusText(status, 1), L"Traitement par filtre termin\u00e9e.");
  // The count still reports every record.
  EXPECT_EQ(driver->StatusText(status, 3), std::to_wstring(all) + L" applications");

  // Letter case ignored beyond ASCII: "CAFÉ" finds both names with "café".
  Driver::Retype(search, L"CAF\u00c9");
  Driver::Click(driver->Gadget(L"BT_RchApplication"));
  Settle(window);
  std::vector<std::wstring> names = TableColumn(0);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{L"Appcensus Fixture Gamma caf\u00e9",
                                              L"\u00c9diteur; caf\u00e9 \u00e0 la cr\u00e8me"}));

  Driver::Retype(search, L"no application has this name");
  Driver::Click(driver->Gadget(L"BT_RchApplication"));
  Settle(window);
  EXPECT_EQ(driver->RowCount(table), 0);
  EXPECT_TRUE(driver->TreeNodes(tree).empty());

  Driver::Retype(search, L"");
  Driver::Click(driver->Gadget(L"BT_RchApplication"));
  Settle(window);
  EXPECT_EQ(driver->RowCount(table), all);
  EXPECT_TRUE(IsWindowVisible(table));
}

TEST_F(ProgramTest, DoubleClicksMoveBetweenTableRowAndTreeNode) {
  ShowWholeWindow();
  RequestAndWait(L".", HostName());
  ASSERT_GE(driver->RowCount(table), 5);

  for (int row : {3, 0}) {
    driver->ClickTab(panel, 0);
    Driver::LeftDoubleClickAt(table, Driver::Centre(driver->RowRect(table, row)));
    EXPECT_EQ(SendMessageW(panel, TCM_GETCURSEL, 0, 0), 1) << row;
    EXPECT_TRUE(IsWindowVisible(tree));
    const std::vector<HTREEITEM> nodes = driver->TreeNodes(tree);
    ASSERT_EQ(driver->SelectedNode(tree), nodes[9 * row]) << row;
    EXPECT_TRUE(driver->NodeExpanded(tree, nodes[9 * row])) << row;
  }

  // A leaf of the fourth application (node 31) leads to row 3, the level-0 node of the
  // second to row 1. The right click selects the node under the pointer first. Wine's tree
  // view reports a right click but no right double-click, so after the real click the
  // double-click notification is sent from inside the program, as the view would send it.
  const std::vector<HTREEITEM> nodes = driver->TreeNodes(tree);
  SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(nodes[27]));
  for (const auto& [node, row] : {std::pair{31, 3}, std::pair{9, 1}}) {
    driver->ClickTab(panel, 1);
    const RECT r = driver->NodeRect(tree, nodes[node]);
    ASSERT_GT(r.bottom, r.top) << "node " << node << " not shown";
    Driver::RightClickAt(tree, Driver::Centre(r));
    EXPECT_EQ(driver->SelectedNode(tree), nodes[node]) << node;
    EXPECT_EQ(SendMessageW(panel, TCM_GETCURSEL, 0, 0), 1) << "a single right click moved to the table";
    ASSERT_TRUE(driver->NotifyParent(tree, NM_RDBLCLK));
    EXPECT_EQ(SendMessageW(panel, TCM_GETCURSEL, 0, 0), 0) << node;
    EXPECT_TRUE(IsWindowVisible(table));
    EXPECT_EQ(driver->SelectedRow(table), row) << node;
  }

  // A double-click below the rows leaves no row selected: the tree keeps no selected node.
  Driver::Retype(driver->Gadget(L"TXT_RchNomApplication"), L"Appcensus Fixture");
  Driver::Click(driver->Gadget(L"BT_RchApplication"));
  Settle(window);
  ASSERT_EQ(driver->RowCount(table), 3);
  driver->ClickTab(panel, 0);
  Driver::LeftDoubleClickAt(table, Driver::Centre(driver->RowRect(table, 0)));
  ASSERT_NE(driver->SelectedNode(tree), nullptr);
  driver->ClickTab(panel, 0);
  const RECT last = driver->RowRect(table, 2);
  Driver::LeftDoubleClickAt(table, {last.left + 20, last.bottom + 60});
  EXPECT_EQ(driver->SelectedRow(table), -1);
  EXPECT_EQ(SendMessageW(panel, TCM_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(driver->SelectedNode(tree), nullptr);
}

TEST_F(ProgramTest, CopiesTheApplicationNameFromTheTableAndTheLeafTextFromTheTree) {
  ShowWholeWindow();
  RequestAndWait(L".", HostName());
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
  const std::wstring text = driver->NodeText(tree, nodes[10]);
  EXPECT_EQ(text, L"Version : " + driver->CellText(table, 1, 1));
  EXPECT_EQ(ClipboardText(), text);
}

// ---- settings across a restart, closing ------------------------------------------------

TEST_F(ProgramTest, InnerSizeHistoryAndTimeLimitComeBackAfterARestart) {
  // Maximising stores the maximised size, minimising stores nothing.
  ShowWindow(window, SW_MAXIMIZE);
  Settle(window);
  const SIZE maximised = Driver::InnerSize(window);
  EXPECT_GT(maximised.cx, 622);
  EXPECT_EQ(StoredNumber(L"LargeurFenetre"), static_cast<DWORD>(maximised.cx));
  EXPECT_EQ(StoredNumber(L"HauteurFenetre"), static_cast<DWORD>(maximised.cy));
  ShowWindow(window, SW_RESTORE);
  Settle(window);
  Driver::SetInnerSize(window, 801, 555);
  EXPECT_EQ(StoredNumber(L"LargeurFenetre"), 801u);
  EXPECT_EQ(StoredNumber(L"HauteurFenetre"), 555u);
  ShowWindow(window, SW_MINIMIZE);
  Settle(window);
  EXPECT_TRUE(IsIconic(window));
  EXPECT_EQ(StoredNumber(L"LargeurFenetre"), 801u);
  EXPECT_EQ(StoredNumber(L"HauteurFenetre"), 555u);
  ShowWindow(window, SW_RESTORE);
  Settle(window);

  // The computer name typed in lower case passes the identity test and is stored as typed.
  const std::wstring typed = Lower(ComputerName());
  Driver::Retype(driver->Gadget(L"TXT_TempAttente"), L"20");
  RequestAndWait(typed, typed);
  EXPECT_EQ(StoredText(L"CBX_Machines"), typed);
  EXPECT_EQ(StoredNumber(L"TempAttenteTraitementMachine"), 20u);

  RestartProgram();
  const SIZE inner = Driver::InnerSize(window);
  EXPECT_EQ(inner.cx, 801);
  EXPECT_EQ(inner.cy, 555);
  EXPECT_EQ(Driver::Text(driver->Gadget(L"TXT_TempAttente")), L"20");
  HWND box = driver->Gadget(L"CBX_nomMachine");
  ASSERT_EQ(SendMessageW(box, CB_GETCOUNT, 0, 0), 1);
  wchar_t item[256] = {};
  SendMessageW(box, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(item));  // marshalled by the system
  EXPECT_EQ(std::wstring(item), typed);
  EXPECT_EQ(Driver::Text(box), L"");
}

TEST_F(ProgramTest, ClosingDuringARequestEndsTheProgramWithZero) {
  // Twenty readings of the local machine in one request keep the job busy for a while.
  std::wstring machines = L".";
  for (int i = 0; i < 19; ++i) machines += L";.";
  const int before = Request(machines);
  ASSERT_GE(driver->WaitForActivityRow(L"D\u00e9marrage du traitement pour la machine " + machines, before, 10000), 0);
  const DWORD start = GetTickCount();
  EXPECT_EQ(program->Close(), 0);
  EXPECT_FALSE(program->Running());
  std::printf("[ figure ] closed %lu ms after the close request, during the request\n",
              static_cast<unsigned long>(GetTickCount() - start));
}

// ---- export ------------------------------------------------------------------------------

// Associates .csv with csv_open_probe.exe (beside this program) for the suite: it opens no
// window and notes the document it was asked to open.
class ExportTest : public ProgramTest {
 protected:
  static void SetUpTestSuite() {
    ProgramTest::SetUpTestSuite();
    // An association the prefix already had comes back after the suite.
    wchar_t earlier[256] = {};
    DWORD bytes = sizeof earlier;
    hadCsvClass = RegGetValueW(HKEY_CLASSES_ROOT, L".csv", nullptr, RRF_RT_REG_SZ, nullptr, earlier, &bytes) ==
                  ERROR_SUCCESS;
    earlierCsvClass = earlier;
    const std::wstring command = L"\"" + ProgramFolder() + L"\\csv_open_probe.exe\" \"%1\"";
    RegSetKeyValueW(HKEY_CLASSES_ROOT, L".csv", nullptr, REG_SZ, kClass, sizeof kClass);
    RegSetKeyValueW(HKEY_CLASSES_ROOT, L"Appcensus.TestCsv\\shell\\open\\command", nullptr, REG_SZ, command.c_str(),
                    static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
  }
  static void TearDownTestSuite() {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"Appcensus.TestCsv");
    if (hadCsvClass) {
      RegSetKeyValueW(HKEY_CLASSES_ROOT, L".csv", nullptr, REG_SZ, earlierCsvClass.c_str(),
                      static_cast<DWORD>((earlierCsvClass.size() + 1) * sizeof(wchar_t)));
    } else {
      RegDeleteTreeW(HKEY_CLASSES_ROOT, L".csv");
    }
  }
  static inline bool hadCsvClass = false;
  static inline std::wstring earlierCsvClass;

  void SetUp() override {
    DeleteFileW(OpenedListPath().c_str());
    ProgramTest::SetUp();
  }

  static std::wstring OpenedListPath() { return ProgramFolder() + L"\\opened_documents.txt"; }
  static std::wstring ExportFolder() { return ProgramFolder() + L"\\export"; }

  // The export files in the export folder.
  static std::set<std::wstring> ExportFiles() {
    std::set<std::wstring> files;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((ExportFolder() + L"\\*.csv").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do files.insert(found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);
    return files;
  }

  // Clicks the export button and gives the one new file's name (empty when none or several).
  std::wstring ExportAndFindFile() {
    const std::set<std::wstring> earlier = ExportFiles();
    Driver::Click(driver->Gadget(L"BT_EditerInfosApplications"));
    Settle(window);
    std::vector<std::wstring> added;
    for (const std::wstring& file : ExportFiles())
      if (!earlier.count(file)) added.push_back(file);
    return added.size() == 1 ? added[0] : L"";
  }

  static std::string FileBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
  }

  // The documents the probe was asked to open, waiting a little for it to start.
  static std::wstring OpenedDocuments(const std::wstring& expectedLine) {
    std::wstring text;
    for (int i = 0; i < 100; ++i) {
      const std::string bytes = FileBytes(OpenedListPath());
      text.assign(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
      if (text.find(expectedLine) != std::wstring::npos) break;
      Sleep(100);
    }
    return text;
  }

  static bool HasTimeStamp(const std::wstring& name, const std::wstring& prefix) {
    // <prefix>_hh-ii-ss_dd-mm-yyyy.csv
    const std::wstring mask = L"_99-99-99_99-99-9999.csv";
    if (name.size() != prefix.size() + mask.size() || name.compare(0, prefix.size(), prefix) != 0) return false;
    for (std::size_t i = 0; i < mask.size(); ++i) {
      const wchar_t c = name[prefix.size() + i];
      if (mask[i] == L'9' ? !std::iswdigit(c) : c != mask[i]) return false;
    }
    return true;
  }

  // Local time in whole seconds.
  static ULONGLONG LocalSeconds() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    now.wMilliseconds = 0;
    FILETIME time{};
    SystemTimeToFileTime(&now, &time);
    return ((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 10000000;
  }
  // The same from "_hh-ii-ss_dd-mm-yyyy.csv".
  static ULONGLONG StampSeconds(const std::wstring& stamp) {
    const auto number = [&stamp](std::size_t at, std::size_t digits) {
      return static_cast<WORD>(std::stoi(stamp.substr(at, digits)));
    };
    SYSTEMTIME named{};
    named.wHour = number(1, 2);
    named.wMinute = number(4, 2);
    named.wSecond = number(7, 2);
    named.wDay = number(10, 2);
    named.wMonth = number(13, 2);
    named.wYear = number(16, 4);
    FILETIME time{};
    if (!SystemTimeToFileTime(&named, &time)) return 0;
    return ((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 10000000;
  }

  // A dialog of the program under test bearing the window's title, or nullptr.
  HWND ProgramDialog() const {
    const DWORD id = GetProcessId(program->Process());
    for (HWND dialog = FindWindowW(L"#32770", L"Brelmont Appcensus v3.133"); dialog;
         dialog = FindWindowExW(nullptr, dialog, L"#32770", L"Brelmont Appcensus v3.133")) {
      DWORD owner = 0;
      GetWindowThreadProcessId(dialog, &owner);
      if (owner == id) return dialog;
    }
    return nullptr;
  }

  static constexpr wchar_t kClass[] = L"Appcensus.TestCsv";
};

TEST_F(ExportTest, ExportAfterARequestHoldsExactlyTheRowsOfTheTableAndIsOpened) {
  const std::wstring host = HostName();
  RequestAndWait(L".", host);
  const int rows = driver->RowCount(table);
  ASSERT_GT(rows, 10);

  const ULONGLONG clickedAfter = LocalSeconds();
  const std::wstring name = ExportAndFindFile();
  const ULONGLONG clickedBefore = LocalSeconds();
  ASSERT_FALSE(name.empty()) << "no new file in " << Narrow(ExportFolder());
  ASSERT_TRUE(HasTimeStamp(name, host)) << Narrow(name);
  // The name's local time is the time of the export.
  const ULONGLONG named = StampSeconds(name.substr(host.size()));
  EXPECT_GE(named, clickedAfter) << Narrow(name);
  EXPECT_LE(named, clickedBefore) << Narrow(name);
  const std::wstring path = ExportFolder() + L"\\" + name;
  const std::string bytes = FileBytes(path);
  ASSERT_GE(bytes.size(), 3u);
  EXPECT_NE(bytes.substr(0, 3), "\xEF\xBB\xBF") << "no byte-order mark";
  const std::optional<std::vector<CsvFields>> records = ReadCsvDocument(bytes);
  ASSERT_TRUE(records.has_value()) << "the file does not read back";
  ASSERT_EQ(records->size(), static_cast<std::size_t>(rows) + 1);
  const std::vector<std::wstring> header = {
      L"Nom application", L"Version de l'application", L"Code produit", L"Date d'installation",
      L"Source d'installation", L"R\u00e9pertoire d'installation", L"Commande de d\u00e9sintallation",
      L"Emplacement dans la base de registre", L"Nom de machine"};
  std::vector<std::wstring> readHeader;
  for (const Text& field : (*records)[0]) readHeader.push_back(Wide(field));
  EXPECT_EQ(readHeader, header);
  for (int row = 0; row < rows; ++row) {
    std::vector<std::wstring> fields;
    for (const Text& field : (*records)[row + 1]) fields.push_back(Wide(field));
    EXPECT_EQ(fields, RowCells(row)) << "row " << row;
  }
  // The count in status field 2, the file handed to the associated program.
  EXPECT_EQ(driver->StatusText(status, 2), std::to_wstring(rows));
  EXPECT_NE(OpenedDocuments(path).find(path), std::wstring::npos) << "the export was not opened";
  EXPECT_TRUE(IsWindowVisible(table));
  DeleteFileW(path.c_str());
}

TEST_F(ExportTest, ExportFollowsTheFilterAndAPrefixTypedForSeveralMachines) {
  const std::wstring name = ComputerName();
  const int before = RequestAndWait(name + L";.", name + L";.");
  Driver::Retype(driver->Gadget(L"TXT_RchNomApplication"), L"fixture alpha");
  Driver::Click(driver->Gadget(L"BT_RchApplication"));
  Settle(window);
  ASSERT_EQ(driver->RowCount(table), 2) << ActivitySince(before);

  // Several machines: the prompt asks for the prefix; answer with a new one.
  const std::set<std::wstring> earlier = ExportFiles();
  // Posted: the prompt is modal, a sent click would wait for its answer.
  PostMessageW(driver->Gadget(L"BT_EditerInfosApplications"), BM_CLICK, 0, 0);
  // The dialog's window exists a moment before its controls: wait for the answer field.
  HWND prompt = nullptr;
  HWND answer = nullptr;
  for (int i = 0; i < 100 && !answer; ++i) {
    prompt = ProgramDialog();
    answer = prompt ? FindWindowExW(prompt, nullptr, L"Edit", nullptr) : nullptr;
    if (!answer) Sleep(50);
  }
  ASSERT_NE(prompt, nullptr) << "no prefix prompt";
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(Driver::Text(answer), L"ExportGlobale");
  SetWindowTextW(answer, L"Parc");
  PostMessageW(prompt, WM_COMMAND, IDOK, 0);
  for (int i = 0; i < 100 && IsWindow(prompt); ++i) Sleep(50);
  Settle(window);
  std::vector<std::wstring> added;
  for (const std::wstring& file : ExportFiles())
    if (!earlier.count(file)) added.push_back(file);
  ASSERT_EQ(added.size(), 1u);
  EXPECT_TRUE(HasTimeStamp(added[0], L"Parc")) << Narrow(added[0]);

  const std::wstring path = ExportFolder() + L"\\" + added[0];
  const std::optional<std::vector<CsvFields>> records = ReadCsvDocument(FileBytes(path));
  ASSERT_TRUE(records.has_value());
  ASSERT_EQ(records->size(), 3u);
  for (int row = 0; row < 2; ++row) {
    std::vector<std::wstring> fields;
    for (const Text& field : (*records)[row + 1]) fields.push_back(Wide(field));
    EXPECT_EQ(fields, RowCells(row)) << row;
  }
  // The count of every record, before the filter.
  EXPECT_EQ(driver->StatusText(status, 2) + L" applications", driver->StatusText(status, 3));
  DeleteFileW(path.c_str());

  // A second export reuses the answer without asking.
  const std::wstring second = ExportAndFindFile();
  EXPECT_TRUE(HasTimeStamp(second, L"Parc")) << Narrow(second);
  EXPECT_EQ(ProgramDialog(), nullptr);
  DeleteFileW((ExportFolder() + L"\\" + second).c_str());
}

}  // namespace
}  // namespace appcensus::driver
