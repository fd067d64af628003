// The Win32 file writer and the program folder, on a real Windows file system (or Wine's).
#include <windows.h>

#include <gtest/gtest.h>

#include "export/export_win32.h"
#include "export_test_support.h"

namespace appcensus {
namespace {

namespace fs = std::filesystem;
using testing::PathText;
using testing::ReadFileBytes;

const wchar_t* Wide(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

std::size_t FileCount(const fs::path& folder) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(Win32ExportFileWriter, CreatesTheFolderAndReplacesAnExistingFileWhole) {
  testing::ScratchFolder scratch;
  const fs::path folder = scratch.Path() / "export";
  Win32ExportFileWriter writer(PathText(folder));
  const Text path = writer.PrepareFilePath(u"SRV2_14-05-09_06-12-2026.csv");
  EXPECT_EQ(path, PathText(folder) + u"\\SRV2_14-05-09_06-12-2026.csv");
  ASSERT_TRUE(fs::is_directory(folder));

  ASSERT_TRUE(writer.WriteWholeFile(path, std::string(50000, 'o') + "\r\n"));
  ASSERT_TRUE(writer.WriteWholeFile(path, "new\r\n"));
  EXPECT_EQ(ReadFileBytes(testing::TextPath(path)), "new\r\n");
  EXPECT_EQ(FileCount(folder), 1u) << "no temporary file left behind";
  EXPECT_EQ(writer.PrepareFilePath(u"x.csv"), PathText(folder) + u"\\x.csv") << "an existing folder is fine";
}

TEST(Win32ExportFileWriter, FailureLeavesTheOldFileAndNoTemporaryFile) {
  testing::ScratchFolder scratch;
  Win32ExportFileWriter writer(PathText(scratch.Path()));
  const Text path = writer.PrepareFilePath(u"held.csv");
  ASSERT_TRUE(writer.WriteWholeFile(path, "old content\r\n"));

  // Another program holds the file open without letting it be deleted or renamed.
  const HANDLE held = CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(writer.WriteWholeFile(path, "new\r\n"));
  CloseHandle(held);
  EXPECT_EQ(ReadFileBytes(testing::TextPath(path)), "old content\r\n");
  EXPECT_EQ(FileCount(scratch.Path()), 1u);

  // A folder where the export folder should be missing: nothing can be created.
  Win32ExportFileWriter lost(PathText(scratch.Path() / "missing" / "export"));
  EXPECT_FALSE(lost.WriteWholeFile(lost.PrepareFilePath(u"x.csv"), "x\r\n"));
}

TEST(ProgramFolder, ExportFolderLiesBesideTheProgramFile) {
  const Text folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(fs::exists(testing::TextPath(folder + u"\\export_tests.exe")));
  EXPECT_EQ(ExportFolderBesideProgram(), folder + u"\\export");
}

}  // namespace
}  // namespace appcensus
