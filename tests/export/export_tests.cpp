// The export: the file's header and name, and the whole export against a fixture that is its
// prompt, its file writer (in memory; the Win32 writer has a Wine test of its own) and shell.
// Its lines and the cleaning of the prefix are stated whole by its fuzz target (fuzz/fuzz_csv.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "export/csv_format.h"
#include "export/export_applications.h"
#include "tests/support/recording_activity_log.h"

namespace appcensus {
namespace {

TEST(CsvDocument, TheHeaderNamesTheNineColumns) {
  EXPECT_EQ(CsvDocument({}),
            "Nom application;Version de l'application;Code produit;Date d'installation;Source d'installation;"
            "R\xC3\xA9pertoire d'installation;Commande de d\xC3\xA9sintallation;"
            "Emplacement dans la base de registre;Nom de machine\r\n");
}

TEST(CsvField, QuotesWhatWouldBreakTheLineAndGuardsWhatASpreadsheetWouldRun) {
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u" - ", u" - "}, {u"a;b", u"\"a;b\""}, {u"a\nb", u"\"a\nb\""},  // " - " begins with a blank: unguarded
      {u"=1+2", u"'=1+2"}, {u"@SUM(A1)", u"'@SUM(A1)"}, {u"\tcmd", u"'\tcmd"},
      {u"\r=1", u"\"'\r=1\""},                 // a carriage return first is guarded, then quoted
      {u"=\"B1\"", u"\"'=\"\"B1\"\"\""}};  // the apostrophe inside the quotes
  for (const auto& [value, field] : cases) EXPECT_EQ(CsvField(value), field) << TextToUtf8(value);
}

// A device name before the first dot would open the device: the prefix then gets an underscore
// in front (the fuzz target checks that every device name gets one), and only then.
TEST(ExportFileName, OnlyADeviceNameBeforeTheFirstDotGetsAnUnderscore) {
  for (const char16_t* prefix : {u"CON", u"CONSOLE.x", u"COM10.x", u"srv.CON.x"})
    EXPECT_EQ(CleanFileNamePrefix(prefix), prefix) << TextToUtf8(prefix);
}

TEST(ExportFileName, TwoDigitFieldsAndAFourDigitYear) {
  EXPECT_EQ(ExportFileName(u"C:/x", {999, 1, 2, 0, 0, 3}), u"C__x_00-00-03_02-01-0999.csv");
}

class ExportTest : public ::testing::Test, PrefixPrompt, ExportFileWriter, DocumentOpener {
 protected:
  // Exports at 14:05:09 on 6 December 2026, with the names that hold "office" shown.
  void Export() {
    const auto filter = [](TextView name) { return LowerCase(name).find(u"office") != Text::npos; };
    ExportApplications(table, ExportServices{lastMachineName, log, *this, *this, *this, filter,
                                             [this](bool busy) { busyCalls.push_back(busy); },
                                             [] { return LocalDateTime{2026, 12, 6, 14, 5, 9}; },
                                             [](std::vector<ApplicationRecord>& records) { std::ranges::reverse(records); }});
  }
  Text Ask(TextView, TextView, TextView preset) override {
    presets.emplace_back(preset);
    if (requestEndsWhileAsked) lastMachineName.Set(u"SRV3");
    return answer;
  }
  Text PrepareFilePath(TextView fileName) override { return u"export\\" + Text(fileName); }
  bool WriteWholeFile(TextView path, std::string_view bytes) override {
    if (writable) files[Text(path)] = bytes;
    return writable;
  }
  void Open(TextView path) override { opened.emplace_back(path); }

  ApplicationTable table;
  SharedText lastMachineName;
  RecordingActivityLog log;
  Text answer;  // the prompt's; the empty text stands for Escape
  bool requestEndsWhileAsked = false;  // and sets the machine text "SRV3"
  bool writable = true;
  std::vector<Text> presets;
  std::map<Text, std::string> files;
  std::vector<Text> opened;
  std::vector<int> busyCalls;
};

TEST_F(ExportTest, WritesTheShownRecordsInTheViewsOrderOpensTheFileAndCountsAllRecords) {
  Export();  // before any request, an empty table: the header alone, no prefix and no count
  EXPECT_EQ(files, (std::map<Text, std::string>{{u"export\\_14-05-09_06-12-2026.csv", CsvDocument({})}}));
  EXPECT_EQ(log.Lines(), std::vector<Text>{u"Fichier d'export \u00e9crit : export\\_14-05-09_06-12-2026.csv"});
  log.Clear();

  lastMachineName.Set(u"SRV2");
  for (const char16_t* name : {u"Microsoft Office", u"7-Zip", u"LibreOffice", u"Back office", u"Notepad"})
    table.Store({name, u"1.0", u"", u"", u"", u"", u"", u"SRV2", name});
  Export();

  std::vector<ApplicationRecord> shown = table.Snapshot();
  std::erase_if(shown, [](const ApplicationRecord& r) { return r.DisplayName == u"7-Zip" || r.DisplayName == u"Notepad"; });
  std::ranges::reverse(shown);  // the order the fixture gives the views
  const Text path = u"export\\SRV2_14-05-09_06-12-2026.csv";
  EXPECT_EQ(files[path], CsvDocument(shown));
  EXPECT_EQ(opened.back(), path);
  ASSERT_EQ(log.Calls().size(), 2u);
  const auto count = log.Calls()[0], written = log.Calls()[1];  // in the status bar's third field, then its second
  EXPECT_EQ(std::tuple(count.text, count.level, count.statusField), std::tuple(Text(u"5"), ActivityLevel::None, 2));
  EXPECT_EQ(std::tuple(written.text, written.level, written.statusField),
            std::tuple(u"Fichier d'export \u00e9crit : " + path, ActivityLevel::Done, 1));
  EXPECT_TRUE(presets.empty());
  EXPECT_EQ(busyCalls, (std::vector<int>{0, 0}));
}

TEST_F(ExportTest, SeveralMachinesAskForAPrefixThatReplacesTheMachineTextUnlessARequestDid) {
  const std::pair<const char16_t*, bool> cases[] = {  // the answer, a request ends while it is asked
      {u"ExportGlobale", false},                       // the preset confirmed
      {u"", false},                                    // Escape
      {u"Lot", true},
  };
  for (const auto& [typed, requestEnds] : cases) {
    lastMachineName.Set(u"SRV1;SRV2");
    answer = typed;
    requestEndsWhileAsked = requestEnds;
    presets.clear();
    files.clear();
    Export();
    EXPECT_EQ(presets, std::vector<Text>{u"ExportGlobale"});
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files.begin()->first, u"export\\" + Text(typed) + u"_14-05-09_06-12-2026.csv");
    EXPECT_EQ(lastMachineName.Get(), requestEnds ? u"SRV3" : typed);
  }
}

TEST_F(ExportTest, FileThatCannotBeWrittenGivesTheErrorLineAndOpensNothing) {
  lastMachineName.Set(u"SRV2");
  writable = false;
  Export();
  ASSERT_EQ(log.Calls().size(), 1u);
  const auto error = log.Calls()[0];  // in the status bar's second field
  EXPECT_EQ(std::tuple(error.text, error.level, error.statusField),
            std::tuple(Text(u"Impossible d'\u00e9crire le fichier d'export export\\SRV2_14-05-09_06-12-2026.csv."),
                       ActivityLevel::Error, 1));
  EXPECT_TRUE(opened.empty());
  EXPECT_EQ(busyCalls, std::vector<int>{0});
}

}  // namespace
}  // namespace appcensus
