// The console program's streams and files on Windows: standard output and error as UTF-8
// bytes (through WriteConsoleW on a console, so that every character shows), standard input
// and the machine lists read whole, the output files written as the export writes its files.
#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "cli/console_win32.h"
#include "export/export_win32.h"
#include "request/local_host_name.h"
#include "core/win32_text.h"
#include "core/unique_handle_win32.h"

namespace appcensus::cli {

namespace {

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}


// False when the bytes could not all be written.
bool WriteBytes(HANDLE handle, bool console, std::string_view bytes) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  if (console) {
    const Text text = appcensus::Utf8ToText(bytes);
    const wchar_t* next = Wide(text);
    std::size_t left = text.size();
    while (left > 0) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 8192));
      DWORD written = 0;
      if (!WriteConsoleW(handle, next, chunk, &written, nullptr) || written == 0) return false;
      next += written;
      left -= written;
    }
    return true;
  }
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 0x10000000));
    DWORD written = 0;
    if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr) || written == 0) return false;  // full, closed
    bytes.remove_prefix(written);
  }
  return true;
}

// Everything up to the end of a file or pipe; none when a read fails.
std::optional<std::string> ReadAll(HANDLE handle) {
  std::string bytes;
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(handle, buffer, sizeof buffer, &got, nullptr))
      return GetLastError() == ERROR_BROKEN_PIPE ? std::optional(bytes) : std::nullopt;  // the writer has ended
    if (got == 0) return bytes;
    bytes.append(buffer, got);
  }
}

std::optional<std::string> ReadWholeFile(TextView path) {
  const UniqueFileHandle file(CreateFileW(Wide(Text(path)), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  return ReadAll(file.get());
}

// Standard input: typed on a console up to a Ctrl+Z, else read to its end; none when it is
// closed or a read fails.
std::optional<std::string> ReadInput() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr || input == INVALID_HANDLE_VALUE) return std::nullopt;
  if (!IsConsole(input)) return ReadAll(input);
  Text typed;
  wchar_t buffer[4096];
  for (DWORD got = 0; typed.find(u'\x1A') == Text::npos && ReadConsoleW(input, buffer, 4096, &got, nullptr) && got > 0;)
    typed.append(reinterpret_cast<const char16_t*>(buffer), got);
  return TextToUtf8(TextView(typed).substr(0, typed.find(u'\x1A')));
}

// The full path of a file named on the command line; empty on failure.
Text FullPath(TextView path) {
  const Text given(path);
  const DWORD size = GetFullPathNameW(Wide(given), 0, nullptr, nullptr);
  if (size == 0) return Text();
  std::vector<wchar_t> full(size);
  const DWORD length = GetFullPathNameW(Wide(given), size, full.data(), nullptr);
  return length == 0 || length >= size ? Text() : Text(reinterpret_cast<const char16_t*>(full.data()), length);
}

// A device's full path ("NUL" and "CON" are "\\.\NUL" and "\\.\CON"): written as it is,
// not replaced through a temporary file.
bool IsDevice(const Text& full) { return full.starts_with(u"\\\\.\\"); }

// The device opened for writing; none when it cannot be.
appcensus::UniqueFileHandle OpenDevice(const Text& full) {
  return appcensus::UniqueFileHandle(CreateFileW(Wide(full), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool WriteWholeFile(TextView path, std::string_view bytes) {
  // The export's writer puts a temporary file beside the target: it needs the full path.
  const Text full = FullPath(path);
  if (IsDevice(full)) {
    appcensus::UniqueFileHandle device = OpenDevice(full);
    const bool written = WriteBytes(device.get(), IsConsole(device.get()), bytes);
    return device.close() && written;
  }
  appcensus::Win32ExportFileWriter writer{Text()};
  return !full.empty() && writer.WriteWholeFile(full, bytes);
}

// Whether WriteWholeFile may succeed: the file's folder takes a new file (one is made and
// removed), and the file is neither a folder nor read-only; a device opens for writing.
bool CanWriteFile(TextView path) {
  const Text full = FullPath(path);
  if (full.empty()) return false;
  if (IsDevice(full)) return static_cast<bool>(OpenDevice(full));
  const DWORD attributes = GetFileAttributesW(Wide(full));
  const DWORD refused = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & refused) != 0) return false;
  const Text folder = full.substr(0, full.find_last_of(u"\\/") + 1);
  wchar_t probe[MAX_PATH + 1] = {};
  if (GetTempFileNameW(Wide(folder), L"apc", 0, probe) == 0) return false;
  DeleteFileW(probe);
  return true;
}

// The volume and index of an existing file; none when it cannot be opened.
std::optional<std::tuple<DWORD, DWORD, DWORD>> FileIdentity(const Text& full) {
  const appcensus::UniqueFileHandle file(CreateFileW(Wide(full), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION information{};
  if (!file || !GetFileInformationByHandle(file.get(), &information)) return std::nullopt;
  return std::tuple(information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow);
}

bool SameFile(TextView first, TextView second) {
  const Text a = FullPath(first);
  const Text b = FullPath(second);
  if (a.empty() || b.empty() || IsDevice(a) || IsDevice(b)) return false;
  const auto identityA = FileIdentity(a);
  const auto identityB = FileIdentity(b);
  if (identityA || identityB) return identityA == identityB;
  return UpperCase(a) == UpperCase(b);  // neither exists yet
}

// The account of a user hive's security identifier, as the machine names it.
Text LookUpAccountName(TextView machine, TextView sid) {
  PSID binary = nullptr;
  if (!ConvertStringSidToSidW(Wide(Text(sid)), &binary)) return Text();
  wchar_t name[256] = {};
  wchar_t domain[256] = {};
  DWORD nameLength = 256;
  DWORD domainLength = 256;
  SID_NAME_USE use;
  const Text system(machine);
  const BOOL found = LookupAccountSidW(machine == u"." ? nullptr : Wide(system), binary,
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
  environment.writeOutput = [=](std::string_view bytes) { return WriteBytes(output, outputIsConsole, bytes); };
  environment.writeError = [=](std::string_view bytes) { WriteBytes(error, errorIsConsole, bytes); };
  environment.errorIsConsole = errorIsConsole;
  environment.canWriteFile = CanWriteFile;
  environment.writeFile = WriteWholeFile;
  environment.sameFile = SameFile;
  environment.readFile = ReadWholeFile;
  environment.readInput = ReadInput;
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
