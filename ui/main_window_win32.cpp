#include "ui/main_window_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <memory>

#include "core/shared_state.h"
#include "settings/stored_settings.h"
#include "ui/commands_win32.h"
#include "ui/controls_win32.h"
#include "ui/gadgets_win32.h"
#include "ui/icons_win32.h"
#include "ui/image_names.h"
#include "ui/main_views.h"
#include "ui/row_order.h"
#include "ui/window_layout.h"
#include "ui/window_layout_win32.h"

namespace appcensus {

namespace {

constexpr wchar_t kMainWindowClass[] = L"AppcensusMainWindow";
constexpr wchar_t kTabPageClass[] = L"AppcensusTabPage";
constexpr DWORD kMainWindowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

constexpr std::array<const wchar_t*, 9> kColumnTitles = {
    L"Nom de l'application",   L"Version", L"Identité", L"Date d'installation", L"Source d'installation",
    L"Destination d'installation", L"Commande de désinstallation", L"Emplacement dans la base de registre",
    L"Machine",
};
constexpr const wchar_t* kTabNames[3] = {L"Tableau", L"Arborescence", L"Activité"};

// What the window keeps besides its controls, which are reached by name; one window per
// process, reached through GWLP_USERDATA.
struct MainWindow {
  SIZE minimumOuterSize{};
  UniqueFont tahomaBold;
  UniqueFont arial;
  UniqueFont controlFont;
  UniqueIcon searchIcon;
  UniqueIcon requestIcon;
  Win32Gadgets gadgets;
  HWND pages[3] = {};  // of the tabs, in their order
  HWND lastFocus = nullptr;  // the control that had the keyboard focus when the window was left
  int nextControlId = 2000;  // controls without a name
  bool layoutReady = false;  // sizes are applied and saved from then on
};

std::unique_ptr<MainWindow>& TheWindow() {
  static std::unique_ptr<MainWindow> window;
  return window;
}

MainWindow* WindowOf(HWND hwnd) { return reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

// The controls made by CreateMainWindow, while it registers them and sets their fonts.
struct NewControls {
  HWND window, statusBar, panel, table;
  HWND listLabel, searchField, searchLabel, searchButton, machineLabel, machineBox, requestButton, exportButton,
      waitLabel, timeLimitField, secondsLabel, startRemoteRegistryBox, differencesBox;
};

// A child control; a named gadget carries its fixed control identifier.
HWND Child(MainWindow& w, HWND parent, const char16_t* name, const wchar_t* className, const wchar_t* caption,
           DWORD style, DWORD exStyle, GadgetRect at) {
  const int id = name ? GadgetControlId(name) : w.nextControlId++;
  return CreateWindowExW(exStyle, className, caption, WS_CHILD | WS_VISIBLE | style, at.x, at.y, at.width, at.height,
                         parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         GetModuleHandleW(nullptr), nullptr);
}

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

// Fonts are given before the control is first seen (the window, or the hidden page, shows it
// later), so no control redraws for them.
void SetFont(HWND control, const UniqueFont& font) {
  if (control && font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
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

// The widths that show each column's title whole in the list's header, in the header's font:
// the text and the header's margins left and right. Measured here with one device context
// rather than asked of the list column by column (LVSCW_AUTOSIZE_USEHEADER), whose measure
// under Wine also leaves out a pixel of the margins.
std::array<int, kColumnTitles.size()> TitleFittingWidths(HWND list) {
  std::array<int, kColumnTitles.size()> widths;
  widths.fill(100);
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  HDC dc = GetDC(header);
  if (!dc) return widths;
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(header, WM_GETFONT, 0, 0)));
  const int margins = 2 * 3 * GetSystemMetrics(SM_CXEDGE);
  for (std::size_t i = 0; i < kColumnTitles.size(); ++i) {
    SIZE text{};
    GetTextExtentPoint32W(dc, kColumnTitles[i], static_cast<int>(wcslen(kColumnTitles[i])), &text);
    widths[i] = text.cx + margins;
  }
  SelectObject(dc, old);
  ReleaseDC(header, dc);
  return widths;
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

void OnSize(const MainWindow& w, WPARAM kind) {
  HWND statusBar = Gadget(kStatusBar);
  SendMessageW(statusBar, WM_SIZE, 0, 0);  // the status bar follows the bottom edge
  PlaceProgressBar(statusBar, GetWindow(statusBar, GW_CHILD));
  if (kind == SIZE_MINIMIZED || !w.layoutReady) return;
  OnWindowResized();
}

void OnGetMinMaxInfo(const MainWindow& w, MINMAXINFO* info) {
  info->ptMinTrackSize.x = w.minimumOuterSize.cx;
  info->ptMinTrackSize.y = w.minimumOuterSize.cy;
}

void OnCommand(HWND window, HWND control, int code) {
  if (code == BN_CLICKED && GetParent(control) == window) {
    OnGadgetClicked(control);
    return;
  }
  // The texts other threads read are mirrored at every change.
  if (code != EN_CHANGE) return;
  if (control == Gadget(kSearchField)) SearchFieldText().Set(WindowText(control));
  if (control == Gadget(kTimeLimitField)) TimeLimitFieldText().Set(WindowText(control));
}

LRESULT OnTableCustomDraw(NMLVCUSTOMDRAW* draw) {
  if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
  if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT && (draw->nmcd.lItemlParam & kRowShadedFlag))
    draw->clrTextBk = static_cast<COLORREF>(draw->nmcd.lItemlParam & 0x00FFFFFF);
  return CDRF_DODEFAULT;
}

LRESULT OnNotify(NMHDR* header) {
  HWND table = Gadget(kTable);
  HWND tree = Gadget(kTree);
  if (header->hwndFrom == table && header->code == NM_CUSTOMDRAW)
    return OnTableCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
  if (header->hwndFrom == Gadget(kPanel) && header->code == TCN_SELCHANGE) ShowSelectedPage();
  if (header->hwndFrom == table && header->code == LVN_COLUMNCLICK)
    OnColumnClicked(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
  if ((header->hwndFrom == table || header->hwndFrom == tree) &&
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
  GdiAlphaBlend(draw->hDC, x, y, size, size, source, 0, 0, info.bmWidth, info.bmHeight, blend);
  SelectObject(source, old);
  DeleteDC(source);
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
      OnCommand(hwnd, reinterpret_cast<HWND>(lParam), HIWORD(wParam));
      return 0;
    case WM_NOTIFY:
      return OnNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_TIMER:
      OnTimer(static_cast<UINT_PTR>(wParam));
      return 0;
    case WM_ACTIVATE:
      // The focus leaves with the window and comes back to the same control.
      if (LOWORD(wParam) == WA_INACTIVE && IsChild(hwnd, GetFocus())) w->lastFocus = GetFocus();
      break;
    case WM_SETFOCUS:
      SetFocus(IsWindow(w->lastFocus) && IsChild(hwnd, w->lastFocus) ? w->lastFocus : Gadget(kMachineBox));
      return 0;
    case WM_DRAWITEM:
      if (reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem != Gadget(kStatusBar)) break;
      OnDrawStatusIcon(reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case kApplyUiWorkMessage:
      MainUiChannel().Drain();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
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
  if (message == WM_NOTIFY || message == WM_COMMAND || message == WM_DRAWITEM)
    if (HWND top = GetAncestor(hwnd, GA_ROOT); top && top != hwnd) return SendMessageW(top, message, wParam, lParam);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// ---- creation -------------------------------------------------------------------------

HICON ApplicationIcon(HINSTANCE instance, int widthMetric, int heightMetric) {
  return static_cast<HICON>(LoadImageW(instance, L"APPCENSUS_ICON", IMAGE_ICON, GetSystemMetrics(widthMetric),
                                       GetSystemMetrics(heightMetric), LR_DEFAULTCOLOR));
}

bool RegisterWindowClasses() {
  WNDCLASSEXW main{};
  main.cbSize = sizeof(main);
  main.lpfnWndProc = MainWindowProc;
  main.hInstance = GetModuleHandleW(nullptr);
  main.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  // The application icon of the program's resources, in the caption and the task bar; none
  // when the program file carries no such icon.
  main.hIcon = ApplicationIcon(main.hInstance, SM_CXICON, SM_CYICON);
  main.hIconSm = ApplicationIcon(main.hInstance, SM_CXSMICON, SM_CYSMICON);
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

HWND CreatePage(MainWindow& w, HWND panel) {
  return CreateWindowExW(WS_EX_CONTROLPARENT, kTabPageClass, L"", WS_CHILD | WS_CLIPCHILDREN, 0, 0, 0, 0, panel,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(w.nextControlId++)), GetModuleHandleW(nullptr),
                         nullptr);
}

HWND CreateReportList(MainWindow& w, HWND page, const char16_t* name, DWORD extraStyle, DWORD extendedStyle) {
  HWND list = Child(w, page, name, WC_LISTVIEWW, L"", LVS_REPORT | LVS_SINGLESEL | extraStyle, 0, {0, 0, 615, 585});
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, extendedStyle, extendedStyle);
  return list;
}

// Status bar: four fields, the progress bar in field 2 at 0 of 0..100.
void CreateStatusBar(MainWindow& w, NewControls& c) {
  c.statusBar = Child(w, c.window, kStatusBar, STATUSCLASSNAMEW, L"", SBARS_SIZEGRIP, 0, {0, 0, 0, 0});
  int rightEdges[4];
  for (int i = 0, edge = 0; i < 4; ++i) rightEdges[i] = edge += kStatusFieldWidths[i];
  SendMessageW(c.statusBar, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(rightEdges));
  HWND progressBar = Child(w, c.statusBar, nullptr, PROGRESS_CLASSW, L"", PBS_SMOOTH, 0, {0, 0, 0, 0});
  SendMessageW(progressBar, PBM_SETRANGE32, 0, 100);
  SendMessageW(progressBar, PBM_SETPOS, 0, 0);
  PlaceProgressBar(c.statusBar, progressBar);
}

// The panel with its three tabs and the first page with the table; the two hidden pages and
// their views come once the window shows (CompleteMainWindow). Tab moves into the shown
// page's view.
void CreatePanel(MainWindow& w, NewControls& c) {
  c.panel = Child(w, c.window, kPanel, WC_TABCONTROLW, L"", WS_CLIPSIBLINGS | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT,
                  {1, 80, 620, 613});
  for (int i = 0; i < 3; ++i) AddTab(c.panel, i, kTabNames[i]);
  w.pages[0] = CreatePage(w, c.panel);
  c.table = CreateReportList(w, w.pages[0], kTable, LVS_SHOWSELALWAYS | WS_TABSTOP,
                             LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
  // Each column as wide as its title in the table's own font, the last one filling the rest.
  SetFont(c.table, w.arial);
  // The columns go in without a redraw and a new layout of the list after each.
  const auto widths = TitleFittingWidths(c.table);
  SendMessageW(c.table, WM_SETREDRAW, FALSE, 0);
  for (std::size_t i = 0; i < widths.size(); ++i)
    InsertColumn(c.table, static_cast<int>(i), kColumnTitles[i], widths[i]);
  SendMessageW(c.table, WM_SETREDRAW, TRUE, 0);
  SendMessageW(c.table, LVM_SETCOLUMNWIDTH, widths.size() - 1, LVSCW_AUTOSIZE_USEHEADER);
  ShowSortArrow(c.table, RowOrder{});
}

// The two hidden pages, with the tree and the activity list, their fonts and images, placed.
void CreateHiddenViews(MainWindow& w) {
  HWND panel = Gadget(kPanel);
  for (int i = 1; i < 3; ++i) w.pages[i] = CreatePage(w, panel);
  HWND tree = Child(w, w.pages[1], kTree, WC_TREEVIEWW, L"",
                    TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS | WS_TABSTOP, 0, {0, 0, 615, 585});
  SendMessageW(tree, TVM_SETEXTENDEDSTYLE, TVS_EX_DOUBLEBUFFER, TVS_EX_DOUBLEBUFFER);
  SendMessageW(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(w.gadgets.TreeImages()));
  HWND activity = CreateReportList(w, w.pages[2], kActivityList, WS_TABSTOP, LVS_EX_DOUBLEBUFFER);
  InsertColumn(activity, 0, L"Activité", 585);
  SendMessageW(activity, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(w.gadgets.ActivityImages()));
  SetFont(tree, w.arial);
  SetFont(activity, w.tahomaBold);
  RegisterNamedId(kTree, 0, reinterpret_cast<NamedValue>(tree), u"");
  RegisterNamedId(kActivityList, 0, reinterpret_cast<NamedValue>(activity), u"");
  PlacePageViews();
}

// A tooltip over each of the two buttons that show only an image.
void CreateButtonTooltips(HWND window) {
  HWND tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  const std::pair<const char16_t*, const wchar_t*> tools[] = {
      {kRequestButton, L"Lister les applications install\u00e9es sur la machine indiqu\u00e9e "
                       L"(Entr\u00e9e dans le nom de machine, F5 pour recommencer)"},
      {kSearchButton, L"Ne montrer que les applications dont le nom contient le texte recherch\u00e9 "
                      L"(Entr\u00e9e dans le champ de recherche)"},
  };
  for (const auto& [name, text] : tools) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(Gadget(name));
    tool.lpszText = const_cast<LPWSTR>(text);
    SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  SendMessageW(tips, TTM_SETMAXTIPWIDTH, 0, 400);
}

// The window's other gadgets, in their order of creation.
void CreateControls(MainWindow& w, NewControls& c) {
  const DWORD label = SS_LEFTNOWORDWRAP;
  const DWORD imageButton = BS_PUSHBUTTON | BS_ICON | WS_TABSTOP;
  c.listLabel = Child(w, c.window, nullptr, WC_STATICW, L"Liste des applications :", label, 0, {5, 65, 150, 15});
  c.searchField = Child(w, c.window, kSearchField, WC_EDITW, L"", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE,
                        {192, 701, 230, 20});
  c.searchLabel =
      Child(w, c.window, kSearchLabel, WC_STATICW, L"Recherche d'une application :", label, 0, {7, 703, 185, 15});
  c.searchButton = Child(w, c.window, kSearchButton, WC_BUTTONW, L"", imageButton, 0, {427, 701, 35, 35});
  w.searchIcon = ShowImageOnButton(c.searchButton, kImageSearch);
  c.machineLabel = Child(w, c.window, nullptr, WC_STATICW, L"Nom machine :", label, 0, {114, 18, 90, 15});
  // A combo box's height includes its opened list.
  c.machineBox = Child(w, c.window, kMachineBox, WC_COMBOBOXW, L"",
                       CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 0, {210, 15, 205, 350});
  c.requestButton = Child(w, c.window, kRequestButton, WC_BUTTONW, L"", imageButton, 0, {420, 9, 40, 40});
  w.requestIcon = ShowImageOnButton(c.requestButton, kImageRequest);
  c.exportButton = Child(w, c.window, kExportButton, WC_BUTTONW, L"Exporter au format CSV",
                         BS_PUSHBUTTON | WS_TABSTOP, 0, {40, 735, 225, 20});
  c.waitLabel = Child(w, c.window, nullptr, WC_STATICW, L"Temps d'attente traitement :", label, 0, {282, 60, 130, 15});
  c.timeLimitField = Child(w, c.window, kTimeLimitField, WC_EDITW, L"000", ES_NUMBER | ES_CENTER | WS_TABSTOP,
                           WS_EX_CLIENTEDGE, {410, 55, 25, 20});
  c.secondsLabel = Child(w, c.window, nullptr, WC_STATICW, L"secs", label, 0, {436, 60, 25, 20});
  // Under the machine box and its label, left of the request button, above the wait row.
  c.startRemoteRegistryBox = Child(w, c.window, kStartRemoteRegistryBox, WC_BUTTONW,
                                   L"D\u00e9marrer le service Registre \u00e0 distance si n\u00e9cessaire",
                                   BS_AUTOCHECKBOX | WS_TABSTOP, 0, {114, 37, 300, 16});
  // Off at every start: the choice is not stored.
  c.differencesBox = Child(w, c.window, kDifferencesBox, WC_BUTTONW, L"Diff\u00e9rences uniquement",
                           BS_AUTOCHECKBOX | WS_TABSTOP, 0, {192, 728, 180, 17});
}

// The tree and the activity list are registered when they are made (CreateHiddenViews).
void RegisterGadgets(const NewControls& c) {
  const std::pair<const char16_t*, HWND> gadgets[] = {
      {kRequestButton, c.requestButton}, {kExportButton, c.exportButton}, {kMachineBox, c.machineBox},
      {kTable, c.table},                 {kPanel, c.panel},               {kSearchField, c.searchField},
      {kSearchButton, c.searchButton},   {kStatusBar, c.statusBar},       {kTimeLimitField, c.timeLimitField},
      {kSearchLabel, c.searchLabel},     {kStartRemoteRegistryBox, c.startRemoteRegistryBox},
      {kDifferencesBox, c.differencesBox},
  };
  RegisterNamedId(kMainWindow, 0, reinterpret_cast<NamedValue>(c.window), u"");
  for (const auto& [name, hwnd] : gadgets) RegisterNamedId(name, 0, reinterpret_cast<NamedValue>(hwnd), u"");
}

void CreateFonts(MainWindow& w) {
  w.tahomaBold = CreatePointFont(L"Tahoma", 8, FW_BOLD, PROOF_QUALITY);
  w.arial = CreatePointFont(L"Arial", 8, FW_NORMAL, DEFAULT_QUALITY);
  w.controlFont = CreateControlFont();
}

// The table has its font from its creation on (CreatePanel).
void SetFonts(MainWindow& w, const NewControls& c) {
  SetFont(c.panel, w.arial);
  for (HWND control : {c.listLabel, c.searchField, c.searchLabel, c.machineLabel, c.machineBox})
    SetFont(control, w.tahomaBold);
  for (HWND control :
       {c.exportButton, c.waitLabel, c.timeLimitField, c.secondsLabel, c.startRemoteRegistryBox, c.differencesBox})
    SetFont(control, w.controlFont);
  // "000" must fit the 25-pixel field.
  SendMessageW(c.timeLimitField, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
}

// Tab goes through the controls in the order they stand on the window, top to bottom, left to
// right (the order of creation is kept; only the stacking changes, and no two of them overlap).
// The status bar, which Tab skips, stays first, as tools that look controls up expect.
void SetTabOrder(const NewControls& c) {
  HWND previous = c.statusBar;
  for (HWND control : {c.machineBox, c.requestButton, c.timeLimitField, c.panel, c.searchField, c.searchButton,
                       c.exportButton}) {
    SetWindowPos(control, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    previous = control;
  }
}

// The main window's outer size for that inner size.
SIZE OuterSize(int innerWidth, int innerHeight) {
  RECT outer{0, 0, innerWidth, innerHeight};
  AdjustWindowRectEx(&outer, kMainWindowStyle, FALSE, 0);
  return {outer.right - outer.left, outer.bottom - outer.top};
}

// Where the window opens: at its stored inner size, never smaller than its least size, inside
// the work area of the monitor it opens on. So it is laid out once, and not moved again before
// it shows.
GadgetRect OpeningFrame() {
  constexpr int kLargest = 32767;  // the largest window coordinate
  const auto [width, height] = StoredWindowSize().value_or(std::pair(0, 0));
  const SIZE outer = OuterSize(std::clamp(width, kWindowMinInnerWidth, kLargest),
                               std::clamp(height, kWindowMinInnerHeight, kLargest));
  const GadgetRect frame{kWindowCreationX, kWindowCreationY, outer.cx, outer.cy};
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  if (!GetMonitorInfoW(MonitorFromPoint({frame.x, frame.y}, MONITOR_DEFAULTTONEAREST), &monitor)) return frame;
  const RECT& area = monitor.rcWork;
  return FitInArea(frame, {area.left, area.top, area.right - area.left, area.bottom - area.top});
}

}  // namespace

void CreateMainWindow() {
  LoadIcons();
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  if (!RegisterWindowClasses()) return;

  auto w = std::make_unique<MainWindow>();
  w->minimumOuterSize = OuterSize(kWindowMinInnerWidth, kWindowMinInnerHeight);
  NewControls c{};
  const Text title = WindowTitle();
  const GadgetRect frame = OpeningFrame();
  c.window = CreateWindowExW(0, kMainWindowClass, Wide(title), kMainWindowStyle, frame.x, frame.y, frame.width,
                             frame.height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!c.window) return;
  MainWindow& m = *w;
  TheWindow() = std::move(w);

  CreateFonts(m);
  CreateStatusBar(m, c);
  CreatePanel(m, c);
  CreateControls(m, c);
  RegisterGadgets(c);
  SetFonts(m, c);
  SetTabOrder(c);
  SelectPanelTab(0);

  SearchFieldText().Set(WindowText(c.searchField));
  TimeLimitFieldText().Set(WindowText(c.timeLimitField));
  SetWindowLongPtrW(c.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&m));
  m.layoutReady = true;
}

void CompleteMainWindow() {
  MainWindow* w = TheWindow().get();
  if (!w || Gadget(kTree)) return;
  CreateHiddenViews(*w);
  CreateButtonTooltips(Gadget(kMainWindow));
}

Win32Gadgets* MainWindowGadgets() { return TheWindow() ? &TheWindow()->gadgets : nullptr; }

}  // namespace appcensus
