// The program under Wine asked for machines like a user would: the local machine on the
// registry of the test prefix (the packages and entries of tests/inventory/wine), a machine by
// name with the local one, an unknown machine, a time limit too short, closing mid-request.
#include <gtest/gtest.h>

#include <algorithm>

#include "tools/program_fixture_win32.h"

namespace appcensus::driver {
namespace {

using RequestTest = ProgramTest;

// Names the fixture puts into the prefix, and names of its entries that must never become a
// row: a name below an entry, a list-typed name.
const wchar_t* const kFixtureNames[] = {
    L"Appcensus Fixture Alpha", L"Appcensus Fixture Beta", L"Appcensus Fixture Gamma caf\u00e9",
    L"Fixture quoted icon", L"Fixture bare icon", L"Fixture icon list", L"Fixture date as number",
    L"Fixture with a subkey", L"Fixture names in other letter case", L"Fixture; name with separator",
    L"\u00c9diteur; caf\u00e9 \u00e0 la cr\u00e8me", L"Fixture two braced groups", L"Fixture icon with forward slashes",
    L"Fixture short date", L"Fixture list as version", L"Fixture long uninstall string", L"Fixture uninstall command",
    L"Fixture location without command"};
const wchar_t* const kNeverShown[] = {L"Never listed: below an entry", L"One", L"Two"};
// The entries the inventory lists: all below the Uninstall key but the fixture's key name of
// 255 characters.
std::wstring Entries() { return std::to_wstring(ProgramTest::UninstallSubkeys() - 1); }

TEST_F(RequestTest, TheLocalMachineFillsTableTreeStatusBarAndActivity) {
  const std::wstring host = HostName();
  ASSERT_GE(RequestAndWait(L"", host), 0) << ActivityText();  // an empty box requests "."
  EXPECT_EQ(SendMessageW(progress, PBM_GETPOS, 0, 0), SendMessageW(progress, PBM_GETRANGE, FALSE, 0));  // full

  // Each entry of the fixture once, in the machine ".", at its registry path; one row in two
  // shaded, from the first; nine tree nodes per row in the rows' order, each kind of node with
  // an image of its own.
  const std::vector<std::vector<std::wstring>> rows = Rows();
  const std::vector<std::wstring> names = Column(0), nodes = NodeTexts();
  for (const wchar_t* name : kFixtureNames) EXPECT_EQ(std::count(names.begin(), names.end(), name), 1) << Narrow(name);
  for (const wchar_t* name : kNeverShown) EXPECT_EQ(std::count(names.begin(), names.end(), name), 0) << Narrow(name);
  ASSERT_EQ(nodes.size(), 9 * rows.size());
  for (std::size_t row = 0; row < rows.size(); ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(rows[row][7].rfind(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\", 0), 0u);
    EXPECT_EQ(rows[row][8], L".");
    EXPECT_EQ(driver->RowData(table, static_cast<int>(row)) != 0, row % 2 == 0);
    EXPECT_EQ(nodes[9 * row], rows[row][0]);
    EXPECT_EQ(nodes[9 * row + 1], L"Version : " + rows[row][1]);
  }
  const std::vector<int> images = NodeImages();
  EXPECT_EQ(std::set<int>(images.begin(), images.begin() + 9).size(), 9u);
  EXPECT_TRUE(std::equal(images.begin(), images.begin() + 9, images.begin() + 9));
  EXPECT_GE(*std::min_element(images.begin(), images.end()), 0);

  // The count, the end line and the level's icon in the status bar; in the activity the
  // worker's lines and the job's, each in their order (the job runs on a thread of its own,
  // so the worker's time-limit line may stand among the job's lines).
  const std::wstring count = std::to_wstring(rows.size()) + L" applications";
  EXPECT_EQ(Status(1), kDone + host);
  EXPECT_EQ(Status(3), count);
  EXPECT_NE(driver->OwnerDrawnFieldData(status, 0), 0);
  std::vector<std::wstring> log = Activity(requestStart);
  ASSERT_GE(log.size(), 5u) << ActivityText();
  const auto limit = std::find(log.begin() + 3, log.end() - 2, L"15 secondes de temp d'attente pour le traitement de la machine");
  ASSERT_NE(limit, log.end() - 2) << ActivityText();
  log.erase(limit);
  EXPECT_EQ(log, (std::vector<std::wstring>{
                     L"Traitement en cours...", L"D\u00e9marrage du traitement pour la machine .", L"",
                     L"[TestMachine] : D\u00e9marrage du test machine sur .",
                     L"[TestMachine] : Machine locale, le nom de machine est conforme.",
                     L"Connexion \u00e0 la base de registre de la machine ....",
                     L"Recherches des applications effectu\u00e9es sur la machine ..", Entries() + L" Entr\u00e9es",
                     L"R\u00e9cup\u00e9ration des informations de chaque applications sur la machine . (" + Entries() +
                         L" entr\u00e9es)...",
                     L"R\u00e9cup\u00e9ration des informations d'applications effectu\u00e9es. " + Entries() +
                         L" entr\u00e9es trait\u00e9s.",
                     count, kDone + host}));
  // The rows of a level carry its image, the others none.
  const int inProgress = driver->RowImage(activity, requestStart);
  const int done = driver->RowImage(activity, driver->RowCount(activity) - 1);
  EXPECT_TRUE(inProgress >= 0 && done >= 0 && inProgress != done) << inProgress << " " << done;
  EXPECT_EQ(driver->RowImage(activity, requestStart + 1), I_IMAGENONE);

  WaitForWorkerPause();  // then the progress bar is emptied
  EXPECT_EQ(SendMessageW(progress, PBM_GETPOS, 0, 0), 0);
  EXPECT_EQ(SendMessageW(progress, PBM_GETRANGE, FALSE, 0), 100);
}

TEST_F(RequestTest, OwnNameAndDotGiveTwoSetsOfRecordsAndStayOutOfTheHistory) {
  const std::wstring name = ComputerName();
  ASSERT_GE(RequestAndWait(name + L";.", name + L";."), 0) << ActivityText();
  const std::vector<std::wstring> names = Column(0), machines = Column(8);
  std::multiset<std::wstring> ofName, ofDot;
  for (std::size_t i = 0; i < names.size(); ++i) (machines[i] == L"." ? ofDot : ofName).insert(names[i]);
  EXPECT_EQ(static_cast<std::size_t>(std::count(machines.begin(), machines.end(), name)), ofName.size());
  EXPECT_EQ(ofName, ofDot);
  EXPECT_EQ(ofDot.count(L"Appcensus Fixture Alpha"), 1u);
  EXPECT_EQ(NodeTexts().size(), 9 * names.size());
  // Both machines were read, the entries of the last one counted alone.
  EXPECT_GE(Logged(L"Connexion \u00e0 la base de registre de la machine " + name + L"..."), 0) << ActivityText();
  EXPECT_GE(Logged(L"Connexion \u00e0 la base de registre de la machine ...."), 0);
  EXPECT_GE(Logged(Entries() + L" Entr\u00e9es"), 0);
  EXPECT_EQ(Status(1), kDone + name + L";.");
  EXPECT_EQ(StoredText(L"CBX_Machines"), std::nullopt);
}

TEST_F(RequestTest, AnUnknownMachineIsReportedAndLeavesTheViewsEmpty) {
  const std::wstring unknown = L"appcensus-no-such-host";
  ASSERT_GE(RequestAndWait(unknown, unknown), 0) << ActivityText();
  EXPECT_GE(Logged(L"Impossible de contacter la machine " + unknown + L"."), 0) << ActivityText();
  EXPECT_EQ(Logged(L"Connexion \u00e0 la base de registre de la machine " + unknown + L"..."), -1);
  EXPECT_EQ(driver->RowCount(table), 0);
  EXPECT_TRUE(NodeTexts().empty());
  EXPECT_TRUE(Shown(table));
  EXPECT_EQ(StoredText(L"CBX_Machines"), std::nullopt);
}

// The one end-to-end test of an abandoned job: after its time limit nothing of it arrives.
TEST_F(RequestTest, ATimeLimitOfZeroAbandonsTheJobWhichShowsNothingMore) {
  std::wstring fifty = L".";  // fifty readings of the local machine: no wait of 0 ms sees them end
  for (int i = 1; i < 50; ++i) fifty += L";.";
  Retype(L"TXT_TempAttente", L"0");
  Request(fifty);
  const int error = Logged(L"Impossible de r\u00e9cuperer les informations de la machine.", 30000);
  ASSERT_GE(error, 0) << ActivityText();
  EXPECT_GE(Logged(L"0 secondes de temp d'attente pour le traitement de la machine"), 0);
  Sleep(3000);
  Settle(window);
  EXPECT_TRUE(Activity(error + 1).empty()) << ActivityText(error + 1);
  EXPECT_EQ(driver->RowCount(table), 0);
  EXPECT_TRUE(Shown(table));
  EXPECT_TRUE(Shown(tree));

  // The abandoned job does not hold the next request back.
  Retype(L"TXT_TempAttente", L"15");
  ASSERT_GE(RequestAndWait(L".", HostName()), 0) << ActivityText();
  EXPECT_GT(driver->RowCount(table), 10);
}

TEST_F(RequestTest, WhileBusyTheViewsWaitHiddenAndClosingThenEndsWithZero) {
  ASSERT_GE(RequestAndWait(L".", HostName()), 0) << ActivityText();
  // A request during the worker's pause after a result: the table and the tree wait hidden for
  // it (at least the rest of the pause); the activity list does not.
  Request(L".");
  EXPECT_FALSE(Shown(table));
  EXPECT_FALSE(Shown(tree));
  EXPECT_TRUE(Shown(activity));
  EXPECT_EQ(Close(), 0);
  // Closed again at once after the click, and once the worker may have taken the request
  // (it looks every second; a job of the local machine lasts some 30 ms).
  for (DWORD delay : {0, 700, 1400}) {
    ASSERT_TRUE(Start());
    Request(L".;.;.;.;.");
    Sleep(delay);
    EXPECT_EQ(Close(), 0) << delay << " ms after the click";
  }
  EXPECT_EQ(ProgramProcessCount(), 0);
}

}  // namespace
}  // namespace appcensus::driver
