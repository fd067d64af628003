// The bytes of the export file, and that every line reads back as the nine values written.
#include <gtest/gtest.h>

#include <random>

#include "export/csv_format.h"
#include "tests/support/csv_reader.h"
#include "export_test_support.h"

namespace appcensus {
namespace {

const std::string kHeaderBytes =
    "Nom application;Version de l'application;Code produit;Date d'installation;Source d'installation;"
    "R\xC3\xA9pertoire d'installation;Commande de d\xC3\xA9sintallation;Emplacement dans la base de registre;"
    "Nom de machine\r\n";
const std::string kUninstallPathBytes = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

ApplicationRecord DistinctRecord() {
  ApplicationRecord record;
  record.DisplayName = u"Name";
  record.DisplayVersion = u"Ver";
  record.InstallSource = u"Src";
  record.InstallDate = u"Date";
  record.UninstallString = u"Unin";
  record.InstallLocation = u"Loc";
  record.ProductCode = u"Code";
  record.Machine = u"M";
  record.KeyName = u"{ABC}";
  return record;
}

TEST(CsvDocument, HeaderAloneForNoRecords) { EXPECT_EQ(CsvDocument({}), kHeaderBytes); }

TEST(CsvDocument, FieldsInTheHeadersOrderEachLineEndedByCrLf) {
  ApplicationRecord other = DistinctRecord();
  other.DisplayName = u"Other";
  other.Machine = u".";
  EXPECT_EQ(CsvDocument({DistinctRecord(), other}),
            kHeaderBytes + "Name;Ver;Code;Date;Src;Loc;Unin;" + kUninstallPathBytes + "{ABC};M\r\n" +
                "Other;Ver;Code;Date;Src;Loc;Unin;" + kUninstallPathBytes + "{ABC};.\r\n");
}

TEST(CsvDocument, EmptyValuesAndPlaceholdersStayAsTheyAre) {
  ApplicationRecord record = DistinctRecord();
  record.UninstallString.clear();
  record.InstallLocation.clear();
  record.InstallSource = kPlaceholder;
  record.DisplayVersion = kPlaceholder;
  const std::string line = "Name; - ;Code;Date; - ;;;" + kUninstallPathBytes + "{ABC};M\r\n";
  EXPECT_EQ(CsvDocument({record}), kHeaderBytes + line);

  const auto read = ReadCsvDocument(line);
  ASSERT_TRUE(read.has_value());
  ASSERT_EQ(read->size(), 1u);
  EXPECT_EQ(read->front().size(), kCsvFieldCount);
}

TEST(CsvDocument, Utf8WithoutByteOrderMark) {
  ApplicationRecord record = DistinctRecord();
  record.DisplayName = u"Caf\u00e9";                 // é: 0xC3 0xA9
  record.DisplayVersion = u"\U0001F600";             // a pair of surrogates: one 4-byte sequence
  record.ProductCode = Text(1, char16_t(0xD800));    // unpaired: U+FFFD
  const std::string bytes = CsvDocument({record});
  ASSERT_EQ(bytes.rfind("Nom application", 0), 0u) << "no byte-order mark before the header";
  EXPECT_EQ(bytes.substr(kHeaderBytes.size()), "Caf\xC3\xA9;\xF0\x9F\x98\x80;\xEF\xBF\xBD;Date;Src;Loc;Unin;" +
                                                   kUninstallPathBytes + "{ABC};M\r\n");
}

TEST(CsvDocument, RegistryPathFieldFollowsTheKeyNameWhateverTheMachine) {
  ApplicationRecord record = DistinctRecord();
  record.Machine = u"SRV9";
  const auto fields = ReadCsvLine(CsvLine(record));
  ASSERT_TRUE(fields.has_value());
  EXPECT_EQ((*fields)[7], u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{ABC}");
  EXPECT_EQ((*fields)[8], u"SRV9");
}

TEST(CsvField, QuotesValuesThatWouldBreakTheLine) {
  EXPECT_EQ(CsvField(u"a;b"), u"\"a;b\"");
  EXPECT_EQ(CsvField(u"say \"hi\""), u"\"say \"\"hi\"\"\"");
  EXPECT_EQ(CsvField(u"\""), u"\"\"\"\"");
  EXPECT_EQ(CsvField(u"a\r\nb"), u"\"a\r\nb\"");
  EXPECT_EQ(CsvField(u"a\rb"), u"\"a\rb\"");
  EXPECT_EQ(CsvField(u"a\nb"), u"\"a\nb\"");
}

TEST(CsvField, GuardsValuesThatASpreadsheetWouldRunAsFormulas) {
  EXPECT_EQ(CsvField(u"=HYPERLINK(\"x\")"), u"\"'=HYPERLINK(\"\"x\"\")\"");  // apostrophe inside the quotes
  EXPECT_EQ(CsvField(u"=1+2"), u"'=1+2");
  EXPECT_EQ(CsvField(u"+33 1"), u"'+33 1");
  EXPECT_EQ(CsvField(u"-2"), u"'-2");
  EXPECT_EQ(CsvField(u"@SUM(A1)"), u"'@SUM(A1)");
  EXPECT_EQ(CsvField(u"=A1;B1"), u"\"'=A1;B1\"");
  // Only the first character counts; the placeholder begins with a blank.
  EXPECT_EQ(CsvField(kPlaceholder), u" - ");
  EXPECT_EQ(CsvField(u" =1"), u" =1");
  EXPECT_EQ(CsvField(u"a=b-c+d@e"), u"a=b-c+d@e");
  EXPECT_EQ(CsvField(u"'quoted"), u"'quoted");
  EXPECT_EQ(CsvField(u""), u"");
}

TEST(CsvField, LineWithTreatedValuesStillReadsAsNineFields) {
  ApplicationRecord record = DistinctRecord();
  record.DisplayName = u"Evil;\"name\"\r\n=cmd";
  record.UninstallString = u"-x";
  const Text line = CsvLine(record);
  EXPECT_EQ(line.substr(0, 22), u"\"Evil;\"\"name\"\"\r\n=cmd\";");
  const auto fields = ReadCsvLine(line);
  ASSERT_TRUE(fields.has_value());
  ASSERT_EQ(fields->size(), kCsvFieldCount);
  EXPECT_EQ((*fields)[0], u"Evil;\"name\"\r\n=cmd");
  EXPECT_EQ((*fields)[6], u"'-x");
}

TEST(CsvReader, ReadsWellFormedRecords) {
  const auto records = ReadCsvDocument("a;;\"b;\"\"c\"\"\"\r\n\"\"\r\n;\r\n");
  ASSERT_TRUE(records.has_value());
  ASSERT_EQ(records->size(), 3u);
  EXPECT_EQ((*records)[0], (CsvFields{u"a", u"", u"b;\"c\""}));
  EXPECT_EQ((*records)[1], (CsvFields{u""}));
  EXPECT_EQ((*records)[2], (CsvFields{u"", u""}));
  EXPECT_EQ(ReadCsvDocument("")->size(), 0u);
  EXPECT_EQ(ReadCsvDocument("\xC3\xA9\r\n")->front().front(), u"\u00e9");
}

TEST(CsvReader, RefusesWhatTheWriterNeverProduces) {
  for (const char* bad : {"a;b",             // last record without CR LF
                          "a;b\n",           // LF alone
                          "a\rb\r\n",        // CR alone
                          "a\"b\r\n",        // quote in a plain field
                          "\"ab\r\n",        // quote never closed
                          "\"a\"b\r\n",      // text after the closing quote
                          "a;\r\n\"",        // a record cut short
                          "a;"})
    EXPECT_FALSE(ReadCsvDocument(bad).has_value()) << bad;
  EXPECT_FALSE(ReadCsvLine(u"a\r\nb").has_value()) << "two records are not one line";
}

// Random values built from the characters that matter to the format.
Text RandomValue(std::mt19937& random) {
  static const Text kAlphabet = u"aZ0 ;\"\r\n=+-@'\\{}.\u00e9\u20ac";
  std::uniform_int_distribution<int> length(0, 8);
  std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size());  // the last stands for a surrogate pair
  Text value;
  for (int i = length(random); i > 0; --i) {
    const std::size_t index = pick(random);
    if (index == kAlphabet.size())
      value += u"\U0001F4BE";
    else
      value.push_back(kAlphabet[index]);
  }
  return value;
}

Text PlainJoin(const std::vector<Text>& values) {
  Text line;
  for (std::size_t i = 0; i < values.size(); ++i) line += (i ? u";" : u"") + values[i];
  return line;
}

TEST(CsvRoundTrip, RandomRecordsReadBackAsTheirNineValues) {
  std::mt19937 random(20261206);
  for (int round = 0; round < 300; ++round) {
    std::vector<ApplicationRecord> records(round % 5);
    for (auto& record : records) {
      for (Text* field : {&record.DisplayName, &record.DisplayVersion, &record.InstallSource, &record.InstallDate,
                          &record.UninstallString, &record.InstallLocation, &record.ProductCode, &record.Machine,
                          &record.KeyName})
        *field = RandomValue(random);
    }
    const auto read = ReadCsvDocument(CsvDocument(records));
    ASSERT_TRUE(read.has_value()) << "round " << round;
    ASSERT_EQ(read->size(), records.size() + 1);
    EXPECT_EQ(read->front().size(), kCsvFieldCount);

    for (std::size_t r = 0; r < records.size(); ++r) {
      const ApplicationRecord& record = records[r];
      const std::vector<Text> values = {record.DisplayName,     record.DisplayVersion,     record.ProductCode,
                                        record.InstallDate,     record.InstallSource,      record.InstallLocation,
                                        record.UninstallString, EntryRegistryPath(record), record.Machine};
      const CsvFields& fields = (*read)[r + 1];
      ASSERT_EQ(fields.size(), kCsvFieldCount) << "round " << round;
      bool plain = true;
      for (std::size_t i = 0; i < kCsvFieldCount; ++i) {
        const bool formula = !values[i].empty() && Text(u"=+-@").find(values[i][0]) != Text::npos;
        EXPECT_EQ(fields[i], formula ? u"'" + values[i] : values[i]) << "round " << round << " field " << i;
        plain = plain && !formula && values[i].find_first_of(u";\"\r\n") == Text::npos;
      }
      if (plain) {
        EXPECT_EQ(CsvLine(record), PlainJoin(values)) << "round " << round;
      }
    }
  }
}

}  // namespace
}  // namespace appcensus
