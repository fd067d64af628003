// The console program's outputs on Windows: standard output and error as UTF-8 bytes
// (through WriteConsoleW on a console, so that every character shows), the output file
// written as the export writes its files.
#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include "cli/console_win32.h"
#include "export/export_win32.h"
#include "request/local_host_name.h"

namespace appcensus::cli {

namespace {

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

void WriteBytes(HANDLE handle, bool console, std::string_view bytes) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  if (console) {
    const Text text = appcensus::Utf8ToText(bytes);
    const wchar_t* next = reinterpret_cast<const wchar_t*>(text.data());
    std::size_t left = text.size();
    while (left > 0) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 8192));
      DWORD written = 0;
      if (!WriteConsoleW(handle, next, chunk, &written, nullptr) || written == 0) return;
      next += written;
      left -= written;
    }
    return;
  }
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 0x10000000));
    DWORD written = 0;
    if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr) || written == 0) return;  // closed pipe
    bytes.remove_prefix(written);
  }
}

bool WriteWholeFile(TextView path, std::string_view bytes) {
  // The export's writer puts a temporary file beside the target: it needs the full path.
  const Text given(path);
  const auto* relative = reinterpret_cast<const wchar_t*>(given.c_str());
  const DWORD size = GetFullPathNameW(relative, 0, nullptr, nullptr);
  if (size == 0) return false;
  std::vector<wchar_t> full(size);
  const DWORD length = GetFullPathNameW(relative, size, full.data(), nullptr);
  if (length == 0 || length >= size) return false;
  appcensus::Win32ExportFileWriter writer{Text()};
  return writer.WriteWholeFile(Text(reinterpret_cast<const char16_t*>(full.data()), length), bytes);
}

// The account of a user hive's security identifier, as the machine names it.
Text LookUpAccountName(TextView machine, TextView sid) {
  PSID binary = nullptr;
  if (!ConvertStringSidToSidW(reinterpret_cast<LPCWSTR>(Text(sid).c_str()), &binary)) return Text();
  wchar_t name[256] = {};
  wchar_t domain[256] = {};
  DWORD nameLength = 256;
  DWORD domainLength = 256;
  SID_NAME_USE use;
  const Text system(machine);
  const BOOL found = LookupAccountSidW(machine == u"." ? nullptr : reinterpret_cast<LPCWSTR>(system.c_str()), binary,
                                       name, &nameLength, domain, &domainLength, &use);
  LocalFree(binary);
  if (!found) return Text();
  const Text account(reinterpret_cast<const char16_t*>(name));
  return domain[0] ? Text(reinterpret_cast<const char16_t*>(domain)) + u"\\" + account : account;
}

}  // namespace

CliEnvironment ConsoleEnvironment() {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  const bool outputIsConsole = IsConsole(output);
  const bool errorIsConsole = IsConsole(error);

  CliEnvironment environment;
  environment.writeOutput = [=](std::string_view bytes) { WriteBytes(output, outputIsConsole, bytes); };
  environment.writeError = [=](std::string_view bytes) { WriteBytes(error, errorIsConsole, bytes); };
  environment.errorIsConsole = errorIsConsole;
  environment.writeFile = WriteWholeFile;
  environment.localHostName = LocalHostName;
  // Each machine and identifier is looked up once: a remote lookup costs a round trip.
  environment.accountNames = [known = std::make_shared<std::map<Text, Text>>()](TextView machine, TextView sid) {
    const Text key = Text(machine) + u"|" + Text(sid);
    const auto it = known->find(key);
    return it != known->end() ? it->second : (*known)[key] = LookUpAccountName(machine, sid);
  };
  return environment;
}

}  // namespace appcensus::cli
