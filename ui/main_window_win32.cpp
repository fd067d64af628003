#include "ui/main_window_win32.h"

#include <commctrl.h>

#include <array>
#include <memory>

#include "core/shared_state.h"
#include "ui/commands_win32.h"
#include "ui/gadgets_win32.h"
#include "ui/icons_win32.h"
#include "ui/main_views.h"
#include "ui/named_ids.h"
#include "ui/window_layout.h"

namespace appcensus {

namespace {

constexpr wchar_t kMainWindowClass[] = L"AppcensusMainWindow";
constexpr wchar_t kTabPageClass[] = L"AppcensusTabPage";
constexpr DWORD kMainWindowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

struct ColumnSpec {
  const wchar_t* title;
  int width;
};
constexpr std::array<ColumnSpec, 9> kColumns = {{
    {L"Nom de l'application", 150},
    {L"Version", 100},
    {L"Identité", 100},
    {L"Date d'installation", 100},
    {L"Source d'installation", 100},
    {L"Destination d'installation", 100},
    {L"Commande de désinstallation", 100},
    {L"Emplacement dans la base de registre", 100},
    {L"Machine", 300},
}};
constexpr const wchar_t* kTabNames[3] = {L"Tableau", L"Arborescence", L"Activité"};

// Everything the window keeps; one window per process, reached through GWLP_USERDATA.
struct MainWindow {
  HWND window = nullptr;
  HWND statusBar = nullptr;
  HWND progressBar = nullptr;
  HWND panel = nullptr;
  HWND pages[3] = {};
  HWND table = nullptr;
  HWND tree = nullptr;
  HWND activity = nullptr;
  HWND searchField = nullptr;
  HWND timeLimitField = nullptr;
  SIZE minimumOuterSize{};
  UniqueFont tahomaBold;
  UniqueFont arial;
  UniqueFont controlFont;
  UniqueIcon searchIcon;
  UniqueIcon requestIcon;
  Win32Gadgets gadgets;
  UINT namedIdQuery = 0;
  int nextControlId = 1000;
};

std::unique_ptr<MainWindow>& TheWindow() {
  static std::unique_ptr<MainWindow> window;
  return window;
}

MainWindow* WindowOf(HWND hwnd) { return reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

HWND Child(MainWindow& w, HWND parent, const wchar_t* className, const wchar_t* caption, DWORD style, DWORD exStyle,
           int x, int y, int width, int height) {
  return CreateWindowExW(exStyle, className, caption, WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(w.nextControlId++)), GetModuleHandleW(nullptr),
                         nullptr);
}

void RegisterGadget(const char16_t* name, HWND hwnd) { RegisterNamedId(name, 0, reinterpret_cast<NamedValue>(hwnd), u""); }

UniqueFont CreatePointFont(const wchar_t* face, int points, int weight, DWORD quality) {
  HDC screen = GetDC(nullptr);
  const int height = -MulDiv(points, GetDeviceCaps(screen, LOGPIXELSY), 72);
  ReleaseDC(nullptr, screen);
  return UniqueFont(CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, quality, DEFAULT_PITCH | FF_DONTCARE, face));
}

UniqueFont CreateControlFont() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return UniqueFont();
  return UniqueFont(CreateFontIndirectW(&metrics.lfMessageFont));
}

void SetFont(HWND control, const UniqueFont& font) {
  if (control && font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
}

void InsertColumn(HWND list, int index, const wchar_t* title, int width) {
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  column.pszText = const_cast<LPWSTR>(title);
  column.cx = width;
  column.iSubItem = index;
  SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
}

void AddTab(HWND panel, int index, const wchar_t* name) {
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<LPWSTR>(name);
  SendMessageW(panel, TCM_INSERTITEMW, index, reinterpret_cast<LPARAM>(&item));
}

// The page area of the panel, in the panel's coordinates.
RECT PageRect(HWND panel) {
  RECT area{};
  GetClientRect(panel, &area);
  SendMessageW(panel, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  return area;
}

void PlacePages(MainWindow& w) {
  const RECT area = PageRect(w.panel);
  for (HWND page : w.pages)
    MoveWindow(page, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
}

void ShowSelectedPage(MainWindow& w) {
  const int selected = static_cast<int>(SendMessageW(w.panel, TCM_GETCURSEL, 0, 0));
  for (int i = 0; i < 3; ++i) ShowWindow(w.pages[i], i == selected ? SW_SHOW : SW_HIDE);
}

Text WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(hwnd, buffer.data(), length + 1);
  return Text(reinterpret_cast<const char16_t*>(buffer.data()), static_cast<std::size_t>(copied > 0 ? copied : 0));
}

// The title-fitting widths were measured before the fonts were set, and Wine's measure
// leaves out a pixel of the header's text margins; widen any column whose title would not
// show whole in its header now. Where the measure already covers the margins this changes
// nothing.
void WidenColumnsToTheirTitles(HWND list) {
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  HDC dc = GetDC(header);
  if (!dc) return;
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(header, WM_GETFONT, 0, 0)));
  const int margins = 2 * 3 * GetSystemMetrics(SM_CXEDGE);  // the header's text margins, left and right
  for (int i = 0; i < static_cast<int>(kColumns.size()); ++i) {
    SIZE text{};
    GetTextExtentPoint32W(dc, kColumns[i].title, static_cast<int>(wcslen(kColumns[i].title)), &text);
    const int needed = text.cx + margins;
    if (SendMessageW(list, LVM_GETCOLUMNWIDTH, i, 0) < needed) SendMessageW(list, LVM_SETCOLUMNWIDTH, i, needed);
  }
  SelectObject(dc, old);
  ReleaseDC(header, dc);
}

// Buttons draw a bitmap without its transparency (black corners) but an icon with it, so the
// button shows an icon made from the registered image. No image registered: no icon.
UniqueIcon ShowImageOnButton(HWND button, const char16_t* imageName) {
  const RgbaImage* pixels = IconPixels(reinterpret_cast<HBITMAP>(NamedId(imageName, 0)));
  UniqueIcon icon(pixels ? CreateIconFromPixels(*pixels) : nullptr);
  if (icon) SendMessageW(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon.get()));
  return icon;
}

// ---- handlers ------------------------------------------------------------------------

void OnSize(MainWindow& w, WPARAM kind) {
  SendMessageW(w.statusBar, WM_SIZE, 0, 0);  // the status bar follows the bottom edge
  PlaceProgressBar(w.statusBar, w.progressBar);
  if (kind == SIZE_MINIMIZED || !Shared().layoutReady.load()) return;
  OnWindowResized();
}

void OnGetMinMaxInfo(MainWindow& w, MINMAXINFO* info) {
  info->ptMinTrackSize.x = w.minimumOuterSize.cx;
  info->ptMinTrackSize.y = w.minimumOuterSize.cy;
}

void OnCommand(MainWindow& w, HWND control, int code) {
  if (code == BN_CLICKED && GetParent(control) == w.window) {
    OnGadgetClicked(control);
    return;
  }
  // The texts other threads read are mirrored at every change.
  if (code != EN_CHANGE) return;
  if (control == w.searchField) SearchFieldText().Set(WindowText(control));
  if (control == w.timeLimitField) TimeLimitFieldText().Set(WindowText(control));
}

LRESULT OnTableCustomDraw(NMLVCUSTOMDRAW* draw) {
  switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
      if (draw->nmcd.lItemlParam & kRowShadedFlag)
        draw->clrTextBk = static_cast<COLORREF>(draw->nmcd.lItemlParam & 0x00FFFFFF);
      return CDRF_DODEFAULT;
    default:
      return CDRF_DODEFAULT;
  }
}

LRESULT OnNotify(MainWindow& w, NMHDR* header) {
  if (header->hwndFrom == w.table && header->code == NM_CUSTOMDRAW)
    return OnTableCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
  if (header->hwndFrom == w.panel && header->code == TCN_SELCHANGE) ShowSelectedPage(w);
  if ((header->hwndFrom == w.table || header->hwndFrom == w.tree) &&
      (header->code == NM_DBLCLK || header->code == NM_RDBLCLK || header->code == NM_RCLICK))
    OnViewMouseEvent(header->hwndFrom, header->code);
  return 0;
}

void OnDrawStatusIcon(DRAWITEMSTRUCT* draw) {
  HBITMAP icon = reinterpret_cast<HBITMAP>(draw->itemData);
  BITMAP info{};
  if (!icon || !GetObjectW(icon, sizeof(info), &info)) return;
  HDC source = CreateCompatibleDC(draw->hDC);
  HGDIOBJ old = SelectObject(source, icon);
  const RECT& r = draw->rcItem;
  const int size = 16;
  const int x = r.left + (r.right - r.left - size) / 2;
  const int y = r.top + (r.bottom - r.top - size) / 2;
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(draw->hDC, x, y, size, size, source, 0, 0, info.bmWidth, info.bmHeight, blend);
  SelectObject(source, old);
  DeleteDC(source);
}

LRESULT OnNamedIdQuery(WPARAM atom) {
  wchar_t name[256] = {};
  if (!GlobalGetAtomNameW(static_cast<ATOM>(atom), name, 256)) return 0;
  return static_cast<LRESULT>(NamedId(reinterpret_cast<const char16_t*>(name), 0));
}

LRESULT HandleMainMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  MainWindow* w = WindowOf(hwnd);
  if (!w) return DefWindowProcW(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_SIZE:
      OnSize(*w, wParam);
      return 0;
    case WM_GETMINMAXINFO:
      OnGetMinMaxInfo(*w, reinterpret_cast<MINMAXINFO*>(lParam));
      return 0;
    case WM_COMMAND:
      OnCommand(*w, reinterpret_cast<HWND>(lParam), HIWORD(wParam));
      return 0;
    case WM_NOTIFY:
      return OnNotify(*w, reinterpret_cast<NMHDR*>(lParam));
    case WM_DRAWITEM:
      if (reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem != w->statusBar) break;
      OnDrawStatusIcon(reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case kApplyUiWorkMessage:
      MainUiChannel().Drain();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      if (message == w->namedIdQuery && message != 0) return OnNamedIdQuery(wParam);
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    return HandleMainMessage(hwnd, message, wParam, lParam);
  } catch (...) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

// A tab page only holds its view; it passes the view's notifications to the main window.
LRESULT CALLBACK TabPageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NOTIFY:
    case WM_COMMAND:
    case WM_DRAWITEM:
      if (HWND top = GetAncestor(hwnd, GA_ROOT); top && top != hwnd) return SendMessageW(top, message, wParam, lParam);
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool RegisterWindowClasses() {
  WNDCLASSEXW main{};
  main.cbSize = sizeof(main);
  main.lpfnWndProc = MainWindowProc;
  main.hInstance = GetModuleHandleW(nullptr);
  main.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  // The application icon of the program's resources, in the caption and the task bar; none
  // when the program file carries no such icon.
  main.hIcon = static_cast<HICON>(LoadImageW(main.hInstance, L"APPCENSUS_ICON", IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                             GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
  main.hIconSm = static_cast<HICON>(LoadImageW(main.hInstance, L"APPCENSUS_ICON", IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                               LR_DEFAULTCOLOR));
  main.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  main.lpszClassName = kMainWindowClass;
  WNDCLASSEXW page = main;
  page.lpfnWndProc = TabPageProc;
  page.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  page.hIcon = nullptr;
  page.hIconSm = nullptr;
  page.lpszClassName = kTabPageClass;
  const bool mainOk = RegisterClassExW(&main) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  const bool pageOk = RegisterClassExW(&page) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  return mainOk && pageOk;
}

HWND CreatePage(MainWindow& w) {
  return CreateWindowExW(WS_EX_CONTROLPARENT, kTabPageClass, L"", WS_CHILD | WS_CLIPCHILDREN, 0, 0, 0, 0, w.panel,
                         nullptr, GetModuleHandleW(nullptr), nullptr);
}

HWND CreateReportList(MainWindow& w, HWND page, DWORD extraStyle, DWORD extendedStyle) {
  HWND list = Child(w, page, WC_LISTVIEWW, L"", LVS_REPORT | LVS_SINGLESEL | extraStyle, 0, 0, 0, 615, 585);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, extendedStyle, extendedStyle);
  return list;
}

}  // namespace

void CreateMainWindow() {
  LoadIcons();

  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  if (!RegisterWindowClasses()) return;

  auto w = std::make_unique<MainWindow>();
  RECT outer{0, 0, kWindowMinInnerWidth, kWindowMinInnerHeight};
  AdjustWindowRectEx(&outer, kMainWindowStyle, FALSE, 0);
  w->minimumOuterSize = {outer.right - outer.left, outer.bottom - outer.top};
  const Text title = WindowTitle();
  w->window = CreateWindowExW(0, kMainWindowClass, reinterpret_cast<LPCWSTR>(title.c_str()), kMainWindowStyle,
                              kWindowCreationX, kWindowCreationY, w->minimumOuterSize.cx, w->minimumOuterSize.cy,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!w->window) return;
  MainWindow& m = *w;
  TheWindow() = std::move(w);
  m.namedIdQuery = RegisterWindowMessageW(kNamedIdQueryMessageName);

  // Status bar: four fields, the progress bar in field 2 at 0 of 0..100.
  m.statusBar = Child(m, m.window, STATUSCLASSNAMEW, L"", SBARS_SIZEGRIP, 0, 0, 0, 0, 0);
  int rightEdges[4];
  for (int i = 0, edge = 0; i < 4; ++i) rightEdges[i] = edge += kStatusFieldWidths[i];
  SendMessageW(m.statusBar, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(rightEdges));
  m.progressBar = Child(m, m.statusBar, PROGRESS_CLASSW, L"", PBS_SMOOTH, 0, 0, 0, 0, 0);
  SendMessageW(m.progressBar, PBM_SETRANGE32, 0, 100);
  SendMessageW(m.progressBar, PBM_SETPOS, 0, 0);
  PlaceProgressBar(m.statusBar, m.progressBar);

  // Panel with its three pages and views.
  m.panel = Child(m, m.window, WC_TABCONTROLW, L"", WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 1, 80, 620, 613);
  AddTab(m.panel, 0, kTabNames[0]);
  m.pages[0] = CreatePage(m);
  m.table = CreateReportList(m, m.pages[0], LVS_SHOWSELALWAYS,
                             LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
  InsertColumn(m.table, 0, kColumns[0].title, kColumns[0].width);
  SendMessageW(m.table, LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE_USEHEADER);
  AddTab(m.panel, 1, kTabNames[1]);
  m.pages[1] = CreatePage(m);
  m.tree = Child(m, m.pages[1], WC_TREEVIEWW, L"",
                 TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS, 0, 0, 0, 615, 585);
  SendMessageW(m.tree, TVM_SETEXTENDEDSTYLE, TVS_EX_DOUBLEBUFFER, TVS_EX_DOUBLEBUFFER);
  SendMessageW(m.tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(m.gadgets.TreeImages()));
  AddTab(m.panel, 2, kTabNames[2]);
  m.pages[2] = CreatePage(m);
  m.activity = CreateReportList(m, m.pages[2], 0, LVS_EX_DOUBLEBUFFER);
  InsertColumn(m.activity, 0, L"Activité", 585);
  SendMessageW(m.activity, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(m.gadgets.ActivityImages()));
  PlacePages(m);
  ShowSelectedPage(m);

  for (int i = 1; i < 9; ++i) InsertColumn(m.table, i, kColumns[i].title, kColumns[i].width);
  for (int i = 0; i < 9; ++i) SendMessageW(m.table, LVM_SETCOLUMNWIDTH, i, LVSCW_AUTOSIZE_USEHEADER);

  // The window's other gadgets, in their order of creation.
  HWND listLabel = Child(m, m.window, WC_STATICW, L"Liste des applications :", SS_LEFTNOWORDWRAP, 0, 5, 65, 150, 15);
  m.searchField = Child(m, m.window, WC_EDITW, L"", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 192, 701, 230, 20);
  HWND searchLabel = Child(m, m.window, WC_STATICW, L"Recherche d'une application :", SS_LEFTNOWORDWRAP, 0, 7, 703, 185, 15);
  HWND searchButton = Child(m, m.window, WC_BUTTONW, L"", BS_PUSHBUTTON | BS_ICON | WS_TABSTOP, 0, 427, 701, 35, 35);
  m.searchIcon = ShowImageOnButton(searchButton, u"ICO_Rechercher");
  HWND machineLabel = Child(m, m.window, WC_STATICW, L"Nom machine :", SS_LEFTNOWORDWRAP, 0, 114, 18, 90, 15);
  // A combo box's height includes its opened list.
  HWND machineBox = Child(m, m.window, WC_COMBOBOXW, L"", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 0,
                          210, 15, 205, 350);
  HWND requestButton = Child(m, m.window, WC_BUTTONW, L"", BS_PUSHBUTTON | BS_ICON | WS_TABSTOP, 0, 420, 9, 40, 40);
  m.requestIcon = ShowImageOnButton(requestButton, u"ICO_LancerActionMachine");
  HWND exportButton = Child(m, m.window, WC_BUTTONW, L"Exporter au format CSV", BS_PUSHBUTTON | WS_TABSTOP, 0, 40, 735, 225, 20);
  HWND waitLabel = Child(m, m.window, WC_STATICW, L"Temps d'attente traitement :", SS_LEFTNOWORDWRAP, 0, 282, 60, 130, 15);
  m.timeLimitField = Child(m, m.window, WC_EDITW, L"000", ES_NUMBER | ES_CENTER | WS_TABSTOP, WS_EX_CLIENTEDGE, 410, 55, 25, 20);
  HWND secondsLabel = Child(m, m.window, WC_STATICW, L"secs", SS_LEFTNOWORDWRAP, 0, 436, 60, 25, 20);

  RegisterGadget(u"ID_FenGeneral", m.window);
  RegisterGadget(u"BT_Afficher", requestButton);
  RegisterGadget(u"BT_EditerInfosApplications", exportButton);
  RegisterGadget(u"CBX_nomMachine", machineBox);
  RegisterGadget(u"LISTE_ApplicationsUninstall", m.table);
  RegisterGadget(u"TREE_ApplicationsUninstall", m.tree);
  RegisterGadget(u"PANEL_VisuApplications", m.panel);
  RegisterGadget(u"TXT_RchNomApplication", m.searchField);
  RegisterGadget(u"BT_RchApplication", searchButton);
  RegisterGadget(u"ID_BarreDeStatus", m.statusBar);
  RegisterGadget(u"TXT_TempAttente", m.timeLimitField);
  RegisterGadget(u"LST_Activite", m.activity);
  RegisterGadget(u"LBL_RchNomApplication", searchLabel);

  m.tahomaBold = CreatePointFont(L"Tahoma", 8, FW_BOLD, PROOF_QUALITY);
  m.arial = CreatePointFont(L"Arial", 8, FW_NORMAL, DEFAULT_QUALITY);
  m.controlFont = CreateControlFont();
  for (HWND control : {m.panel, m.table, m.tree}) SetFont(control, m.arial);
  for (HWND control : {m.activity, listLabel, m.searchField, searchLabel, machineLabel, machineBox})
    SetFont(control, m.tahomaBold);
  for (HWND control : {exportButton, waitLabel, m.timeLimitField, secondsLabel}) SetFont(control, m.controlFont);
  WidenColumnsToTheirTitles(m.table);
  // "000" must fit the 25-pixel field.
  SendMessageW(m.timeLimitField, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);

  SearchFieldText().Set(WindowText(m.searchField));
  TimeLimitFieldText().Set(WindowText(m.timeLimitField));
  SetWindowLongPtrW(m.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&m));
  Shared().layoutReady = true;
}

void ApplyWindowLayout() {
  HWND hwnd = reinterpret_cast<HWND>(NamedId(u"ID_FenGeneral", 0));
  if (!hwnd) return;
  MainWindow* w = WindowOf(hwnd);
  if (!w) return;
  RECT inner{};
  GetClientRect(hwnd, &inner);
  const WindowLayout layout = ComputeWindowLayout(inner.right, inner.bottom);
  auto place = [](HWND control, const GadgetRect& r) { MoveWindow(control, r.x, r.y, r.width, r.height, TRUE); };
  place(w->panel, layout.panel);
  PlacePages(*w);
  for (HWND view : {w->table, w->tree, w->activity}) place(view, layout.view);
  place(w->searchField, layout.searchField);
  place(reinterpret_cast<HWND>(NamedId(u"BT_RchApplication", 0)), layout.searchButton);
  place(reinterpret_cast<HWND>(NamedId(u"BT_EditerInfosApplications", 0)), layout.exportButton);
  place(reinterpret_cast<HWND>(NamedId(u"LBL_RchNomApplication", 0)), layout.searchLabel);
  // Gadgets moved into the newly uncovered part of the window are not always repainted by
  // their own move (seen under Wine); repaint the whole window once.
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void SelectPanelTab(int index) {
  HWND hwnd = reinterpret_cast<HWND>(NamedId(u"ID_FenGeneral", 0));
  MainWindow* w = hwnd ? WindowOf(hwnd) : nullptr;
  if (!w) return;
  SendMessageW(w->panel, TCM_SETCURSEL, index, 0);
  ShowSelectedPage(*w);
}

Win32Gadgets* MainWindowGadgets() { return TheWindow() ? &TheWindow()->gadgets : nullptr; }

}  // namespace appcensus
