// The CSV export of the program under Wine, read back from the file: of the local machine, of
// a list of machines through the filter with the prefix prompt, to a folder that cannot be made.
#include <algorithm>
#include <regex>

#include "tools/program_fixture_win32.h"

namespace appcensus::driver {

using ExportTest = ProgramTest;

// <prefix>_hh-ii-ss_dd-mm-yyyy.csv
bool HasTimeStamp(const std::wstring& name, const std::wstring& prefix) {
  const std::wregex stamp(L"_\\d\\d-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d{4}\\.csv");
  return name.rfind(prefix, 0) == 0 && std::regex_match(name.substr(prefix.size()), stamp);
}

// `expected` stands in `cells` in this order, other cells between them.
bool InOrder(const std::vector<std::wstring>& cells, const std::vector<std::wstring>& expected) {
  std::size_t found = 0;
  for (const std::wstring& cell : cells) found += found < expected.size() && cell == expected[found];
  return found == expected.size();
}

TEST_F(ExportTest, TheRowsSortByNameOrByAClickedTitleTheTreeFollowsAndTheExportHoldsThemAndIsOpened) {
  const std::wstring host = HostName();
  ASSERT_GE(RequestAndWait(L".", host), 0) << ActivityText();
  // By name as the language sorts names (\u00c9 with E), the arrow up on the name's title.
  EXPECT_TRUE(InOrder(Column(0), {L"Appcensus Fixture Alpha", L"Appcensus Fixture Gamma caf\u00e9",
                                  L"\u00c9diteur; caf\u00e9 \u00e0 la cr\u00e8me", L"Fixture bare icon"}));
  const int arrows = HDF_SORTUP | HDF_SORTDOWN;
  EXPECT_EQ(driver->ColumnTitleFormat(table, 0) & arrows, HDF_SORTUP);
  // A click on "Version" sorts the versions part by part, numbers as numbers, and a second one
  // reverses them; the placeholder stays last. Row r's application owns tree node 9r.
  std::vector<std::wstring> versions = {L"0.9", L"1.2.3", L"2.0 \u00e9t\u00e9", L"4.5", L"4.5.6", L"10.0.19041"};
  for (const int arrow : {HDF_SORTUP, HDF_SORTDOWN}) {
    Driver::LeftClickAt(Driver::Header(table), Driver::Centre(driver->ColumnTitleRect(table, 1)));
    const std::vector<std::wstring> shown = Column(1), names = Column(0), nodes = NodeTexts();
    EXPECT_EQ(driver->ColumnTitleFormat(table, 1) & arrows, arrow);
    EXPECT_EQ(driver->ColumnTitleFormat(table, 0) & arrows, 0);
    EXPECT_TRUE(InOrder(shown, versions) && shown.back() == L" - ") << Narrow(shown.front()) << " first";
    ASSERT_EQ(nodes.size(), 9 * names.size());
    for (std::size_t row = 0; row < names.size(); ++row) EXPECT_EQ(nodes[9 * row], names[row]) << row;
    std::reverse(versions.begin(), versions.end());
  }
  WaitForWorkerPause();  // the worker shows the progress bar again after its pause
  const std::wstring name = Export();
  ASSERT_TRUE(HasTimeStamp(name, host)) << Narrow(name);
  EXPECT_FALSE(StartsWithByteOrderMark(name));
  const auto records = ReadExport(name);
  ASSERT_TRUE(records.has_value() && records->size() > 10) << "the file does not read back whole";
  EXPECT_EQ(std::vector(records->begin() + 1, records->end()), Rows());  // after the header, in the table's order
  // The count in status field 2, in place of the progress bar, the file's full path in field 1;
  // the file handed to the program that opens .csv files.
  const std::wstring path = ExportFolder() + L"\\" + name;
  EXPECT_EQ(Status(2), std::to_wstring(records->size() - 1));
  EXPECT_EQ(Status(1), L"Fichier d'export \u00e9crit : " + path);
  EXPECT_FALSE(Shown(progress));
  EXPECT_NE(OpenedDocuments(path).find(path), std::wstring::npos) << "the export was not opened";
  EXPECT_TRUE(Shown(table));
  DeleteFileW(path.c_str());
}

TEST_F(ExportTest, AListAsksForAPrefixOnceAndTheFileFollowsTheFilter) {
  // The computer in its UNC form and "." are one machine, read once; with a machine that gives
  // nothing they are a list, which stays out of the history.
  const std::wstring name = ComputerName(), request = L"\\\\" + name + L";.;127.0.0.2";
  ASSERT_GE(RequestAndWait(request, request), 0) << ActivityText();
  EXPECT_EQ(StoredText(L"CBX_Machines"), std::nullopt);
  Filter(L"fixture alpha");
  const std::vector<std::wstring> machines = Column(8);
  EXPECT_EQ(std::set(machines.begin(), machines.end()), std::set<std::wstring>{name});

  const std::set<std::wstring> before = ExportFiles();
  PostMessageW(Gadget(L"BT_EditerInfosApplications"), BM_CLICK, 0, 0);  // the prompt is modal: posted
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

  // The records of one machine differ from no other: "Diff\u00e9rences uniquement" keeps every
  // row and the count, and the export holds them.
  Driver::Click(Gadget(L"CHK_DifferencesUniquement"));
  Settle(window);
  EXPECT_EQ(Rows(), std::vector(records->begin() + 1, records->end()));
  EXPECT_EQ(Status(2) + L" applications", Status(3));
  const std::wstring second = Export();  // the answer serves again without asking
  EXPECT_TRUE(HasTimeStamp(second, L"Parc")) << Narrow(second);
  EXPECT_EQ(ReadExport(second), records);
  DeleteFileW((ExportFolder() + L"\\" + second).c_str());
  Driver::Click(Gadget(L"CHK_DifferencesUniquement"));
  Settle(window);
  EXPECT_EQ(Rows(), std::vector(records->begin() + 1, records->end()));
}

TEST_F(ExportTest, AnExportFolderThatCannotBeMadeIsReportedAndTheProgramGoesOn) {
  ASSERT_TRUE(BlockExportFolder());
  Driver::Click(Gadget(L"BT_EditerInfosApplications"));
  Settle(window);
  const std::vector<std::wstring> log = Activity();
  UnblockExportFolder();
  const auto line = std::find_if(log.begin(), log.end(), [](const std::wstring& row) {
    return row.rfind(L"Impossible d'\u00e9crire le fichier d'export ", 0) == 0;
  });
  ASSERT_NE(line, log.end()) << ActivityText(0);
  EXPECT_NE(line->find(L"\\export\\_"), std::wstring::npos);  // the path of the file it tried
  EXPECT_TRUE(program->Running());
  EXPECT_EQ(Close(), 0);
}

}  // namespace appcensus::driver
