// The CSV export of the shown applications, and the few platform services it goes through
// (the prompt, the file, the shell), so that the whole of it runs without a window in tests.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "core/activity_log.h"
#include "core/application_table.h"
#include "core/shared_state.h"
#include "core/text.h"
#include "export/export_file_name.h"

namespace appcensus {

inline constexpr char16_t kPrefixPromptMessage[] = u"indiquer un prefix de nom de fichier pour l'export.";
inline constexpr char16_t kPrefixPromptPreset[] = u"ExportGlobale";

// Modal text input for the file-name prefix.
class PrefixPrompt {
 public:
  virtual ~PrefixPrompt() = default;
  // The edited text when confirmed; the empty text on Escape or close.
  virtual Text Ask(TextView title, TextView message, TextView preset) = 0;
};

// The export folder and the files in it.
class ExportFileWriter {
 public:
  virtual ~ExportFileWriter() = default;
  // Creates the export folder when missing (a failure is ignored) and gives the full path
  // of the file `fileName` in it.
  virtual Text PrepareFilePath(TextView fileName) = 0;
  // Makes `bytes` the whole content of the file at `path`, replacing a file of that name.
  // False when the file cannot be created or written; an existing file is then untouched.
  virtual bool WriteWholeFile(TextView path, std::string_view bytes) = 0;
};

// Opens a document with the program that the system associates with it, without waiting.
class DocumentOpener {
 public:
  virtual ~DocumentOpener() = default;
  virtual void Open(TextView path) = 0;
};

struct ExportServices {
  SharedText& lastMachineName;
  ActivityLog& log;
  PrefixPrompt& prompt;
  ExportFileWriter& writer;
  DocumentOpener& opener;
  // 1 when an application name passes the window's name filter; when empty, all pass.
  std::function<bool(TextView)> matchesNameFilter;
  // The views' busy display; called with 0 when the export ends.
  std::function<void(bool)> setViewsBusy;
  // When empty, CurrentLocalDateTime.
  std::function<LocalDateTime()> localNow;
  // Puts the records in the order the views show them; when empty, the table's order.
  std::function<void(std::vector<ApplicationRecord>&)> orderRecords;
  // The window's "Diff\u00e9rences uniquement": only the DifferingApplications of the table.
  bool differencesOnly = false;
};

inline constexpr char16_t kExportWrittenText[] = u"Fichier d'export \u00e9crit : ";

// Writes the records of `table` that pass the name filter (with differencesOnly, of its
// DifferingApplications), in the views' order, to a new file in the export folder, logs its
// full path and opens it. Runs on the window thread (the prompt is modal).
void ExportApplications(const ApplicationTable& table, const ExportServices& services);

}  // namespace appcensus
