// The CSV export of the program under Wine, read back from the file: after a request of the
// local machine, after one of several machines through the filter (the prefix prompt), and
// with an export folder that cannot be made.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>

#include "tools/program_fixture_win32.h"

namespace appcensus::driver {
namespace {

using ExportTest = ProgramTest;

// <prefix>_hh-ii-ss_dd-mm-yyyy.csv
bool HasTimeStamp(const std::wstring& name, const std::wstring& prefix) {
  const std::wstring mask = L"_99-99-99_99-99-9999.csv";
  if (name.size() != prefix.size() + mask.size() || name.compare(0, prefix.size(), prefix) != 0) return false;
  for (std::size_t i = 0; i < mask.size(); ++i) {
    const wchar_t c = name[prefix.size() + i];
    if (mask[i] == L'9' ? !std::iswdigit(c) : c != mask[i]) return false;
  }
  return true;
}

TEST_F(ExportTest, AnExportHoldsTheRowsOfTheTableAndIsOpened) {
  const std::wstring host = HostName();
  ASSERT_GE(RequestAndWait(L".", host), 0) << ActivityText();
  WaitForWorkerPause();  // the worker shows the progress bar again after its pause
  std::vector<std::vector<std::wstring>> expected = {
      {L"Nom application", L"Version de l'application", L"Code produit", L"Date d'installation",
       L"Source d'installation", L"R\u00e9pertoire d'installation", L"Commande de d\u00e9sintallation",
       L"Emplacement dans la base de registre", L"Nom de machine"}};
  for (const auto& row : Rows()) expected.push_back(row);
  ASSERT_GT(expected.size(), 10u);

  const std::wstring name = Export();
  ASSERT_TRUE(HasTimeStamp(name, host)) << Narrow(name);
  EXPECT_FALSE(StartsWithByteOrderMark(name));
  EXPECT_EQ(ReadExport(name), expected);
  // The count in status field 2, in place of the progress bar; the file handed to the
  // program that opens .csv files.
  EXPECT_EQ(Status(2), std::to_wstring(expected.size() - 1));
  EXPECT_FALSE(Shown(progress));
  const std::wstring path = ExportFolder() + L"\\" + name;
  EXPECT_NE(OpenedDocuments(path).find(path), std::wstring::npos) << "the export was not opened";
  EXPECT_TRUE(Shown(table));
  DeleteFileW(path.c_str());
}

TEST_F(ExportTest, SeveralMachinesAskForAPrefixOnceAndTheFileFollowsTheFilter) {
  const std::wstring name = ComputerName();
  ASSERT_GE(RequestAndWait(name + L";.", name + L";."), 0) << ActivityText();
  Filter(L"fixture alpha");
  ASSERT_EQ(driver->RowCount(table), 2);

  const std::set<std::wstring> before = ExportFiles();
  // Posted: the prompt is modal, a sent click would wait for its answer.
  PostMessageW(Gadget(L"BT_EditerInfosApplications"), BM_CLICK, 0, 0);
  HWND answer = WaitForPrompt();
  ASSERT_NE(answer, nullptr) << "no prefix prompt";
  EXPECT_EQ(Driver::Text(answer), L"ExportGlobale");
  AnswerPrompt(answer, L"Parc");
  const std::wstring file = NewExportFile(before);
  ASSERT_TRUE(HasTimeStamp(file, L"Parc")) << Narrow(file);
  const auto records = ReadExport(file);
  ASSERT_TRUE(records.has_value());
  EXPECT_EQ(std::vector(records->begin() + 1, records->end()), Rows());
  EXPECT_EQ(Status(2) + L" applications", Status(3));  // the count of every record, before the filter
  DeleteFileW((ExportFolder() + L"\\" + file).c_str());

  // A second export reuses the answer without asking.
  const std::wstring second = Export();
  EXPECT_TRUE(HasTimeStamp(second, L"Parc")) << Narrow(second);
  DeleteFileW((ExportFolder() + L"\\" + second).c_str());
}

TEST_F(ExportTest, AnExportFolderThatCannotBeMadeIsReportedAndTheProgramGoesOn) {
  ASSERT_TRUE(BlockExportFolder());
  Driver::Click(Gadget(L"BT_EditerInfosApplications"));
  Settle(window);
  const std::vector<std::wstring> log = Activity();
  UnblockExportFolder();
  const std::wstring error = L"Impossible d'\u00e9crire le fichier d'export ";
  const auto line = std::find_if(log.begin(), log.end(), [&](const std::wstring& row) { return row.rfind(error, 0) == 0; });
  ASSERT_NE(line, log.end()) << ActivityText();
  EXPECT_NE(line->find(L"\\export\\_"), std::wstring::npos);  // the path of the file it tried
  EXPECT_TRUE(program->Running());
  EXPECT_EQ(Close(), 0);
}

}  // namespace
}  // namespace appcensus::driver
