// The export: the file's bytes, its name, and the whole export (prompt, filter, file, shell)
// against a writer that keeps the files in memory; the Win32 writer has tests of its own.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "export/csv_format.h"
#include "export/export_applications.h"
#include "tests/support/recording_activity_log.h"

namespace appcensus {
namespace {

TEST(CsvDocument, HeaderThenOneCrLfLinePerRecordInUtf8WithoutByteOrderMark) {
  const ApplicationRecord record{u"Caf\u00e9",      u"\U0001F600", u"Src", u"Date", u"Unin",
                                 u"Loc",            Text(1, char16_t(0xD800)),    u"M",   u"{ABC}"};
  EXPECT_EQ(CsvDocument({record}),
            "Nom application;Version de l'application;Code produit;Date d'installation;Source d'installation;"
            "R\xC3\xA9pertoire d'installation;Commande de d\xC3\xA9sintallation;"
            "Emplacement dans la base de registre;Nom de machine\r\n"
            // The pair of surrogates is one 4-byte sequence, the unpaired one U+FFFD.
            "Caf\xC3\xA9;\xF0\x9F\x98\x80;\xEF\xBF\xBD;Date;Src;Loc;Unin;"
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{ABC};M\r\n");
}

TEST(CsvField, QuotesWhatWouldBreakTheLineAndGuardsWhatASpreadsheetWouldRun) {
  const struct {
    const char16_t* value;
    const char16_t* field;
  } cases[] = {
      {u"plain value", u"plain value"},
      {u"", u""},
      {u"a;b", u"\"a;b\""},
      {u"say \"hi\"", u"\"say \"\"hi\"\"\""},
      {u"a\r\nb", u"\"a\r\nb\""},
      {u"a\rb", u"\"a\rb\""},
      {u"a\nb", u"\"a\nb\""},
      {u"=1+2", u"'=1+2"},
      {u"+33 1", u"'+33 1"},
      {u"-2", u"'-2"},
      {u"@SUM(A1)", u"'@SUM(A1)"},
      {u"=A1;\"B1\"", u"\"'=A1;\"\"B1\"\"\""},  // the apostrophe inside the quotes
      // Only the first character counts; the placeholder " - " begins with a blank.
      {u" - ", u" - "},
      {u"a=b-c+d@e", u"a=b-c+d@e"},
      {u"'quoted", u"'quoted"},
  };
  for (const auto& c : cases) EXPECT_EQ(CsvField(c.value), c.field) << TextToUtf8(c.value);
}

TEST(ExportFileName, PrefixLosesWhatAFileNameCannotHold) {
  const struct {
    Text prefix;
    const char16_t* clean;
  } cases[] = {
      {u"a<b>c:d\"e/f\\g|h?i*j", u"a_b_c_d_e_f_g_h_i_j"},
      {Text(u"tab\tnul") + char16_t(0) + u"us\x1f", u"tab_nul_us_"},
      {u"..\\..\\Windows\\x", u".._.._Windows_x"},
      {u"SRV1;SRV2 \u00e9t\u00e9 #1 (x) [y] 'z'.", u"SRV1;SRV2 \u00e9t\u00e9 #1 (x) [y] 'z'."},
      // A device name before the first dot would open the device: an underscore in front.
      {u"CON.corp.local", u"_CON.corp.local"},
      {u"nul.", u"_nul."},
      {u"Prn.x", u"_Prn.x"},
      {u"aux.x", u"_aux.x"},
      {u"Com1.x", u"_Com1.x"},
      {u"LPT9 .x", u"_LPT9 .x"},
      {u"COM\u00b9.x", u"_COM\u00b9.x"},
      {u"lpt0.x", u"_lpt0.x"},
      // Not a device name: no dot follows it, a longer word, or not the first part.
      {u"CON", u"CON"},
      {u"CONSOLE.x", u"CONSOLE.x"},
      {u"COMA.x", u"COMA.x"},
      {u"COM10.x", u"COM10.x"},
      {u"srv.CON.x", u"srv.CON.x"},
  };
  for (const auto& c : cases) EXPECT_EQ(CleanFileNamePrefix(c.prefix), c.clean) << TextToUtf8(c.prefix);
}

TEST(ExportFileName, TwoDigitFieldsAndAFourDigitYear) {
  EXPECT_EQ(ExportFileName(u"SRV2", {2026, 12, 6, 14, 5, 9}), u"SRV2_14-05-09_06-12-2026.csv");
  EXPECT_EQ(ExportFileName(u"C:/x", {2027, 1, 2, 0, 0, 3}), u"C__x_00-00-03_02-01-2027.csv");
  EXPECT_EQ(ExportFileName(u"", {999, 10, 31, 23, 59, 58}), u"_23-59-58_31-10-0999.csv");
  EXPECT_EQ(FormatDateTime(u"%x %h %yy 100%", {2026, 12, 6, 14, 5, 9}), u"%x %h %yy 100%");
}

// The fixture is the prompt, the writer and the shell of the export it runs.
class ExportTest : public ::testing::Test, PrefixPrompt, ExportFileWriter, DocumentOpener {
 protected:
  // Exports at 14:05:09 on 6 December 2026, with the names that hold `search` shown.
  void Export() {
    const auto filter = [this](TextView name) { return LowerCase(name).find(search) != Text::npos ? 1 : 0; };
    ExportApplications(table, ExportServices{lastMachineName, log, *this, *this, *this, filter,
                                             [this](int busy) { busyCalls.push_back(busy); },
                                             [] { return LocalDateTime{2026, 12, 6, 14, 5, 9}; }});
  }
  void Store(TextView name) {
    ApplicationRecord record;
    record.DisplayName = Text(name);
    record.KeyName = u"{" + Text(name) + u"}";
    table.Store(record);
  }

  Text Ask(TextView, TextView, TextView preset) override {
    presets.emplace_back(preset);
    if (whileAsked) whileAsked();
    return answer;
  }
  Text PrepareFilePath(TextView fileName) override { return u"export\\" + Text(fileName); }
  bool WriteWholeFile(TextView path, std::string_view bytes) override {
    if (writable) files[Text(path)] = std::string(bytes);
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
    Store(name);
  search = u"office";
  Export();

  std::vector<ApplicationRecord> shown = table.Snapshot();
  std::erase_if(shown, [](const ApplicationRecord& r) { return r.DisplayName == u"7-Zip" || r.DisplayName == u"Notepad"; });
  const Text path = u"export\\SRV2_14-05-09_06-12-2026.csv";
  EXPECT_EQ(files, (std::map<Text, std::string>{{path, CsvDocument(shown)}}));
  EXPECT_EQ(opened, std::vector<Text>{path});
  const auto calls = log.Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].text, u"5");
  EXPECT_EQ(calls[0].level, ActivityLevel::None);
  EXPECT_EQ(calls[0].statusField, 2);
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
    bool requestEndsMeanwhile;  // sets the machine text "SRV3" while the prompt is open
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
  Store(u"Alpha");
  writable = false;
  Export();
  const auto calls = log.Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].text, u"Impossible d'\u00e9crire le fichier d'export export\\SRV2_14-05-09_06-12-2026.csv.");
  EXPECT_EQ(calls[0].level, ActivityLevel::Error);
  EXPECT_EQ(calls[0].statusField, 1);
  EXPECT_TRUE(opened.empty());
  EXPECT_EQ(busyCalls, std::vector<int>{0});
}

}  // namespace
}  // namespace appcensus
