#include <windows.h>
#include <shellapi.h>

#include "export/export_win32.h"

namespace appcensus {

namespace {

const wchar_t* Wide(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() { Close(); }

  bool IsValid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }
  bool Close() {
    if (!IsValid()) return true;
    const bool closed = CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > 0x10000000 ? 0x10000000 : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

Text FolderOf(const Text& path) {
  const std::size_t slash = path.find_last_of(u"\\/");
  return slash == Text::npos ? Text() : path.substr(0, slash);
}

}  // namespace

Text ProgramFolder() {
  Text path(MAX_PATH, u'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, reinterpret_cast<wchar_t*>(path.data()), static_cast<DWORD>(path.size()));
    if (length == 0) return Text();
    if (length < path.size()) {
      path.resize(length);
      return FolderOf(path);
    }
    if (path.size() >= 32768) return Text();
    path.resize(path.size() * 2);
  }
}

Text ExportFolderBesideProgram() { return ProgramFolder() + u"\\export"; }

Text Win32ExportFileWriter::PrepareFilePath(TextView fileName) {
  CreateDirectoryW(Wide(folder_), nullptr);  // fails harmlessly when it exists
  return folder_ + u"\\" + Text(fileName);
}

bool Win32ExportFileWriter::WriteWholeFile(TextView path, std::string_view bytes) {
  const Text target(path);
  // A new file in the target's folder, so that the move below is a rename on one volume.
  wchar_t temporary[MAX_PATH + 1] = {};
  if (GetTempFileNameW(Wide(FolderOf(target)), L"exp", 0, temporary) == 0) return false;

  FileHandle file(CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  bool written = file.IsValid() && WriteAll(file.Get(), bytes);
  written = file.Close() && written;
  if (written && MoveFileExW(temporary, Wide(target), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
  DeleteFileW(temporary);
  return false;
}

void ShellDocumentOpener::Open(TextView path) {
  const Text document(path);
  // The result is not looked at: without a program for the document nothing happens.
  ShellExecuteW(owner_, L"open", Wide(document), nullptr, workingFolder_.empty() ? nullptr : Wide(workingFolder_),
                SW_SHOWNORMAL);
}

void ExportApplicationsFromWindow(HWND owner, const ApplicationTable& table, SharedText& lastMachineName,
                                  ActivityLog& log, std::function<int(TextView)> matchesNameFilter,
                                  std::function<void(int)> setViewsBusy, bool differencesOnly) {
  DialogPrefixPrompt prompt(owner);
  Win32ExportFileWriter writer(ExportFolderBesideProgram());
  ShellDocumentOpener opener(owner, ProgramFolder());
  ExportApplications(table, ExportServices{lastMachineName, log, prompt, writer, opener, std::move(matchesNameFilter),
                                           std::move(setViewsBusy), nullptr, differencesOnly});
}

}  // namespace appcensus
