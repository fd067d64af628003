// The export's Windows services on Wine: the file writer on a real file system, and the prefix
// prompt answered the way a user does, the dialog running on a thread of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>

#include "export/export_win32.h"
#include "core/win32_text.h"

namespace appcensus {
namespace {


TEST(Win32ExportFileWriter, ReplacesAFileWholeInOneStep) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "appcensus-export";
  std::filesystem::remove_all(folder);
  Win32ExportFileWriter writer(folder.u16string());
  const Text path = writer.PrepareFilePath(u"SRV2.csv");  // makes the folder
  ASSERT_TRUE(writer.WriteWholeFile(path, std::string(50000, 'o')));
  // Another program holds the file open without letting it be replaced: nothing is written.
  const HANDLE held = CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_FALSE(writer.WriteWholeFile(path, "new\r\n"));
  CloseHandle(held);
  ASSERT_TRUE(writer.WriteWholeFile(path, "new\r\n"));
  EXPECT_EQ((std::ostringstream() << std::ifstream(Wide(path), std::ios::binary).rdbuf()).str(), "new\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1) << "no temporary file left behind";
  std::filesystem::remove_all(folder);
}

// Shows the prompt, types `typed` (over the preset, which is selected), then posts `message` to
// the control of class `control` and title `title` (to the dialog when none), and gives the
// prompt's result.
Text AskAndAnswer(const wchar_t* typed, const wchar_t* control, const wchar_t* title, UINT message, WPARAM wParam) {
  std::future<Text> result = std::async(std::launch::async, [] {
    return AskTextDialog(nullptr, WindowTitle(), kPrefixPromptMessage, kPrefixPromptPreset);
  });
  HWND dialog = nullptr;  // found by its title once it shows (10 s at most)
  for (int i = 0; i < 200 && !IsWindowVisible(dialog); ++i, Sleep(50)) dialog = FindWindowW(L"#32770", Wide(WindowTitle()));
  const HWND edit = FindWindowExW(dialog, nullptr, L"Edit", nullptr);
  EXPECT_NE(edit, nullptr) << "the prompt did not appear";
  for (const wchar_t* c = typed; c && *c; ++c) PostMessageW(edit, WM_CHAR, *c, 0);
  PostMessageW(control ? FindWindowExW(dialog, nullptr, control, title) : dialog, message, wParam, 0);
  return result.get();
}

TEST(PrefixPrompt, EnterAndOkGiveTheTextEscapeAndCloseTheEmptyText) {
  EXPECT_EQ(AskAndAnswer(nullptr, L"Edit", nullptr, WM_KEYDOWN, VK_RETURN), kPrefixPromptPreset);
  EXPECT_EQ(AskAndAnswer(L"Salle \u00e9t\u00e9", L"Button", L"OK", BM_CLICK, 0), u"Salle \u00e9t\u00e9");
  EXPECT_EQ(AskAndAnswer(L"typed", L"Edit", nullptr, WM_KEYDOWN, VK_ESCAPE), u"");
  EXPECT_EQ(AskAndAnswer(L"typed", nullptr, nullptr, WM_SYSCOMMAND, SC_CLOSE), u"");  // the close box
}

}  // namespace
}  // namespace appcensus
