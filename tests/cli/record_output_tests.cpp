// The three output formats: csv exactly as the export writes it, json and tsv escaped so
// that every value comes back whole.
#include <gtest/gtest.h>

#include "cli/record_output.h"
#include "export/csv_format.h"
#include "json_reader.h"

namespace appcensus::cli {
namespace {

ApplicationRecord Record(Text name, Text version, Text machine, Text key) {
  return ApplicationRecord{std::move(name), std::move(version), u" - ", u"06/06/2011", u"", u"C:\\Apps\\",
                           u" - ", std::move(machine), std::move(key)};
}

// Values that need care in one format or another.
std::vector<ApplicationRecord> TrickyRecords() {
  return {
      Record(u"\u00c9diteur; caf\u00e9 \"pro\"", u"=1+1", u"SRV1", u"{6C2F1A40-3B7E-4D21-9A55-0E1B7C9D4A11}"),
      Record(u"Tab\there\r\nnext", u"C:\\dir\\", u"SRV1", u"Key\\with\\slashes"),
      Record(u"Clef \U0001D11E", u"-2", u"SRV2", u"x"),
  };
}

std::string Piecewise(RecordOutput output, const std::vector<std::vector<ApplicationRecord>>& machines) {
  std::string out = output.Opening();
  for (const auto& records : machines) out += output.Records(records);
  return out + output.Closing();
}

TEST(RecordOutput, CsvIsTheExportDocumentWhateverTheGrouping) {
  const auto records = TrickyRecords();
  const std::string expected = CsvDocument(records);
  EXPECT_EQ(Piecewise(RecordOutput(OutputFormat::Csv), {records}), expected);
  EXPECT_EQ(Piecewise(RecordOutput(OutputFormat::Csv), {{records[0], records[1]}, {}, {records[2]}}), expected);
  EXPECT_EQ(Piecewise(RecordOutput(OutputFormat::Csv), {}), CsvDocument({}));  // header alone
}

TEST(RecordOutput, JsonStringEscapesExactly) {
  EXPECT_EQ(JsonString(u"plain"), "\"plain\"");
  EXPECT_EQ(JsonString(u"a\"b\\c/d"), "\"a\\\"b\\\\c/d\"");
  EXPECT_EQ(JsonString(u"\b\f\n\r\t"), "\"\\b\\f\\n\\r\\t\"");
  EXPECT_EQ(JsonString(Text(u"\x01\x1f", 2) + Text(1, u'\0') + u"\x7f"), "\"\\u0001\\u001f\\u0000\x7f\"");
  EXPECT_EQ(JsonString(u"caf\u00e9 \U0001D11E"), "\"caf\xc3\xa9 \xf0\x9d\x84\x9e\"");
  // Unpaired surrogates: the replacement character, as the other formats write them.
  EXPECT_EQ(JsonString(Text(1, char16_t(0xD800)) + u"x" + Text(1, char16_t(0xDC00))),
            "\"\xef\xbf\xbdx\xef\xbf\xbd\"");
}

TEST(RecordOutput, JsonReadsBackAsTheSameRecords) {
  const auto records = TrickyRecords();
  const std::string json = Piecewise(RecordOutput(OutputFormat::Json), {{records[0]}, {}, {records[1], records[2]}});
  const auto read = testing::ReadJsonRecords(json);
  ASSERT_TRUE(read) << json;
  ASSERT_EQ(read->size(), records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    ASSERT_EQ((*read)[i].size(), kRecordFields.size());
    for (const auto& field : kRecordFields) EXPECT_EQ((*read)[i].at(field.name), records[i].*field.member);
  }
  EXPECT_EQ(json.substr(json.size() - 6), "}\r\n]\r\n");

  const std::string empty = Piecewise(RecordOutput(OutputFormat::Json), {{}, {}});
  EXPECT_EQ(empty, "[]\r\n");
  ASSERT_TRUE(testing::ReadJsonRecords(empty));
  EXPECT_TRUE(testing::ReadJsonRecords(empty)->empty());
}

TEST(RecordOutput, TsvHeaderAndEscapes) {
  EXPECT_EQ(TsvValue(u"a\\b\tc\rd\ne \u00e9"), "a\\\\b\\tc\\rd\\ne \xc3\xa9");
  const auto records = TrickyRecords();
  const std::string tsv = Piecewise(RecordOutput(OutputFormat::Tsv), {{records[1]}});
  EXPECT_EQ(tsv,
            "DisplayName\tDisplayVersion\tInstallSource\tInstallDate\tUninstallString\tInstallLocation\t"
            "ProductCode\tMachine\tKeyName\r\n"
            "Tab\\there\\r\\nnext\tC:\\\\dir\\\\\t - \t06/06/2011\t\tC:\\\\Apps\\\\\t - \tSRV1\tKey\\\\with\\\\slashes\r\n");
}

}  // namespace
}  // namespace appcensus::cli
