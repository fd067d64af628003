// The export, from nine values and a file-name prefix. A CSV line re-reads into the values in
// the header's order, "'" before one starting with = + - @, a tab or a carriage return,
// unquoted when it needs no quotes;
// the document is UTF-8, ends with CR LF and re-reads likewise. The prefix keeps its characters
// but those a file name cannot hold, which become "_", gets at most one "_" in front and stays
// as it is when cleaned again; the file name is it, "_", the time, ".csv", and its stem is no
// device name (CON, PRN, AUX, NUL, COM0-9, LPT0-9, also with superscript digits).
#include <algorithm>

#include "export/csv_format.h"
#include "export/export_file_name.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/csv_reader.h"

using namespace appcensus;

bool Forbidden(char16_t c) { return c < 0x20 || Text(u"<>:\"/\\|?*").find(c) != Text::npos; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ApplicationRecord record;
  Text* const fields[] = {&record.DisplayName,     &record.DisplayVersion, &record.ProductCode,
                          &record.InstallDate,     &record.InstallSource,  &record.InstallLocation,
                          &record.UninstallString, &record.KeyName,        &record.Machine};
  for (std::size_t i = 0; i < 9; ++i) *fields[i] = fuzz::Part(data, size, i);
  std::vector<Text> values;  // the fields expected, in the header's order
  for (const Text* field : fields) {
    const Text value = field == &record.KeyName ? EntryRegistryPath(record) : *field;
    const Text guarded = !value.empty() && Text(u"=+-@\t\r").find(value[0]) != Text::npos ? u"'" + value : value;
    if (guarded.find_first_of(u";\"\r\n") == Text::npos) FUZZ_CHECK(CsvField(value) == guarded);
    values.push_back(guarded);
  }
  FUZZ_CHECK(ReadCsvRecords(CsvLine(record) + u"\r\n") == std::vector<CsvFields>{values});
  const std::string document = CsvDocument({record});
  FUZZ_CHECK(document.ends_with("\r\n") && TextToUtf8(Utf8ToText(document)) == document);
  for (Text& value : values) value = Utf8ToText(TextToUtf8(value));
  FUZZ_CHECK((ReadCsvDocument(document) == std::vector<CsvFields>{ReadCsvRecords(Text(kCsvHeader) + u"\r\n")->at(0), values}));

  const Text prefix = fuzz::Part(data, size, 9), clean = CleanFileNamePrefix(prefix);
  const std::size_t shift = clean.size() - prefix.size();
  FUZZ_CHECK((shift == 0 || (shift == 1 && clean[0] == u'_')) && CleanFileNamePrefix(clean) == clean);
  for (std::size_t i = 0; i < prefix.size(); ++i) FUZZ_CHECK(clean[i + shift] == (Forbidden(prefix[i]) ? u'_' : prefix[i]));
  const Text name = ExportFileName(prefix, LocalDateTime{2026, 12, 6, 14, 5, 9});
  FUZZ_CHECK(name == clean + u"_14-05-09_06-12-2026.csv" && std::none_of(name.begin(), name.end(), Forbidden));
  Text stem = UpperCase(name.substr(0, name.find(u'.')));
  stem.erase(stem.find_last_not_of(u' ') + 1);
  const bool numbered = stem.size() == 4 && (stem.starts_with(u"COM") || stem.starts_with(u"LPT")) &&
                        Text(u"0123456789\u00b9\u00b2\u00b3").find(stem[3]) != Text::npos;
  FUZZ_CHECK(!numbered && stem != u"CON" && stem != u"PRN" && stem != u"AUX" && stem != u"NUL");
  return 0;
}
