// The export's Windows services on Wine: the file writer on a real file system, and the prefix
// prompt answered the way a user does, the dialog running on a thread of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <sstream>

#include "core/shared_state.h"
#include "export/export_win32.h"

namespace appcensus {
namespace {

namespace fs = std::filesystem;

const wchar_t* Wide(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

TEST(Win32ExportFileWriter, ReplacesAFileWholeOrLeavesItUntouched) {
  const fs::path folder = fs::temp_directory_path() / ("appcensus-export-" + std::to_string(GetCurrentProcessId()));
  const std::wstring wide = folder.wstring();
  Win32ExportFileWriter writer(Text(wide.begin(), wide.end()));
  const Text path = writer.PrepareFilePath(u"SRV2.csv");  // makes the folder
  const auto bytes = [&] { return (std::ostringstream() << std::ifstream(Wide(path), std::ios::binary).rdbuf()).str(); };
  ASSERT_TRUE(writer.WriteWholeFile(path, std::string(50000, 'o')));
  // Another program holds the file open without letting it be replaced.
  const HANDLE held = CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_FALSE(writer.WriteWholeFile(path, "new\r\n"));
  CloseHandle(held);
  EXPECT_EQ(bytes(), std::string(50000, 'o'));
  ASSERT_TRUE(writer.WriteWholeFile(path, "new\r\n"));
  EXPECT_EQ(bytes(), "new\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1) << "no temporary file left behind";
  fs::remove_all(folder);
}

// Shows the prompt, checks that it shows its preset selected, types `typed` when given, lets
// `answer` act on it and gives the prompt's result.
Text AskAndAnswer(const wchar_t* typed, const std::function<void(HWND dialog, HWND edit)>& answer) {
  std::future<Text> result = std::async(std::launch::async, [] {
    return AskTextDialog(nullptr, WindowTitle(), kPrefixPromptMessage, kPrefixPromptPreset);
  });
  const Text title = WindowTitle();
  HWND dialog = nullptr;
  for (int i = 0; i < 200 && !(dialog && IsWindowVisible(dialog)); ++i) {
    Sleep(50);
    dialog = FindWindowW(L"#32770", Wide(title));
  }
  const HWND edit = FindWindowExW(dialog, nullptr, L"Edit", nullptr);
  if (!edit) {
    ADD_FAILURE() << "the prompt did not appear";
    return result.get();
  }
  wchar_t shown[64] = {};
  GetWindowTextW(edit, shown, 64);
  DWORD start = 1, end = 0;
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(Text(reinterpret_cast<const char16_t*>(shown)), kPrefixPromptPreset);
  EXPECT_EQ(end - start, 13u) << "the preset is selected";
  if (typed) SetWindowTextW(edit, typed);
  answer(dialog, edit);
  return result.get();
}

TEST(PrefixPrompt, EnterAndOkGiveTheTextEscapeAndCloseTheEmptyText) {
  EXPECT_EQ(AskAndAnswer(nullptr, [](HWND, HWND edit) { PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 0); }),
            kPrefixPromptPreset);
  EXPECT_EQ(AskAndAnswer(L"Salle \u00e9t\u00e9",
                         [](HWND dialog, HWND) {
                           PostMessageW(FindWindowExW(dialog, nullptr, L"Button", L"OK"), BM_CLICK, 0, 0);
                         }),
            u"Salle \u00e9t\u00e9");
  EXPECT_EQ(AskAndAnswer(L"typed", [](HWND, HWND edit) { PostMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0); }), u"");
  EXPECT_EQ(AskAndAnswer(L"typed", [](HWND dialog, HWND) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }), u"");
}

}  // namespace
}  // namespace appcensus
