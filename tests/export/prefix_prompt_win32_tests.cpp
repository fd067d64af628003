// The prefix prompt, answered the way a user does: keys posted to its edit box, or the
// close box. The dialog runs on a thread of its own and is found there by its title.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "core/shared_state.h"
#include "export/export_win32.h"

namespace appcensus {
namespace {

constexpr char16_t kPreset[] = u"ExportGlobale";

struct FoundDialog {
  HWND dialog = nullptr;
  HWND edit = nullptr;
};

BOOL CALLBACK TakeDialog(HWND window, LPARAM found) {
  wchar_t title[128] = {};
  wchar_t className[32] = {};
  GetWindowTextW(window, title, 128);
  GetClassNameW(window, className, 32);
  const Text expected = WindowTitle();
  if (Text(reinterpret_cast<const char16_t*>(title)) == expected && lstrcmpW(className, L"#32770") == 0) {
    reinterpret_cast<FoundDialog*>(found)->dialog = window;
    return FALSE;
  }
  return TRUE;
}

Text EditText(HWND edit) {
  wchar_t buffer[256] = {};
  GetWindowTextW(edit, buffer, 256);
  return Text(reinterpret_cast<const char16_t*>(buffer));
}

// Shows the prompt on a thread of its own, lets `answer` act on it, and gives its result.
template <class Answer>
Text AskAndAnswer(Answer answer) {
  std::atomic<DWORD> threadId{0};
  std::promise<Text> result;
  std::thread asker([&] {
    threadId = GetCurrentThreadId();
    result.set_value(AskTextDialog(nullptr, WindowTitle(), u"indiquer un prefix de nom de fichier pour l'export.", kPreset));
  });
  std::future<Text> answered = result.get_future();

  FoundDialog found;
  for (int i = 0; i < 200 && !found.dialog; ++i) {
    if (answered.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready) break;  // no dialog shown
    if (threadId != 0) EnumThreadWindows(threadId, TakeDialog, reinterpret_cast<LPARAM>(&found));
    if (!found.dialog) Sleep(50);
  }
  if (found.dialog) {
    found.edit = FindWindowExW(found.dialog, nullptr, L"Edit", nullptr);
    answer(found);
  } else {
    ADD_FAILURE() << "the prompt did not appear";
  }
  asker.join();
  return answered.get();
}

void PostKey(HWND window, WPARAM key) {
  PostMessageW(window, WM_KEYDOWN, key, 0);
  PostMessageW(window, WM_KEYUP, key, 0xC0000001);
}

TEST(PrefixPrompt, ShowsThePresetSelectedAndEnterConfirmsItUnchanged) {
  const Text answer = AskAndAnswer([](const FoundDialog& found) {
    ASSERT_NE(found.edit, nullptr);
    EXPECT_EQ(EditText(found.edit), kPreset);
    DWORD start = 1, end = 0;
    SendMessageW(found.edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 13u);
    EXPECT_NE(FindWindowExW(found.dialog, nullptr, L"Button", L"Annuler"), nullptr);
    PostKey(found.edit, VK_RETURN);
  });
  EXPECT_EQ(answer, kPreset);
}

TEST(PrefixPrompt, EnterGivesTheEditedText) {
  const Text answer = AskAndAnswer([](const FoundDialog& found) {
    SendMessageW(found.edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Salle \u00e9t\u00e9 2"));
    PostKey(found.edit, VK_RETURN);
  });
  EXPECT_EQ(answer, u"Salle \u00e9t\u00e9 2");
}

TEST(PrefixPrompt, OkButtonGivesTheEditedText) {
  const Text answer = AskAndAnswer([](const FoundDialog& found) {
    SendMessageW(found.edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Lot"));
    const HWND ok = FindWindowExW(found.dialog, nullptr, L"Button", L"OK");
    ASSERT_NE(ok, nullptr);
    PostMessageW(ok, BM_CLICK, 0, 0);
  });
  EXPECT_EQ(answer, u"Lot");
}

TEST(PrefixPrompt, EscapeGivesTheEmptyText) {
  const Text answer = AskAndAnswer([](const FoundDialog& found) {
    SendMessageW(found.edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"typed"));
    PostKey(found.edit, VK_ESCAPE);
  });
  EXPECT_EQ(answer, u"");
}

TEST(PrefixPrompt, CloseBoxGivesTheEmptyText) {
  const Text answer =
      AskAndAnswer([](const FoundDialog& found) { PostMessageW(found.dialog, WM_SYSCOMMAND, SC_CLOSE, 0); });
  EXPECT_EQ(answer, u"");
}

}  // namespace
}  // namespace appcensus
