// The program under Wine asked for machines: the local one on the test prefix's registry (see
// tests/inventory/wine), a time limit too short, an unknown machine, a list, closing mid-request.
#include <algorithm>

#include "tools/program_fixture_win32.h"

namespace appcensus::driver {

using RequestTest = ProgramTest;

TEST_F(RequestTest, TheLocalMachineFillsTableTreeStatusBarAndActivity) {
  const std::wstring host = HostName();
  ASSERT_GE(RequestAndWait(L"", host), 0) << ActivityText();  // an empty box requests "."
  EXPECT_EQ(ProgressBar().first, ProgressBar().second);  // full

  // Fixture entries in the machine ".": packages installed by msiexec (one 32-bit), a name with a
  // separator and letters beyond ASCII, one key name in both views, one user's application,
  // each with its full registry path; the packages of three users and one provisioned for none,
  // counted with the others. One row in two shaded, from the first; nine tree nodes
  // per row in the rows' order, each kind of node with an image of its own.
  const std::vector<std::wstring> names = Column(0), nodes = NodeTexts(), paths = Column(7);
  for (const wchar_t* name : {L"Appcensus Fixture Alpha", L"\u00c9diteur; caf\u00e9 \u00e0 la cr\u00e8me", L"Notes Brelmont", L"Brelmont.Agenda"})
    EXPECT_EQ(std::count(names.begin(), names.end(), name), 1) << Narrow(name);
  const std::wstring machine = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\", uninstall = L"Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  for (const std::wstring& path : {machine + uninstall + L"AppcensusFixture.Twin", machine + L"WOW6432Node\\" + uninstall + L"AppcensusFixture.Twin",
                                  machine + L"WOW6432Node\\" + uninstall + L"{7D3A2B51-4C8F-4E32-8B66-1F2C8D0E5B21}"})
    EXPECT_EQ(std::count(paths.begin(), paths.end(), path), 1) << Narrow(path);
  EXPECT_EQ(std::count_if(paths.begin(), paths.end(), [&](const std::wstring& path) {
              return path.starts_with(L"HKEY_USERS\\S-1-5-21-") && path.ends_with(L"\\Software\\" + uninstall + L"AppcensusFixture.PerUser");
            }), 1);
  const std::wstring packages = machine + L"Microsoft\\Windows\\CurrentVersion\\Appx\\AppxAllUserStore\\";
  EXPECT_EQ(std::count_if(paths.begin(), paths.end(), [&](const std::wstring& path) { return path.starts_with(packages); }), 6);
  ASSERT_EQ(nodes.size(), 9 * names.size());
  for (std::size_t row = 0; row < names.size(); ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(driver->RowData(table, static_cast<int>(row)) != 0, row % 2 == 0);
    EXPECT_EQ(nodes[9 * row], names[row]);
  }
  const std::vector<int> images = NodeImages();
  EXPECT_EQ(std::set<int>(images.begin(), images.begin() + 9).size(), 9u);
  EXPECT_TRUE(std::equal(images.begin(), images.begin() + 9, images.begin() + 9));
  EXPECT_GE(*std::min_element(images.begin(), images.end()), 0);

  // The count, the end line and the level's icon in the status bar; in the activity the
  // worker's lines around the job's, which count the subkeys of the three Uninstall keys; a
  // level's rows with its image, the others without.
  const std::wstring count = std::to_wstring(names.size()) + L" applications";
  EXPECT_EQ(Status(1), kDone + host);
  EXPECT_EQ(Status(3), count);
  EXPECT_NE(driver->OwnerDrawnFieldData(status, 0), 0);
  const std::vector<std::wstring> log = Activity(requestStart);
  ASSERT_GE(log.size(), 5u);
  EXPECT_EQ(std::vector(log.begin(), log.begin() + 3),
            (std::vector<std::wstring>{L"Traitement en cours...", L"D\u00e9marrage du traitement pour la machine .", L""}));
  EXPECT_EQ(std::vector(log.end() - 2, log.end()), (std::vector<std::wstring>{count, kDone + host}));
  EXPECT_GE(Logged(std::to_wstring(UninstallSubkeys()) + L" Entr\u00e9es"), 0) << ActivityText();
  const int inProgress = driver->RowImage(activity, requestStart), done = driver->RowImage(activity, Logged(kDone + host));
  EXPECT_TRUE(inProgress >= 0 && done >= 0 && inProgress != done) << inProgress << " " << done;
  EXPECT_EQ(driver->RowImage(activity, requestStart + 1), I_IMAGENONE);

  WaitForWorkerPause();  // then the progress bar is emptied
  EXPECT_EQ(ProgressBar(), std::pair(0, 100));
}

// The one end-to-end test of an abandoned job: after its time limit nothing of it arrives.
TEST_F(RequestTest, ATimeLimitOfZeroAbandonsTheJobWhichShowsNothingMoreAndTheNextRequestRuns) {
  Retype(L"TXT_TempAttente", L"0");
  Request(L".");  // no wait of 0 ms sees its identity test end
  const int error = Logged(L"Impossible de r\u00e9cuperer les informations de la machine.", 30000);
  ASSERT_GE(error, 0) << ActivityText();
  Sleep(3000);
  Settle(window);
  EXPECT_EQ(Activity(error + 1), std::vector<std::wstring>{L"Le temps d'attente est de 0 seconde : aucune machine ne peut "
                                                           L"r\u00e9pondre \u00e0 temps."}) << ActivityText(error + 1);
  EXPECT_EQ(driver->RowCount(table), 0);
  EXPECT_TRUE(Shown(table) && Shown(tree));
  // The abandoned job does not hold the next request back, here of a machine that does not
  // answer: reported, with empty views, and not remembered.
  Retype(L"TXT_TempAttente", L"15");
  const std::wstring unknown = L"127.0.0.2";  // refuses on port 445
  ASSERT_GE(RequestAndWait(unknown, unknown), 0) << ActivityText();
  EXPECT_GE(Logged(L"Impossible de contacter la machine " + unknown + L"."), 0) << ActivityText();
  EXPECT_EQ(Logged(L"Connexion \u00e0 la base de registre de la machine " + unknown + L"..."), -1);
  EXPECT_TRUE(driver->RowCount(table) == 0 && NodeTexts().empty());
  EXPECT_TRUE(Shown(table));
  EXPECT_EQ(StoredText(L"CBX_Machines"), std::nullopt);
}

TEST_F(RequestTest, F5AfterAResultRepeatsItAtOnceAListKeepsWhatAnsweredAndClosingEndsWithZero) {
  // F5 0.3 s after a result: the last request again, whatever the box holds, started before the
  // progress bar of the last one is emptied (2 s after it).
  ASSERT_GE(RequestAndWait(ComputerName(), ComputerName()), 0) << ActivityText();
  Sleep(300);
  Retype(L"CBX_nomMachine", L"127.0.0.2");
  requestStart = driver->RowCount(activity);
  ASSERT_TRUE(driver->PressKeys({VK_F5}));
  const std::wstring start = L"D\u00e9marrage du traitement pour la machine " + ComputerName();
  bool emptiedBefore = false;
  for (DWORD began = GetTickCount(); Logged(start) < 0 && GetTickCount() - began < 10000; Sleep(5))
    emptiedBefore = emptiedBefore || ProgressBar() == std::pair(0, 100);
  EXPECT_GE(Logged(start), 0) << ActivityText();
  EXPECT_FALSE(emptiedBefore);
  ASSERT_GE(Logged(kDone + ComputerName(), 60000), 0) << ActivityText();

  // The local machine and one that does not answer: the local records stay, each machine
  // closes with its line, and the request ends in red with the count of machines that failed.
  const std::wstring unknown = L"127.0.0.2", both = L".;" + unknown;
  const int done = RequestAndWait(both, both);
  ASSERT_GE(done, 0) << ActivityText();
  const std::vector<std::wstring> machines = Column(8);
  EXPECT_FALSE(machines.empty());
  EXPECT_EQ(std::count(machines.begin(), machines.end(), L"."), static_cast<long>(machines.size()));
  EXPECT_GE(Logged(L"Machine . : " + std::to_wstring(machines.size()) + L" applications."), 0) << ActivityText();
  EXPECT_EQ(Activity(done + 1), std::vector<std::wstring>{L"1 machine sur 2 sans r\u00e9ponse"});
  EXPECT_NE(driver->RowImage(activity, done), driver->RowImage(activity, Logged(kDone + ComputerName())));
  EXPECT_EQ(Close(), 0);
  // Closed at once after the click, and while the machines are read.
  for (DWORD delay : {0, 700}) {
    ASSERT_TRUE(Start());
    Request(L".;" + ComputerName() + L";" + unknown);
    Sleep(delay);
    EXPECT_EQ(Close(), 0) << delay << " ms after the click";
  }
  EXPECT_EQ(ProgramProcessCount(), 0);
}

}  // namespace appcensus::driver
