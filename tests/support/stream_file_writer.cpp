#include "tests/support/stream_file_writer.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace appcensus {

namespace fs = std::filesystem;

Text StreamExportFileWriter::PrepareFilePath(TextView fileName) {
  std::error_code ignored;
  fs::create_directory(fs::path(TextToUtf8(folder_)), ignored);
  return folder_ + u"/" + Text(fileName);
}

bool StreamExportFileWriter::WriteWholeFile(TextView path, std::string_view bytes) {
  const fs::path target(TextToUtf8(path));
  fs::path partial = target;
  partial += ".part";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      fs::remove(partial, ignored);
      return false;
    }
  }
  std::error_code error;
  fs::rename(partial, target, error);  // replaces the target in one step
  if (error) {
    std::error_code ignored;
    fs::remove(partial, ignored);
    return false;
  }
  return true;
}

}  // namespace appcensus
