// The export: the file's bytes, its name, and the whole export against a fixture that is its
// prompt, its file writer (in memory; the Win32 writer has a Wine test of its own) and shell.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "export/csv_format.h"
#include "export/export_applications.h"
#include "tests/support/recording_activity_log.h"

namespace appcensus {
namespace {

TEST(CsvDocument, HeaderThenOneCrLfLinePerRecordInUtf8WithoutByteOrderMark) {
  const Text loneSurrogate(1, char16_t(0xD800));
  const ApplicationRecord record{u"Caf\u00e9", u"\U0001F600", u"Src", u"Date", u"Unin", u"Loc", loneSurrogate, u"M", u"{A}"};
  EXPECT_EQ(CsvDocument({record}),
            "Nom application;Version de l'application;Code produit;Date d'installation;Source d'installation;"
            "R\xC3\xA9pertoire d'installation;Commande de d\xC3\xA9sintallation;"
            "Emplacement dans la base de registre;Nom de machine\r\n"
            "Caf\xC3\xA9;\xF0\x9F\x98\x80;\xEF\xBF\xBD;Date;Src;Loc;Unin;"
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{A};M\r\n");
}

TEST(CsvField, QuotesWhatWouldBreakTheLineAndGuardsWhatASpreadsheetWouldRun) {
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"a=b-c+d@e", u"a=b-c+d@e"},
      {u" - ", u" - "},  // only the first character counts: the placeholder begins with a blank
      {u"a;b", u"\"a;b\""},
      {u"say \"hi\"", u"\"say \"\"hi\"\"\""},
      {u"a\rb", u"\"a\rb\""},
      {u"a\nb", u"\"a\nb\""},
      {u"=1+2", u"'=1+2"},
      {u"+33 1", u"'+33 1"},
      {u"-2", u"'-2"},
      {u"@SUM(A1)", u"'@SUM(A1)"},
      {u"=A1;\"B1\"", u"\"'=A1;\"\"B1\"\"\""},  // the apostrophe inside the quotes
  };
  for (const auto& [value, field] : cases) EXPECT_EQ(CsvField(value), field) << TextToUtf8(value);
}

TEST(ExportFileName, PrefixLosesWhatAFileNameCannotHold) {
  const std::pair<Text, const char16_t*> cases[] = {
      {u"a<b>c:d\"e/f\\g|h?i*j", u"a_b_c_d_e_f_g_h_i_j"},
      {Text(u"tab\tnul") + char16_t(0) + u"us\x1f", u"tab_nul_us_"},
      {u"SRV1;SRV2 \u00e9t\u00e9 #1 (x) [y] 'z'.", u"SRV1;SRV2 \u00e9t\u00e9 #1 (x) [y] 'z'."},
      // A device name before the first dot would open the device: an underscore in front.
      {u"CON.corp.local", u"_CON.corp.local"},
      {u"nul.", u"_nul."},
      {u"Prn.x", u"_Prn.x"},
      {u"aux.x", u"_aux.x"},
      {u"lpt0.x", u"_lpt0.x"},
      {u"LPT9 .x", u"_LPT9 .x"},
      {u"COM\u00b9.x", u"_COM\u00b9.x"},
      {u"CON", u"CON"},
      {u"CONSOLE.x", u"CONSOLE.x"},
      {u"COMA.x", u"COMA.x"},
      {u"COM10.x", u"COM10.x"},
      {u"srv.CON.x", u"srv.CON.x"},
  };
  for (const auto& [prefix, clean] : cases) EXPECT_EQ(CleanFileNamePrefix(prefix), clean) << TextToUtf8(prefix);
}

TEST(ExportFileName, TwoDigitFieldsAndAFourDigitYear) {
  EXPECT_EQ(ExportFileName(u"SRV2", {2026, 12, 6, 14, 5, 9}), u"SRV2_14-05-09_06-12-2026.csv");
  EXPECT_EQ(ExportFileName(u"C:/x", {999, 1, 2, 0, 0, 3}), u"C__x_00-00-03_02-01-0999.csv");
  EXPECT_EQ(FormatDateTime(u"%x %h %yy 100%", {2026, 12, 6, 14, 5, 9}), u"%x %h %yy 100%");
}

class ExportTest : public ::testing::Test, PrefixPrompt, ExportFileWriter, DocumentOpener {
 protected:
  // Exports at 14:05:09 on 6 December 2026, with the names that hold `search` shown.
  void Export() {
    const auto filter = [this](TextView name) { return LowerCase(name).find(search) != Text::npos ? 1 : 0; };
    ExportApplications(table, ExportServices{lastMachineName, log, *this, *this, *this, filter,
                                             [this](int busy) { busyCalls.push_back(busy); },
                                             [] { return LocalDateTime{2026, 12, 6, 14, 5, 9}; }});
  }
  Text Ask(TextView, TextView, TextView preset) override {
    presets.emplace_back(preset);
    if (whileAsked) whileAsked();
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
  Text search;
  Text answer;  // the prompt's; the empty text stands for Escape
  std::function<void()> whileAsked;
  bool writable = true;
  std::vector<Text> presets;
  std::map<Text, std::string> files;
  std::vector<Text> opened;
  std::vector<int> busyCalls;
};

TEST_F(ExportTest, WritesTheShownRecordsInTableOrderOpensTheFileAndCountsAllRecords) {
  lastMachineName.Set(u"SRV2");
  for (const char16_t* name : {u"Microsoft Office", u"7-Zip", u"LibreOffice", u"Back office", u"Notepad"})
    table.Store({name, u"1.0", u"", u"", u"", u"", u"", u"SRV2", name});
  search = u"office";
  Export();

  std::vector<ApplicationRecord> shown = table.Snapshot();
  std::erase_if(shown, [](const ApplicationRecord& r) { return r.DisplayName == u"7-Zip" || r.DisplayName == u"Notepad"; });
  const Text path = u"export\\SRV2_14-05-09_06-12-2026.csv";
  EXPECT_EQ(files, (std::map<Text, std::string>{{path, CsvDocument(shown)}}));
  EXPECT_EQ(opened, std::vector<Text>{path});
  ASSERT_EQ(log.Count(), 1u);
  EXPECT_EQ(log.Calls()[0].text, u"5");
  EXPECT_EQ(log.Calls()[0].level, ActivityLevel::None);
  EXPECT_EQ(log.Calls()[0].statusField, 2);
  EXPECT_TRUE(presets.empty());
  EXPECT_EQ(busyCalls, std::vector<int>{0});
}

TEST_F(ExportTest, BeforeAnyRequestTheHeaderAloneWithAnEmptyPrefixAndNoCount) {
  Export();
  EXPECT_EQ(files, (std::map<Text, std::string>{{u"export\\_14-05-09_06-12-2026.csv", CsvDocument({})}}));
  EXPECT_EQ(log.Count(), 0u);
}

TEST_F(ExportTest, SeveralMachinesAskForAPrefixThatReplacesTheMachineText) {
  const struct {
    const char16_t* answer;
    bool requestEndsMeanwhile;  // the machine text becomes "SRV3" while the prompt is open
    const char16_t* prefix;
    const char16_t* machineTextAfter;
  } cases[] = {
      {u"ExportGlobale", false, u"ExportGlobale", u"ExportGlobale"},  // the preset confirmed
      {u"", false, u"", u""},                                         // Escape
      {u"../../evil", false, u".._.._evil", u"../../evil"},
      {u"Lot", true, u"Lot", u"SRV3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(TextToUtf8(c.answer));
    lastMachineName.Set(u"SRV1;SRV2");
    answer = c.answer;
    whileAsked = [&] {
      if (c.requestEndsMeanwhile) lastMachineName.Set(u"SRV3");
    };
    presets.clear();
    files.clear();
    Export();
    EXPECT_EQ(presets, std::vector<Text>{u"ExportGlobale"});
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files.begin()->first, u"export\\" + Text(c.prefix) + u"_14-05-09_06-12-2026.csv");
    EXPECT_EQ(lastMachineName.Get(), c.machineTextAfter);
  }
}

TEST_F(ExportTest, FileThatCannotBeWrittenGivesTheErrorLineAndOpensNothing) {
  lastMachineName.Set(u"SRV2");
  writable = false;
  Export();
  ASSERT_EQ(log.Count(), 1u);
  EXPECT_EQ(log.Calls()[0].text, u"Impossible d'\u00e9crire le fichier d'export export\\SRV2_14-05-09_06-12-2026.csv.");
  EXPECT_EQ(log.Calls()[0].level, ActivityLevel::Error);
  EXPECT_EQ(log.Calls()[0].statusField, 1);
  EXPECT_TRUE(opened.empty());
  EXPECT_EQ(busyCalls, std::vector<int>{0});
}

}  // namespace
}  // namespace appcensus
