// The whole export against this platform's real file writer in a scratch folder, with the
// prompt and the shell recorded.
#include <gtest/gtest.h>

#include "core/shared_state.h"
#include "export/csv_format.h"
#include "tests/support/csv_reader.h"
#include "export/export_applications.h"
#include "export_test_support.h"
#include "tests/support/recording_activity_log.h"

namespace appcensus {
namespace {

namespace fs = std::filesystem;
using testing::PathText;
using testing::ReadFileBytes;
using testing::SampleRecord;

constexpr LocalDateTime kSixDecember{2026, 12, 6, 14, 5, 9};
constexpr char16_t kStamp[] = u"_14-05-09_06-12-2026.csv";

class ExportApplicationsTest : public ::testing::Test {
 protected:
  void Export() {
    auto filter = [this](TextView name) {
      filterCalls.emplace_back(name);
      return search.empty() || LowerCase(name).find(LowerCase(search)) != Text::npos ? 1 : 0;
    };
    ExportApplications(table, ExportServices{lastMachineName, log, prompt, *writer, opener, filter,
                                             [this](int busy) { busyCalls.push_back(busy); },
                                             [] { return kSixDecember; }});
  }
  fs::path FileFor(TextView prefix) const { return folder / testing::TextPath(Text(prefix) + kStamp); }
  std::vector<fs::path> FilesInFolder() const {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path().filename());
    return files;
  }

  testing::ScratchFolder scratch;
  fs::path folder = scratch.Path() / "export";  // missing until an export creates it
  std::unique_ptr<ExportFileWriter> writer = testing::PlatformWriter(folder);
  ApplicationTable table;
  SharedText lastMachineName;
  RecordingActivityLog log;
  testing::ScriptedPrompt prompt;
  testing::RecordingOpener opener;
  Text search;
  std::vector<Text> filterCalls;
  std::vector<int> busyCalls;
};

const std::string kHeaderBytes = TextToUtf8(kCsvHeader) + "\r\n";

TEST_F(ExportApplicationsTest, EmptyTableGivesTheHeaderAloneAndNoCount) {
  lastMachineName.Set(u"SRV2");
  Export();
  const fs::path file = folder / "SRV2_14-05-09_06-12-2026.csv";
  EXPECT_EQ(ReadFileBytes(file), kHeaderBytes);
  EXPECT_EQ(log.Count(), 0u);
  EXPECT_TRUE(prompt.questions.empty());
  EXPECT_EQ(opener.opened, std::vector<Text>{PathText(file)});
  EXPECT_EQ(busyCalls, std::vector<int>{0});
}

TEST_F(ExportApplicationsTest, FilterMatchingNothingStillLogsTheCountOfAllRecords) {
  lastMachineName.Set(u"SRV2");
  for (auto name : {u"Alpha", u"Beta", u"Gamma"}) table.Store(SampleRecord(name, Text(u"{") + name + u"}"));
  search = u"zzz";
  Export();
  EXPECT_EQ(ReadFileBytes(FileFor(u"SRV2")), kHeaderBytes);
  EXPECT_EQ(filterCalls.size(), 3u);
  const auto calls = log.Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].text, u"3");
  EXPECT_EQ(calls[0].level, ActivityLevel::None);
  EXPECT_EQ(calls[0].statusField, 2);
  EXPECT_EQ(opener.opened.size(), 1u);
}

TEST_F(ExportApplicationsTest, WritesTheRecordsThatPassTheFilterInTheTablesOrder) {
  lastMachineName.Set(u"SRV2");
  const char16_t* names[] = {u"Microsoft Office", u"7-Zip", u"LibreOffice", u"OFFICE tools", u"Notepad++",
                             u"Offline maps",     u"Back office", u"Caf\u00e9 Office"};
  for (int i = 0; i < 8; ++i) table.Store(SampleRecord(names[i], u"{K" + DecimalText(i * 37) + u"}"));
  search = u"office";
  Export();

  std::vector<Text> expected;
  for (const auto& record : table.Snapshot())
    if (LowerCase(record.DisplayName).find(u"office") != Text::npos) expected.push_back(record.DisplayName);
  ASSERT_EQ(expected.size(), 5u);

  const auto content = ReadFileBytes(FileFor(u"SRV2"));
  ASSERT_TRUE(content.has_value());
  const auto records = ReadCsvDocument(*content);
  ASSERT_TRUE(records.has_value());
  ASSERT_EQ(records->size(), expected.size() + 1);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ((*records)[i + 1][0], expected[i]);
    EXPECT_EQ((*records)[i + 1].size(), kCsvFieldCount);
  }
  EXPECT_EQ(log.Lines(), std::vector<Text>{u"8"});
}

TEST_F(ExportApplicationsTest, ExportBeforeAnyRequestHasAnEmptyPrefix) {
  Export();
  EXPECT_TRUE(fs::exists(FileFor(u"")));
  EXPECT_TRUE(prompt.questions.empty());
}

TEST_F(ExportApplicationsTest, SeveralMachinesAskForAPrefixOnceAndKeepTheAnswer) {
  lastMachineName.Set(u"SRV1;SRV2");
  table.Store(SampleRecord(u"Alpha", u"{A}", u"SRV1"));
  prompt.answer = Text(kPrefixPromptPreset);  // confirmed unchanged
  Export();
  ASSERT_EQ(prompt.questions.size(), 1u);
  EXPECT_EQ(prompt.questions[0].title, WindowTitle());
  EXPECT_EQ(prompt.questions[0].message, u"indiquer un prefix de nom de fichier pour l'export.");
  EXPECT_EQ(prompt.questions[0].preset, u"ExportGlobale");
  EXPECT_TRUE(fs::exists(folder / "ExportGlobale_14-05-09_06-12-2026.csv"));
  EXPECT_EQ(lastMachineName.Get(), u"ExportGlobale");

  Export();
  EXPECT_EQ(prompt.questions.size(), 1u) << "the answer holds no \";\": no second prompt";
  EXPECT_EQ(opener.opened, std::vector<Text>(2, PathText(FileFor(u"ExportGlobale"))));
  EXPECT_EQ(busyCalls, (std::vector<int>{0, 0}));
}

TEST_F(ExportApplicationsTest, EscapeAtThePromptGivesAnEmptyPrefixForThisAndTheNextExport) {
  lastMachineName.Set(u"SRV1;SRV2");
  Export();
  EXPECT_EQ(prompt.questions.size(), 1u);
  EXPECT_EQ(lastMachineName.Get(), u"");
  EXPECT_EQ(opener.opened, std::vector<Text>{PathText(FileFor(u""))});
  Export();
  EXPECT_EQ(prompt.questions.size(), 1u);
  EXPECT_EQ(FilesInFolder(), std::vector<fs::path>{fs::path("_14-05-09_06-12-2026.csv")});
}

TEST_F(ExportApplicationsTest, TypedPrefixCannotLeaveTheExportFolder) {
  lastMachineName.Set(u"SRV1;SRV2");
  prompt.answer = u"../../evil";
  Export();
  EXPECT_EQ(lastMachineName.Get(), u"../../evil") << "the answer is kept as typed";
  EXPECT_EQ(FilesInFolder(), std::vector<fs::path>{fs::path(".._.._evil_14-05-09_06-12-2026.csv")});
  EXPECT_EQ(std::distance(fs::directory_iterator(scratch.Path()), fs::directory_iterator()), 1);
}

TEST_F(ExportApplicationsTest, RequestEndingWhileThePromptIsOpenKeepsItsMachineText) {
  lastMachineName.Set(u"SRV1;SRV2");
  prompt.answer = u"Lot";
  prompt.whileOpen = [this] { lastMachineName.Set(u"SRV3"); };
  Export();
  EXPECT_TRUE(fs::exists(FileFor(u"Lot")));
  EXPECT_EQ(lastMachineName.Get(), u"SRV3");
}

TEST_F(ExportApplicationsTest, FileThatCannotBeWrittenIsReportedAndNotOpened) {
  testing::WriteFileBytes(folder, "a file where the export folder should be");
  lastMachineName.Set(u"SRV2");
  table.Store(SampleRecord(u"Alpha", u"{A}"));
  Export();
  const auto calls = log.Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].text, u"Impossible d'\u00e9crire le fichier d'export " + PathText(FileFor(u"SRV2")) + u".");
  EXPECT_EQ(calls[0].level, ActivityLevel::Error);
  EXPECT_EQ(calls[0].statusField, 1);
  EXPECT_TRUE(opener.opened.empty());
  EXPECT_EQ(busyCalls, std::vector<int>{0});
}

TEST_F(ExportApplicationsTest, ExistingFileOfTheSameNameIsReplacedWhole) {
  fs::create_directories(folder);
  testing::WriteFileBytes(FileFor(u"SRV2"), std::string(20000, 'x') + "\r\nold;line\r\n");
  lastMachineName.Set(u"SRV2");
  ApplicationRecord record = SampleRecord(u"Alpha", u"{A}");
  table.Store(record);
  Export();
  EXPECT_EQ(ReadFileBytes(FileFor(u"SRV2")), kHeaderBytes + TextToUtf8(CsvLine(record)) + "\r\n");
  EXPECT_EQ(FilesInFolder().size(), 1u) << "no temporary file left behind";
  EXPECT_EQ(opener.opened.size(), 1u);
}

}  // namespace
}  // namespace appcensus
