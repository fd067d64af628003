#include "export/export_applications.h"

#include "core/differing_applications.h"
#include "export/csv_format.h"

namespace appcensus {

namespace {

// The prefix of the file name. A last request for several machines (names separated by
// ";") asks the user for one; the answer, empty or not, replaces the machine text, so a
// second export after the same request reuses it without asking again.
Text ExportPrefix(const ExportServices& services) {
  const Text machines = services.lastMachineName.Get();
  if (machines.find(u';') == Text::npos) return machines;
  Text answer = services.prompt.Ask(WindowTitle(), kPrefixPromptMessage, kPrefixPromptPreset);
  // A request that ended while the prompt was open has set a newer machine text: keep it.
  services.lastMachineName.CompareAndSet(machines, answer);
  return answer;
}

std::vector<ApplicationRecord> ShownRecords(const std::vector<ApplicationRecord>& records,
                                            const ExportServices& services) {
  std::vector<ApplicationRecord> shown;
  for (const auto& record : services.differencesOnly ? DifferingApplications(records) : records)
    if (!services.matchesNameFilter || services.matchesNameFilter(record.DisplayName)) shown.push_back(record);
  if (services.orderRecords) services.orderRecords(shown);
  return shown;
}

void WriteAndOpen(const ApplicationTable& table, const ExportServices& services) {
  const Text prefix = ExportPrefix(services);
  const LocalDateTime now = services.localNow ? services.localNow() : CurrentLocalDateTime();
  const Text path = services.writer.PrepareFilePath(ExportFileName(prefix, now));

  const std::vector<ApplicationRecord> records = table.Snapshot();
  const std::string content = CsvDocument(ShownRecords(records, services));
  if (!services.writer.WriteWholeFile(path, content)) {
    services.log.LogActivity(u"Impossible d'\u00e9crire le fichier d'export " + path + u".", ActivityLevel::Error, 1);
    return;
  }
  // The count of every record of the table, before the filter.
  if (!records.empty()) services.log.LogActivity(DecimalText(static_cast<std::int64_t>(records.size())), ActivityLevel::None, 2);
  services.log.LogActivity(kExportWrittenText + path, ActivityLevel::Done, 1);
  services.opener.Open(path);
}

}  // namespace

void ExportApplications(const ApplicationTable& table, const ExportServices& services) {
  WriteAndOpen(table, services);
  if (services.setViewsBusy) services.setViewsBusy(false);
}

}  // namespace appcensus
