// The export's services on Windows: the folder beside the program file, files replaced in
// one step, the shell, and the modal prompt for the file-name prefix.
#pragma once

#include <windows.h>

#include "export/export_applications.h"

namespace appcensus {

// The folder that holds the program file (no trailing backslash); empty on failure.
Text ProgramFolder();
// ProgramFolder() + "\export".
Text ExportFolderBesideProgram();

class Win32ExportFileWriter : public ExportFileWriter {
 public:
  explicit Win32ExportFileWriter(Text folder) : folder_(std::move(folder)) {}

  Text PrepareFilePath(TextView fileName) override;
  // Writes a temporary file in the same folder, then moves it over `path`.
  bool WriteWholeFile(TextView path, std::string_view bytes) override;

 private:
  Text folder_;
};

// ShellExecuteW "open" with no parameters, in `workingFolder`.
class ShellDocumentOpener : public DocumentOpener {
 public:
  ShellDocumentOpener(HWND owner, Text workingFolder) : owner_(owner), workingFolder_(std::move(workingFolder)) {}
  void Open(TextView path) override;

 private:
  HWND owner_;
  Text workingFolder_;
};

// Modal dialog with the message, an edit box holding `preset` (selected) and the buttons
// OK and Annuler. The edited text when confirmed (OK or Enter); the empty text on Annuler,
// Escape or close, and when the dialog cannot be shown.
Text AskTextDialog(HWND owner, TextView title, TextView message, TextView preset);

class DialogPrefixPrompt : public PrefixPrompt {
 public:
  explicit DialogPrefixPrompt(HWND owner) : owner_(owner) {}
  Text Ask(TextView title, TextView message, TextView preset) override {
    return AskTextDialog(owner_, title, message, preset);
  }

 private:
  HWND owner_;
};

// The export with the program's own folder, prompt and shell; `owner` is the main window.
void ExportApplicationsFromWindow(HWND owner, const ApplicationTable& table, SharedText& lastMachineName,
                                  ActivityLog& log, std::function<bool(TextView)> matchesNameFilter,
                                  std::function<void(bool)> setViewsBusy,
                                  std::function<void(std::vector<ApplicationRecord>&)> orderRecords,
                                  bool differencesOnly = false);

}  // namespace appcensus
