// The prompt for the file-name prefix: a dialog built in memory, so the program needs no
// dialog resource for it.
#include <windows.h>

#include <vector>

#include "export/export_win32.h"
#include "core/win32_text.h"

namespace appcensus {

namespace {

constexpr WORD kMessageId = 100;
constexpr WORD kAnswerId = 101;
// Predefined window classes, by atom.
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kEditClass = 0x0081;
constexpr WORD kStaticClass = 0x0082;

// A DLGTEMPLATE with its items, laid out as DialogBoxIndirectParamW reads it.
class DialogTemplate {
 public:
  DialogTemplate(TextView title, short width, short height, WORD itemCount) {
    Dword(DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    Dword(0);  // extended style
    words_.push_back(itemCount);
    Coordinates(0, 0, width, height);
    words_.push_back(0);  // no menu
    words_.push_back(0);  // the standard dialog class
    String(title);
    words_.push_back(8);  // font size in points
    String(u"MS Shell Dlg");
  }

  void Item(WORD windowClass, WORD id, DWORD style, short x, short y, short width, short height, TextView text) {
    if (words_.size() % 2 != 0) words_.push_back(0);  // items start on a DWORD boundary
    Dword(style | WS_CHILD | WS_VISIBLE);
    Dword(0);
    Coordinates(x, y, width, height);
    words_.push_back(id);
    words_.push_back(0xFFFF);
    words_.push_back(windowClass);
    String(text);
    words_.push_back(0);  // no creation data
  }

  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Dword(DWORD value) {
    words_.push_back(LOWORD(value));
    words_.push_back(HIWORD(value));
  }
  void Coordinates(short x, short y, short width, short height) {
    for (short value : {x, y, width, height}) words_.push_back(static_cast<WORD>(value));
  }
  void String(TextView text) {
    words_.insert(words_.end(), text.begin(), text.end());
    words_.push_back(0);
  }

  std::vector<WORD> words_;
};

struct PromptAnswer {
  Text text;
};

void KeepAnswer(HWND dialog) {
  auto* answer = reinterpret_cast<PromptAnswer*>(GetWindowLongPtrW(dialog, DWLP_USER));
  const HWND edit = GetDlgItem(dialog, kAnswerId);
  const int length = GetWindowTextLengthW(edit);
  if (!answer || length <= 0) return;
  Text text(static_cast<std::size_t>(length) + 1, u'\0');
  const int copied = GetWindowTextW(edit, WideBuffer(text), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  answer->text = std::move(text);
}

void Confirm(HWND dialog) noexcept {
  try {
    KeepAnswer(dialog);
  } catch (...) {  // out of memory: the answer stays empty
  }
  EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK PromptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      const HWND edit = GetDlgItem(dialog, kAnswerId);
      SendMessageW(edit, EM_SETSEL, 0, -1);
      SetFocus(edit);
      return FALSE;  // focus set here
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:  // the OK button, or Enter
          Confirm(dialog);
          return TRUE;
        case IDCANCEL:  // Annuler, Escape, or the close box
          EndDialog(dialog, IDCANCEL);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

Text AskTextDialog(HWND owner, TextView title, TextView message, TextView preset) {
  try {
    DialogTemplate form(title, 230, 66, 4);
    form.Item(kStaticClass, kMessageId, SS_LEFT, 7, 7, 216, 10, message);
    form.Item(kEditClass, kAnswerId, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 7, 20, 216, 14, preset);
    form.Item(kButtonClass, IDOK, WS_TABSTOP | BS_DEFPUSHBUTTON, 117, 44, 50, 14, u"OK");
    form.Item(kButtonClass, IDCANCEL, WS_TABSTOP | BS_PUSHBUTTON, 173, 44, 50, 14, u"Annuler");

    PromptAnswer answer;
    const INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), form.Get(), owner, PromptProc,
                                                   reinterpret_cast<LPARAM>(&answer));
    return result == IDOK ? answer.text : Text();
  } catch (...) {  // out of memory: no answer
    return Text();
  }
}

}  // namespace appcensus
