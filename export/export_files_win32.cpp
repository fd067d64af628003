#include <windows.h>
#include <objbase.h>

#include "export/export_win32.h"
#include "core/win32_text.h"
#include "core/unique_handle_win32.h"

namespace appcensus {

namespace {


bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > 0x10000000 ? 0x10000000 : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

// A function of a system library, loaded on first use and kept until the process ends; nullptr
// when either cannot be found.
template <typename Function>
Function SystemFunction(const wchar_t* library, const char* name) {
  wchar_t path[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length + wcslen(library) + 2 > MAX_PATH) return nullptr;
  wcscat(wcscat(path, L"\\"), library);
  HMODULE module = LoadLibraryW(path);
  return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// The shell needs a single-threaded COM apartment on the thread that calls it; this one lasts
// as long as the thread.
class ComApartment {
 public:
  ComApartment() {
    using Initialise = HRESULT(WINAPI*)(LPVOID, DWORD);
    if (const auto initialise = SystemFunction<Initialise>(L"ole32.dll", "CoInitializeEx"))
      initialised_ = SUCCEEDED(initialise(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
  }
  ~ComApartment() {
    using Uninitialise = void(WINAPI*)();
    if (!initialised_) return;
    if (const auto uninitialise = SystemFunction<Uninitialise>(L"ole32.dll", "CoUninitialize")) uninitialise();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool initialised_ = false;
};

Text FolderOf(const Text& path) {
  const std::size_t slash = path.find_last_of(u"\\/");
  return slash == Text::npos ? Text() : path.substr(0, slash);
}

}  // namespace

Text ProgramFolder() {
  Text path(MAX_PATH, u'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, WideBuffer(path), static_cast<DWORD>(path.size()));
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

  UniqueFileHandle file(CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  bool written = file && WriteAll(file.get(), bytes);
  written = file.close() && written;
  if (written && MoveFileExW(temporary, Wide(target), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
  DeleteFileW(temporary);
  return false;
}

// The shell and COM are loaded when the first document is opened, not with the program: they
// are the heaviest libraries it would otherwise load before its window shows.
void ShellDocumentOpener::Open(TextView path) {
  using ShellExecute = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
  static const auto shellExecute = SystemFunction<ShellExecute>(L"shell32.dll", "ShellExecuteW");
  thread_local const ComApartment apartment;
  if (!shellExecute) return;
  const Text document(path);
  // The result is not looked at: without a program for the document nothing happens.
  shellExecute(owner_, L"open", Wide(document), nullptr, workingFolder_.empty() ? nullptr : Wide(workingFolder_),
               SW_SHOWNORMAL);
}

void ExportApplicationsFromWindow(HWND owner, const ApplicationTable& table, SharedText& lastMachineName,
                                  ActivityLog& log, std::function<bool(TextView)> matchesNameFilter,
                                  std::function<void(bool)> setViewsBusy,
                                  std::function<void(std::vector<ApplicationRecord>&)> orderRecords,
                                  bool differencesOnly) {
  DialogPrefixPrompt prompt(owner);
  Win32ExportFileWriter writer(ExportFolderBesideProgram());
  ShellDocumentOpener opener(owner, ProgramFolder());
  ExportApplications(table, ExportServices{lastMachineName, log, prompt, writer, opener, std::move(matchesNameFilter),
                                           std::move(setViewsBusy), nullptr, std::move(orderRecords),
                                           differencesOnly});
}

}  // namespace appcensus
