// The CSV field and line writer, read back with the strict reader.
//
// Properties: every line written for a record re-reads (ReadCsvLine) into exactly nine fields,
// in the header's order, each equal to its value with an apostrophe put in front of a value
// that begins with "=", "+", "-" or "@"; a field whose text needs no quotes (no ";", double
// quote, CR or LF) is written as that text alone. A whole document re-reads (ReadCsvDocument)
// into the header's nine titles and the same nine fields, the UTF-8 conversion turning
// unpaired surrogates into U+FFFD, and ends with CR LF.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "export/csv_format.h"
#include "tests/support/csv_reader.h"
#include "fuzz/brace_groups.h"
#include "fuzz/fuzz_support.h"

namespace {

using namespace appcensus;

Text Guarded(TextView value) {
  const bool formula = !value.empty() && (value.front() == u'=' || value.front() == u'+' || value.front() == u'-' ||
                                          value.front() == u'@');
  return formula ? u"'" + Text(value) : Text(value);
}

bool NeedsQuotes(TextView text) {
  for (char16_t c : text)
    if (c == u';' || c == u'"' || c == u'\r' || c == u'\n') return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::TextReader reader(data, size);
  ApplicationRecord record;
  record.DisplayName = reader.Next();
  record.DisplayVersion = reader.Next();
  record.ProductCode = reader.Next();
  record.InstallDate = reader.Next();
  record.InstallSource = reader.Next();
  record.InstallLocation = reader.Next();
  record.UninstallString = reader.Next();
  record.KeyName = reader.Next();
  record.Machine = reader.Next();

  // The header's order; field 8 is the entry's registry path.
  const std::array<Text, 9> values = {
      record.DisplayName,     record.DisplayVersion,  record.ProductCode,
      record.InstallDate,     record.InstallSource,   record.InstallLocation,
      record.UninstallString, Text(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + record.KeyName,
      record.Machine};

  for (const Text& value : values) {
    const Text field = CsvField(value);
    const Text guarded = Guarded(value);
    if (!NeedsQuotes(guarded)) FUZZ_CHECK_TEXT(field == guarded, field, guarded);
    else FUZZ_CHECK(field.size() >= guarded.size() + 2 && field.front() == u'"' && field.back() == u'"');
  }

  const Text line = CsvLine(record);
  const auto fields = ReadCsvLine(line);
  FUZZ_CHECK(fields.has_value());
  FUZZ_CHECK(fields->size() == 9);
  for (std::size_t i = 0; i < 9; ++i) FUZZ_CHECK_TEXT((*fields)[i] == Guarded(values[i]), (*fields)[i], values[i]);

  const std::string document = CsvDocument({record});
  FUZZ_CHECK(document.size() >= 2 && document.ends_with("\r\n"));
  FUZZ_CHECK(fuzz::IsWellFormedUtf8(document));
  const auto rows = ReadCsvDocument(document);
  FUZZ_CHECK(rows.has_value());
  FUZZ_CHECK(rows->size() == 2);
  const auto& titles = (*rows)[0];
  FUZZ_CHECK(titles.size() == 9);
  FUZZ_CHECK(titles[0] == u"Nom application" && titles[8] == u"Nom de machine");
  FUZZ_CHECK((*rows)[1].size() == 9);
  for (std::size_t i = 0; i < 9; ++i) {
    const Text expected = fuzz::WithoutLoneSurrogates(Guarded(values[i]));
    FUZZ_CHECK_TEXT((*rows)[1][i] == expected, (*rows)[1][i], expected);
  }
  return 0;
}
