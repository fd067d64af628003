#include "tools/gui_driver_win32.h"

#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <utility>

#include "ui/gadget_names.h"

namespace appcensus::driver {

namespace {

constexpr wchar_t kWindowTitle[] = L"Brelmont Appcensus v3.133";

std::wstring ProgramPath(const wchar_t* program) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self);
  path.erase(path.find_last_of(L"\\/") + 1);
  return path + program;
}

struct WindowSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindProgramWindow(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  wchar_t title[64] = {};
  GetWindowTextW(hwnd, title, 64);
  if (owner == search->processId && std::wstring(title) == kWindowTitle) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

// ---- program --------------------------------------------------------------------------

RunningProgram::~RunningProgram() {
  if (Running() && Close() < 0) TerminateProcess(process_.hProcess, 1);
  if (process_.hProcess) CloseHandle(process_.hProcess);
  if (process_.hThread) CloseHandle(process_.hThread);
}

bool RunningProgram::Start(const wchar_t* program, DWORD timeoutMs) {
  std::wstring path = ProgramPath(program);
  std::wstring commandLine = L"\"" + path + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process_))
    return false;
  WaitForInputIdle(process_.hProcess, timeoutMs);
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < timeoutMs) {
    // The window's title is what a user sees; find the one of this process by it.
    WindowSearch search{process_.dwProcessId, nullptr};
    EnumWindows(FindProgramWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found && IsWindowVisible(search.found)) {
      window_ = search.found;
      Settle(window_);
      return true;
    }
    if (!Running()) return false;
    Sleep(50);
  }
  return false;
}

bool RunningProgram::Running() const {
  return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

long RunningProgram::Close(DWORD timeoutMs) {
  if (!process_.hProcess) return -1;
  if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  return static_cast<long>(code);
}

void Settle(HWND window) {
  // A message sent from another thread may be handled before messages posted earlier; two
  // round trips with a short pause let the program's posted work run in between.
  DWORD_PTR result = 0;
  for (int i = 0; i < 2; ++i) {
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
    Sleep(30);
  }
}

// ---- remote memory --------------------------------------------------------------------

RemoteBuffer::RemoteBuffer(HANDLE process, std::size_t size) : process_(process), size_(size) {
  address_ = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

RemoteBuffer::~RemoteBuffer() {
  if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
}

bool RemoteBuffer::Write(const void* data, std::size_t size, std::size_t offset) {
  SIZE_T written = 0;
  return address_ && offset + size <= size_ &&
         WriteProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, &written) && written == size;
}

bool RemoteBuffer::Read(void* data, std::size_t size, std::size_t offset) const {
  SIZE_T read = 0;
  return address_ && offset + size <= size_ &&
         ReadProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, &read) && read == size;
}

std::wstring RemoteBuffer::ReadText(std::size_t offset, std::size_t maxChars) const {
  std::wstring text(maxChars, L'\0');
  if (!Read(text.data(), maxChars * sizeof(wchar_t), offset)) return L"<unreadable>";
  text.resize(std::find(text.begin(), text.end(), L'\0') - text.begin());
  return text;
}

// ---- driver -------------------------------------------------------------------------------

namespace {

struct GadgetSearch {
  int id;
  HWND found;
};

// A function of the system's calling convention, which a lambda is not on 32-bit Windows.
BOOL CALLBACK FindGadget(HWND child, LPARAM data) {
  auto* search = reinterpret_cast<GadgetSearch*>(data);
  if (GetDlgCtrlID(child) != search->id) return TRUE;
  search->found = child;
  return FALSE;
}

}  // namespace

HWND Driver::Gadget(const wchar_t* name) const {
  const std::u16string key(name, name + wcslen(name));
  if (key == kMainWindow) return window_;
  GadgetSearch search{GadgetControlId(key.c_str()), nullptr};
  if (search.id == 0) return nullptr;
  // Gadgets on the panel's pages are grandchildren of the window: every descendant is visited.
  EnumChildWindows(window_, FindGadget, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

RECT Driver::RectInParent(HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

SIZE Driver::InnerSize(HWND window) {
  RECT r{};
  GetClientRect(window, &r);
  return {r.right, r.bottom};
}

void Driver::SetInnerSize(HWND window, int width, int height) {
  RECT outer{0, 0, width, height};
  AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)));
  SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  Settle(window);
}

std::wstring Driver::ClassName(HWND control) {
  wchar_t name[128] = {};
  GetClassNameW(control, name, 128);
  return name;
}

std::wstring Driver::Text(HWND control) {
  wchar_t text[512] = {};
  SendMessageW(control, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));  // marshalled by the system
  return text;
}

std::wstring Driver::ColumnTitle(HWND list, int column) const {
  RemoteBuffer remote(process_, sizeof(LVCOLUMNW) + 512);
  LVCOLUMNW request{};
  request.mask = LVCF_TEXT;
  request.pszText = reinterpret_cast<LPWSTR>(remote.Param(sizeof(LVCOLUMNW)));
  request.cchTextMax = 255;
  remote.Write(&request, sizeof(request));
  if (!SendMessageW(list, LVM_GETCOLUMNW, column, remote.Param())) return L"<none>";
  return remote.ReadText(sizeof(LVCOLUMNW), 255);
}

int Driver::ColumnWidth(HWND list, int column) const {
  return static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0));
}

int Driver::StringWidth(HWND list, const std::wstring& text) const {
  RemoteBuffer remote(process_, (text.size() + 1) * sizeof(wchar_t));
  remote.Write(text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  return static_cast<int>(SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, remote.Param()));
}

int Driver::RowCount(HWND list) const { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

std::wstring Driver::CellText(HWND list, int row, int column) const {
  RemoteBuffer remote(process_, sizeof(LVITEMW) + 1024);
  LVITEMW request{};
  request.iSubItem = column;
  request.pszText = reinterpret_cast<LPWSTR>(remote.Param(sizeof(LVITEMW)));
  request.cchTextMax = 511;
  remote.Write(&request, sizeof(request));
  SendMessageW(list, LVM_GETITEMTEXTW, row, remote.Param());
  return remote.ReadText(sizeof(LVITEMW), 511);
}

LPARAM Driver::RowData(HWND list, int row) const {
  RemoteBuffer remote(process_, sizeof(LVITEMW));
  LVITEMW request{};
  request.mask = LVIF_PARAM;
  request.iItem = row;
  remote.Write(&request, sizeof(request));
  SendMessageW(list, LVM_GETITEMW, 0, remote.Param());
  remote.Read(&request, sizeof(request));
  return request.lParam;
}

int Driver::RowImage(HWND list, int row) const {
  RemoteBuffer remote(process_, sizeof(LVITEMW));
  LVITEMW request{};
  request.mask = LVIF_IMAGE;
  request.iItem = row;
  remote.Write(&request, sizeof(request));
  SendMessageW(list, LVM_GETITEMW, 0, remote.Param());
  remote.Read(&request, sizeof(request));
  return request.iImage;
}

int Driver::SelectedRow(HWND list) const {
  return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

RECT Driver::RowRect(HWND list, int row) const {
  RemoteBuffer remote(process_, sizeof(RECT));
  RECT r{LVIR_BOUNDS, 0, 0, 0};
  remote.Write(&r, sizeof(r));
  if (!SendMessageW(list, LVM_GETITEMRECT, row, remote.Param())) return RECT{};
  remote.Read(&r, sizeof(r));
  return r;
}

RECT Driver::ColumnTitleRect(HWND list, int column) const {
  RemoteBuffer remote(process_, sizeof(RECT));
  RECT r{};
  if (!SendMessageW(Header(list), HDM_GETITEMRECT, column, remote.Param())) return RECT{};
  remote.Read(&r, sizeof(r));
  return r;
}

int Driver::ColumnTitleFormat(HWND list, int column) const {
  RemoteBuffer remote(process_, sizeof(HDITEMW));
  HDITEMW item{};
  item.mask = HDI_FORMAT;
  remote.Write(&item, sizeof(item));
  if (!SendMessageW(Header(list), HDM_GETITEMW, column, remote.Param())) return -1;
  remote.Read(&item, sizeof(item));
  return item.fmt;
}

std::vector<HTREEITEM> Driver::TreeNodes(HWND tree) const {
  std::vector<HTREEITEM> nodes;
  auto next = [tree](HTREEITEM item, UINT how) {
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
  };
  // Depth first, as the nodes stand from top to bottom when every branch is open.
  for (HTREEITEM root = next(nullptr, TVGN_ROOT); root; root = next(root, TVGN_NEXT)) {
    nodes.push_back(root);
    for (HTREEITEM child = next(root, TVGN_CHILD); child; child = next(child, TVGN_NEXT)) nodes.push_back(child);
  }
  return nodes;
}

std::wstring Driver::NodeText(HWND tree, HTREEITEM node) const {
  RemoteBuffer remote(process_, sizeof(TVITEMW) + 1024);
  TVITEMW request{};
  request.mask = TVIF_TEXT | TVIF_HANDLE;
  request.hItem = node;
  request.pszText = reinterpret_cast<LPWSTR>(remote.Param(sizeof(TVITEMW)));
  request.cchTextMax = 511;
  remote.Write(&request, sizeof(request));
  SendMessageW(tree, TVM_GETITEMW, 0, remote.Param());
  return remote.ReadText(sizeof(TVITEMW), 511);
}

int Driver::NodeImage(HWND tree, HTREEITEM node) const {
  RemoteBuffer remote(process_, sizeof(TVITEMW));
  TVITEMW request{};
  request.mask = TVIF_IMAGE | TVIF_HANDLE;
  request.hItem = node;
  remote.Write(&request, sizeof(request));
  SendMessageW(tree, TVM_GETITEMW, 0, remote.Param());
  remote.Read(&request, sizeof(request));
  return request.iImage;
}

bool Driver::NodeExpanded(HWND tree, HTREEITEM node) const {
  return (SendMessageW(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(node), TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
}

HTREEITEM Driver::SelectedNode(HWND tree) const {
  return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
}

RECT Driver::NodeRect(HWND tree, HTREEITEM node) const {
  // TVM_GETITEMRECT takes the item in the rectangle it fills.
  RemoteBuffer remote(process_, sizeof(RECT));
  RECT r{};
  std::memcpy(&r, &node, sizeof(node));
  remote.Write(&r, sizeof(r));
  if (!SendMessageW(tree, TVM_GETITEMRECT, TRUE, remote.Param())) return RECT{};
  remote.Read(&r, sizeof(r));
  return r;
}

int Driver::TabCount(HWND tab) const { return static_cast<int>(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0)); }

RECT Driver::TabRect(HWND tab, int index) const {
  RemoteBuffer remote(process_, sizeof(RECT));
  RECT r{};
  SendMessageW(tab, TCM_GETITEMRECT, index, remote.Param());
  remote.Read(&r, sizeof(r));
  return r;
}

void Driver::ClickTab(HWND tab, int index) const {
  const RECT r = TabRect(tab, index);
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  SendMessageW(tab, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(tab, WM_LBUTTONUP, 0, at);
  Settle(GetAncestor(tab, GA_ROOT));
}

std::wstring Driver::StatusText(HWND status, int field) const {
  RemoteBuffer remote(process_, 1024);
  SendMessageW(status, SB_GETTEXTW, field, remote.Param());
  return remote.ReadText(0, 511);
}

LRESULT Driver::OwnerDrawnFieldData(HWND status, int field) const {
  RemoteBuffer remote(process_, 1024);
  return SendMessageW(status, SB_GETTEXTW, field, remote.Param());
}

RECT Driver::StatusFieldRect(HWND status, int field) const {
  RemoteBuffer remote(process_, sizeof(RECT));
  RECT r{};
  SendMessageW(status, SB_GETRECT, field, remote.Param());
  remote.Read(&r, sizeof(r));
  return r;
}

std::vector<std::wstring> Driver::ActivityRows() const {
  HWND activity = Gadget(L"LST_Activite");
  std::vector<std::wstring> rows;
  const int count = RowCount(activity);
  for (int row = 0; row < count; ++row) rows.push_back(CellText(activity, row, 0));
  return rows;
}

int Driver::WaitForActivityRow(const std::wstring& text, int fromRow, DWORD timeoutMs) const {
  HWND activity = Gadget(L"LST_Activite");
  const DWORD start = GetTickCount();
  int next = fromRow;
  for (;;) {
    const int count = RowCount(activity);
    for (; next < count; ++next)
      if (CellText(activity, next, 0) == text) return next;
    if (GetTickCount() - start >= timeoutMs) return -1;
    Sleep(50);
  }
}

void Driver::Retype(HWND edit, const std::wstring& text) {
  SendMessageW(edit, EM_SETSEL, 0, -1);
  SendMessageW(edit, WM_CHAR, VK_BACK, 1);
  Type(edit, text);
}

namespace {

void PostMouse(HWND control, POINT at, std::initializer_list<std::pair<UINT, WPARAM>> messages) {
  POINT screen = at;
  ClientToScreen(control, &screen);
  SetCursorPos(screen.x, screen.y);
  const LPARAM where = MAKELPARAM(at.x, at.y);
  for (const auto& [message, keys] : messages) PostMessageW(control, message, keys, where);
  Settle(GetAncestor(control, GA_ROOT));
}

}  // namespace

void Driver::LeftClickAt(HWND control, POINT at) {
  PostMouse(control, at, {{WM_LBUTTONDOWN, MK_LBUTTON}, {WM_LBUTTONUP, 0}});
}

void Driver::LeftDoubleClickAt(HWND control, POINT at) {
  PostMouse(control, at,
            {{WM_LBUTTONDOWN, MK_LBUTTON}, {WM_LBUTTONUP, 0}, {WM_LBUTTONDBLCLK, MK_LBUTTON}, {WM_LBUTTONUP, 0}});
}

void Driver::RightClickAt(HWND control, POINT at) {
  PostMouse(control, at, {{WM_RBUTTONDOWN, MK_RBUTTON}, {WM_RBUTTONUP, 0}});
}

void Driver::RightDoubleClickAt(HWND control, POINT at) {
  PostMouse(control, at,
            {{WM_RBUTTONDOWN, MK_RBUTTON}, {WM_RBUTTONUP, 0}, {WM_RBUTTONDBLCLK, MK_RBUTTON}, {WM_RBUTTONUP, 0}});
}

#if defined(_M_X64) || defined(__x86_64__)
namespace {

// The address of a user32 function inside another process: the same offset from the
// module's base as here.
void* RemoteUser32Function(HANDLE process, const char* function) {
  const HMODULE local = GetModuleHandleW(L"user32.dll");
  const FARPROC here = GetProcAddress(local, function);
  if (!here) return nullptr;
  const auto offset = reinterpret_cast<const char*>(here) - reinterpret_cast<const char*>(local);
  HMODULE modules[512];
  DWORD bytes = 0;
  if (!EnumProcessModulesEx(process, modules, sizeof modules, &bytes, LIST_MODULES_ALL)) return nullptr;
  for (DWORD i = 0; i < bytes / sizeof(HMODULE); ++i) {
    wchar_t name[MAX_PATH] = {};
    if (GetModuleBaseNameW(process, modules[i], name, MAX_PATH) && lstrcmpiW(name, L"user32.dll") == 0)
      return reinterpret_cast<char*>(modules[i]) + offset;
  }
  return nullptr;
}

}  // namespace
#endif

bool Driver::CallUser32(const char* function, std::uint64_t a, std::uint64_t b, std::uint64_t c, std::uint64_t d,
                        DWORD* result, const void* data, std::size_t dataSize, std::uint64_t* dataAddress) const {
#if defined(_M_X64) || defined(__x86_64__)
  void* target = RemoteUser32Function(process_, function);
  if (!target) return false;
  // The data first, then the thread's code: function(a, b, c, d), its result as the thread's
  // exit code.
  constexpr std::size_t kCode = 512;
  if (dataSize > kCode) return false;
  RemoteBuffer remote(process_, kCode + 256);
  if (data && !remote.Write(data, dataSize)) return false;
  const std::uint64_t base = static_cast<std::uint64_t>(remote.Param());
  const auto argument = [&](std::uint64_t value) { return value == kDataAddress ? base : value; };
  if (dataAddress) *dataAddress = base;
  std::vector<unsigned char> thunk = {0x48, 0x83, 0xEC, 0x28};  // sub rsp, 40
  const auto load = [&thunk](std::initializer_list<unsigned char> opcode, std::uint64_t value) {
    thunk.insert(thunk.end(), opcode);
    for (int i = 0; i < 8; ++i) thunk.push_back(static_cast<unsigned char>(value >> (8 * i)));
  };
  load({0x48, 0xB9}, argument(a));                                  // mov rcx, a
  load({0x48, 0xBA}, argument(b));                                  // mov rdx, b
  load({0x49, 0xB8}, argument(c));                                  // mov r8, c
  load({0x49, 0xB9}, argument(d));                                  // mov r9, d
  load({0x48, 0xB8}, reinterpret_cast<std::uint64_t>(target));      // mov rax, function
  thunk.insert(thunk.end(), {0xFF, 0xD0, 0x48, 0x83, 0xC4, 0x28, 0xC3});  // call rax; add rsp, 40; ret
  char* code = static_cast<char*>(remote.Address()) + kCode;
  DWORD oldProtection = 0;
  if (!remote.Write(thunk.data(), thunk.size(), kCode) ||
      !VirtualProtectEx(process_, code, thunk.size(), PAGE_EXECUTE_READWRITE, &oldProtection))
    return false;
  FlushInstructionCache(process_, code, thunk.size());
  HANDLE thread =
      CreateRemoteThread(process_, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(code), nullptr, 0, nullptr);
  if (!thread) return false;
  const bool ended = WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0;
  DWORD exitCode = 0;
  GetExitCodeThread(thread, &exitCode);
  CloseHandle(thread);
  if (result) *result = exitCode;
  return ended;
#else
  (void)function, (void)a, (void)b, (void)c, (void)d, (void)result, (void)data, (void)dataSize, (void)dataAddress;
  return false;
#endif
}

bool Driver::PressKeys(std::initializer_list<WORD> keys) const {
  // Keyboard input goes to the foreground window's thread; the program is asked to come to the
  // front from inside (another process may not take the foreground from it).
  CallUser32("SetForegroundWindow", reinterpret_cast<std::uint64_t>(window_), 0, 0, 0);
  std::vector<INPUT> inputs;
  for (WORD key : keys) inputs.push_back(INPUT{INPUT_KEYBOARD, {.ki = {key, 0, 0, 0, 0}}});
  for (auto key = std::rbegin(keys); key != std::rend(keys); ++key)
    inputs.push_back(INPUT{INPUT_KEYBOARD, {.ki = {*key, 0, KEYEVENTF_KEYUP, 0, 0}}});
  const bool sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
  Settle(window_);
  return sent;
}

bool Driver::NotifyParent(HWND control, UINT code) const {
  const NMHDR header{control, static_cast<UINT_PTR>(GetDlgCtrlID(control)), code};
  const bool sent = CallUser32("SendMessageW", reinterpret_cast<std::uint64_t>(GetParent(control)), WM_NOTIFY,
                               header.idFrom, kDataAddress, nullptr, &header, sizeof header);
  Settle(GetAncestor(control, GA_ROOT));
  return sent;
}

std::wstring ClipboardText() {
  std::wstring text = L"<none>";
  for (int attempt = 0; attempt < 50 && !OpenClipboard(nullptr); ++attempt) Sleep(20);
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

void SetClipboardText(const std::wstring& text) {
  for (int attempt = 0; attempt < 50 && !OpenClipboard(nullptr); ++attempt) Sleep(20);
  EmptyClipboard();
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    std::memcpy(GlobalLock(memory), text.c_str(), bytes);
    GlobalUnlock(memory);
    if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
  }
  CloseClipboard();
}

void Driver::Type(HWND control, const std::wstring& text) {
  for (wchar_t c : text) SendMessageW(control, WM_CHAR, c, 1);
}

void Driver::Click(HWND button) {
  SendMessageW(button, BM_CLICK, 0, 0);
}

}  // namespace appcensus::driver
