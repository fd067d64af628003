#include "export_test_support.h"

#include <atomic>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include "export/export_win32.h"
#else
#include <unistd.h>

#include "tests/support/stream_file_writer.h"
#endif

namespace appcensus::testing {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
  static std::atomic<int> serial{0};
#ifdef _WIN32
  const long process = static_cast<long>(GetCurrentProcessId());
#else
  const long process = static_cast<long>(getpid());
#endif
  path_ = fs::temp_directory_path() /
          ("appcensus-export-" + std::to_string(process) + "-" + std::to_string(serial++));
  fs::remove_all(path_);
  fs::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

#ifdef _WIN32
Text PathText(const fs::path& path) {
  const std::wstring wide = path.wstring();
  return Text(wide.begin(), wide.end());
}
fs::path TextPath(TextView text) { return fs::path(std::wstring(text.begin(), text.end())); }
std::unique_ptr<ExportFileWriter> PlatformWriter(const fs::path& folder) {
  return std::make_unique<Win32ExportFileWriter>(PathText(folder));
}
#else
Text PathText(const fs::path& path) { return Utf8ToText(path.string()); }
fs::path TextPath(TextView text) { return fs::path(TextToUtf8(text)); }
std::unique_ptr<ExportFileWriter> PlatformWriter(const fs::path& folder) {
  return std::make_unique<StreamExportFileWriter>(PathText(folder));
}
#endif

std::optional<std::string> ReadFileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteFileBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

ApplicationRecord SampleRecord(TextView name, TextView keyName, TextView machine) {
  ApplicationRecord record;
  record.DisplayName = Text(name);
  record.DisplayVersion = u"1.0";
  record.InstallSource = u" - ";
  record.InstallDate = u"06/12/2026";
  record.UninstallString = u"MsiExec.exe /X" + Text(keyName);
  record.InstallLocation = u"C:\\Program Files\\" + Text(name);
  record.ProductCode = Text(keyName);
  record.Machine = Text(machine);
  record.KeyName = Text(keyName);
  return record;
}

}  // namespace appcensus::testing
