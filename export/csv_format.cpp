#include "export/csv_format.h"

namespace appcensus {

namespace {

// A spreadsheet reads a cell that begins with one of these as a formula (a tab or a carriage
// return in front of one too). Application names come from remote machines, so such a value
// must stay plain text.
bool StartsLikeFormula(TextView value) {
  if (value.empty()) return false;
  const char16_t first = value.front();
  return first == u'=' || first == u'+' || first == u'-' || first == u'@' || first == u'\t' || first == u'\r';
}

bool NeedsQuotes(TextView value) {
  return value.find_first_of(u";\"\r\n") != TextView::npos;
}

void AppendLine(std::string& out, TextView line) {
  out += TextToUtf8(line);
  out += "\r\n";
}

}  // namespace

Text CsvField(TextView value) {
  Text field;
  if (StartsLikeFormula(value)) field.push_back(u'\'');
  field.append(value);
  if (!NeedsQuotes(field)) return field;

  Text quoted;
  quoted.reserve(field.size() + 2);
  quoted.push_back(u'"');
  for (char16_t c : field) {
    if (c == u'"') quoted.push_back(u'"');
    quoted.push_back(c);
  }
  quoted.push_back(u'"');
  return quoted;
}

Text CsvLine(const ApplicationRecord& record) {
  const Text registryPath = EntryRegistryPath(record);
  const TextView values[kCsvFieldCount] = {
      record.DisplayName,     record.DisplayVersion, record.ProductCode,
      record.InstallDate,     record.InstallSource,  record.InstallLocation,
      record.UninstallString, registryPath,          record.Machine};
  Text line;
  for (std::size_t i = 0; i < kCsvFieldCount; ++i) {
    if (i > 0) line.push_back(kCsvSeparator);
    line += CsvField(values[i]);
  }
  return line;
}

std::string CsvDocument(const std::vector<ApplicationRecord>& records) {
  std::string out;
  AppendLine(out, kCsvHeader);
  for (const auto& record : records) AppendLine(out, CsvLine(record));
  return out;
}

}  // namespace appcensus
