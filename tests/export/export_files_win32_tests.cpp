// The Win32 file writer and the program folder, on a real Windows file system (or Wine's).
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "export/export_win32.h"

namespace appcensus {
namespace {

namespace fs = std::filesystem;

Text PathText(const fs::path& path) {
  const std::wstring wide = path.wstring();
  return Text(wide.begin(), wide.end());
}
const wchar_t* Wide(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

std::string FileBytes(const Text& path) {
  std::ifstream in(fs::path(Wide(path)), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class Win32ExportFileWriterTest : public ::testing::Test {
 protected:
  ~Win32ExportFileWriterTest() override { fs::remove_all(scratch); }
  std::ptrdiff_t FilesInFolder() const { return std::distance(fs::directory_iterator(folder), {}); }

  const fs::path scratch = fs::temp_directory_path() / ("appcensus-export-" + std::to_string(GetCurrentProcessId()));
  const fs::path folder = scratch / "export";  // made by the writer
  Win32ExportFileWriter writer{PathText(folder)};
};

TEST_F(Win32ExportFileWriterTest, CreatesTheFolderAndReplacesAFileWhole) {
  fs::create_directories(scratch);
  const Text path = writer.PrepareFilePath(u"SRV2.csv");
  EXPECT_EQ(path, PathText(folder) + u"\\SRV2.csv");
  ASSERT_TRUE(writer.WriteWholeFile(path, std::string(50000, 'o')));
  ASSERT_TRUE(writer.WriteWholeFile(path, "new\r\n"));
  EXPECT_EQ(FileBytes(path), "new\r\n");
  EXPECT_EQ(FilesInFolder(), 1) << "no temporary file left behind";
}

TEST_F(Win32ExportFileWriterTest, FailureLeavesTheOldFileWhole) {
  fs::create_directories(scratch);
  const Text path = writer.PrepareFilePath(u"held.csv");
  ASSERT_TRUE(writer.WriteWholeFile(path, "old\r\n"));
  // Another program holds the file open without letting it be deleted or renamed.
  const HANDLE held = CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(writer.WriteWholeFile(path, "new\r\n"));
  CloseHandle(held);
  EXPECT_EQ(FileBytes(path), "old\r\n");
  EXPECT_EQ(FilesInFolder(), 1);

  // The export folder cannot be made where its parent is missing: nothing is written.
  Win32ExportFileWriter lost(PathText(scratch / "missing" / "export"));
  EXPECT_FALSE(lost.WriteWholeFile(lost.PrepareFilePath(u"x.csv"), "x"));
}

TEST(ProgramFolder, HoldsTheProgramFile) {
  EXPECT_TRUE(fs::exists(fs::path(Wide(ProgramFolder() + u"\\export_tests.exe"))));
}

}  // namespace
}  // namespace appcensus
