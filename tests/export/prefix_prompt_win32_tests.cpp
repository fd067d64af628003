// The prefix prompt, answered the way a user does: keys posted to its edit box, a click on OK
// or the close box. The dialog runs on a thread of its own and is found by its title.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <future>

#include "core/shared_state.h"
#include "export/export_win32.h"

namespace appcensus {
namespace {

constexpr char16_t kPreset[] = u"ExportGlobale";

void PostKey(HWND window, WPARAM key) {
  PostMessageW(window, WM_KEYDOWN, key, 0);
  PostMessageW(window, WM_KEYUP, key, 0xC0000001);
}

// Shows the prompt, checks that it shows the preset selected, lets `act` answer it and
// gives the prompt's result.
Text AskAndAnswer(const std::function<void(HWND dialog, HWND edit)>& act) {
  std::future<Text> answered = std::async(std::launch::async, [] {
    return AskTextDialog(nullptr, WindowTitle(), kPrefixPromptMessage, kPreset);
  });
  const Text title = WindowTitle();
  HWND dialog = nullptr;
  for (int i = 0; i < 200 && !(dialog && IsWindowVisible(dialog)); ++i) {
    Sleep(50);
    dialog = FindWindowW(L"#32770", reinterpret_cast<const wchar_t*>(title.c_str()));
  }
  const HWND edit = FindWindowExW(dialog, nullptr, L"Edit", nullptr);
  if (!dialog || !edit) {
    ADD_FAILURE() << "the prompt did not appear";
    return answered.get();
  }
  wchar_t shown[64] = {};
  GetWindowTextW(edit, shown, 64);
  EXPECT_EQ(Text(reinterpret_cast<const char16_t*>(shown)), kPreset);
  DWORD start = 1, end = 0;
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(end - start, 13u) << "the preset is selected";
  act(dialog, edit);
  return answered.get();
}

TEST(PrefixPrompt, EnterAndOkGiveTheTextEscapeAndCloseTheEmptyText) {
  const struct {
    const char* how;
    std::function<void(HWND, HWND)> act;
    const char16_t* answer;
  } cases[] = {
      {"Enter on the preset", [](HWND, HWND edit) { PostKey(edit, VK_RETURN); }, kPreset},
      {"OK on a typed text",
       [](HWND dialog, HWND edit) {
         SetWindowTextW(edit, L"Salle \u00e9t\u00e9 2");
         PostMessageW(FindWindowExW(dialog, nullptr, L"Button", L"OK"), BM_CLICK, 0, 0);
       },
       u"Salle \u00e9t\u00e9 2"},
      {"Escape on a typed text",
       [](HWND, HWND edit) {
         SetWindowTextW(edit, L"typed");
         PostKey(edit, VK_ESCAPE);
       },
       u""},
      {"close box", [](HWND dialog, HWND) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }, u""},
  };
  for (const auto& c : cases) EXPECT_EQ(AskAndAnswer(c.act), c.answer) << c.how;
}

}  // namespace
}  // namespace appcensus
