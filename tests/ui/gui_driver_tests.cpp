// The real program under Wine, driven from outside through window messages.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tools/gui_driver_win32.h"

namespace appcensus::driver {
namespace {

struct Expected {
  const wchar_t* name;
  const wchar_t* className;
  RECT rect;  // in the parent's inner coordinates, at the inner size 622 x 300
};

class GuiDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Every test starts as a first run: no stored history, size or time limit.
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Brelmont\\Appcensus");
    ASSERT_TRUE(program.Start()) << "the main window did not appear";
    driver = std::make_unique<Driver>(program);
  }

  static void ExpectRect(HWND control, RECT expected, const wchar_t* name) {
    const RECT r = Driver::RectInParent(control);
    EXPECT_EQ(r.left, expected.left) << name;
    EXPECT_EQ(r.top, expected.top) << name;
    EXPECT_EQ(r.right - r.left, expected.right) << name << " width";
    EXPECT_EQ(r.bottom - r.top, expected.bottom) << name << " height";
  }

  RunningProgram program;
  std::unique_ptr<Driver> driver;
};

// Rects below are {x, y, width, height}.
TEST_F(GuiDriverTest, WindowOpensWithTitleSizeAndEveryGadgetInPlace) {
  HWND window = program.Window();
  EXPECT_EQ(Driver::Text(window), L"Brelmont Appcensus v3.133");
  EXPECT_EQ(driver->Gadget(L"ID_FenGeneral"), window);
  const SIZE inner = Driver::InnerSize(window);
  EXPECT_EQ(inner.cx, 622);
  EXPECT_EQ(inner.cy, 300);
  RECT outer{};
  GetWindowRect(window, &outer);
  EXPECT_EQ(outer.left, 391);
  EXPECT_EQ(outer.top, 88);
  const LONG style = GetWindowLongW(window, GWL_STYLE);
  for (LONG bit : {WS_CAPTION, WS_SYSMENU, WS_MINIMIZEBOX, WS_MAXIMIZEBOX, WS_THICKFRAME}) EXPECT_TRUE(style & bit) << bit;
  EXPECT_EQ(GetMenu(window), nullptr);

  const Expected gadgets[] = {
      {L"PANEL_VisuApplications", L"SysTabControl32", {1, 80, 622, 120}},
      {L"LISTE_ApplicationsUninstall", L"SysListView32", {0, 0, 615, 94}},
      {L"TREE_ApplicationsUninstall", L"SysTreeView32", {0, 0, 615, 94}},
      {L"LST_Activite", L"SysListView32", {0, 0, 615, 94}},
      {L"TXT_RchNomApplication", L"Edit", {311, 210, 230, 20}},
      {L"LBL_RchNomApplication", L"Static", {111, 210, 185, 15}},
      {L"BT_RchApplication", L"Button", {546, 202, 35, 35}},
      {L"BT_Afficher", L"Button", {420, 9, 40, 40}},
      {L"BT_EditerInfosApplications", L"Button", {40, 240, 225, 20}},
      {L"TXT_TempAttente", L"Edit", {410, 55, 25, 20}},
  };
  for (const Expected& e : gadgets) {
    HWND control = driver->Gadget(e.name);
    ASSERT_NE(control, nullptr) << e.name;
    EXPECT_EQ(Driver::ClassName(control), e.className) << e.name;
    ExpectRect(control, e.rect, e.name);
  }
  // The machine box: position and width fixed, its edit part as high as the box allows.
  HWND machineBox = driver->Gadget(L"CBX_nomMachine");
  EXPECT_EQ(Driver::ClassName(machineBox), L"ComboBox");
  const RECT box = Driver::RectInParent(machineBox);
  EXPECT_EQ(box.left, 210);
  EXPECT_EQ(box.top, 15);
  EXPECT_EQ(box.right - box.left, 205);
  EXPECT_TRUE(GetWindowLongW(machineBox, GWL_STYLE) & CBS_DROPDOWN);

  // Unnamed static texts, found by their captions.
  struct Label {
    const wchar_t* caption;
    RECT rect;
  };
  for (const Label& label : {Label{L"Liste des applications :", {5, 65, 150, 15}}, Label{L"Nom machine :", {114, 18, 90, 15}},
                             Label{L"Temps d'attente traitement :", {282, 60, 130, 15}}, Label{L"secs", {436, 60, 25, 20}}}) {
    HWND control = FindWindowExW(window, nullptr, L"Static", label.caption);
    ASSERT_NE(control, nullptr) << label.caption;
    ExpectRect(control, label.rect, label.caption);
  }
  EXPECT_EQ(Driver::Text(driver->Gadget(L"LBL_RchNomApplication")), L"Recherche d'une application :");
  EXPECT_EQ(Driver::Text(driver->Gadget(L"BT_EditerInfosApplications")), L"Exporter au format CSV");
  // "000" at creation, then the stored limit, or 15 when none is stored.
  EXPECT_EQ(Driver::Text(driver->Gadget(L"TXT_TempAttente")), L"15");
  EXPECT_EQ(Driver::Text(driver->Gadget(L"TXT_RchNomApplication")), L"");
}

TEST_F(GuiDriverTest, PanelHoldsThreeTabsEachViewOnItsPage) {
  HWND panel = driver->Gadget(L"PANEL_VisuApplications");
  ASSERT_EQ(driver->TabCount(panel), 3);
  EXPECT_EQ(driver->TabText(panel, 0), L"Tableau");
  EXPECT_EQ(driver->TabText(panel, 1), L"Arborescence");
  EXPECT_EQ(driver->TabText(panel, 2), L"Activité");
  HWND table = driver->Gadget(L"LISTE_ApplicationsUninstall");
  HWND tree = driver->Gadget(L"TREE_ApplicationsUninstall");
  HWND activity = driver->Gadget(L"LST_Activite");
  for (HWND view : {table, tree, activity}) EXPECT_EQ(GetParent(GetParent(view)), panel);
  EXPECT_EQ(SendMessageW(panel, TCM_GETCURSEL, 0, 0), 0);
  EXPECT_TRUE(IsWindowVisible(table));
  EXPECT_FALSE(IsWindowVisible(activity));

  driver->ClickTab(panel, 2);
  EXPECT_EQ(SendMessageW(panel, TCM_GETCURSEL, 0, 0), 2);
  EXPECT_TRUE(IsWindowVisible(activity));
  EXPECT_FALSE(IsWindowVisible(table));
  driver->ClickTab(panel, 1);
  EXPECT_TRUE(IsWindowVisible(tree));
  EXPECT_FALSE(IsWindowVisible(activity));

  // Views start empty; the activity list has its one column.
  EXPECT_EQ(driver->RowCount(table), 0);
  EXPECT_EQ(driver->RowCount(activity), 0);
  EXPECT_TRUE(driver->TreeNodes(tree).empty());
  EXPECT_EQ(driver->ColumnTitle(activity, 0), L"Activité");
  EXPECT_EQ(driver->ColumnWidth(activity, 0), 585);
  EXPECT_EQ(driver->ColumnTitle(activity, 1), L"<none>");
}

TEST_F(GuiDriverTest, TableHasNineColumnsAsWideAsTheirTitlesTheLastFillingTheRest) {
  HWND table = driver->Gadget(L"LISTE_ApplicationsUninstall");
  const wchar_t* titles[9] = {L"Nom de l'application", L"Version", L"Identité", L"Date d'installation",
                              L"Source d'installation", L"Destination d'installation",
                              L"Commande de désinstallation", L"Emplacement dans la base de registre", L"Machine"};
  int total = 0;
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(driver->ColumnTitle(table, i), titles[i]);
    const int width = driver->ColumnWidth(table, i);
    const int title = driver->StringWidth(table, titles[i]);
    // The title shows whole between the header's text margins (3 edges on each side)...
    EXPECT_GE(width, title + 12) << i;
    if (i < 8) {
      EXPECT_LE(width, title + 24) << i;  // ...and the column is no wider than it needs
    }
    total += width;
  }
  EXPECT_EQ(driver->ColumnTitle(table, 9), L"<none>");
  RECT inner{};
  GetClientRect(table, &inner);
  EXPECT_GE(total, inner.right);  // the last column reaches the right edge (or beyond)
  const DWORD extended = static_cast<DWORD>(SendMessageW(table, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
  for (DWORD bit : {LVS_EX_FULLROWSELECT, LVS_EX_HEADERDRAGDROP, LVS_EX_GRIDLINES, LVS_EX_DOUBLEBUFFER})
    EXPECT_TRUE(extended & bit) << bit;
  const LONG style = GetWindowLongW(table, GWL_STYLE);
  EXPECT_TRUE(style & LVS_SINGLESEL);
  EXPECT_TRUE(style & LVS_SHOWSELALWAYS);
  EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
}

TEST_F(GuiDriverTest, StatusBarHasFourFieldsAndTheProgressBarInFieldTwo) {
  HWND status = driver->Gadget(L"ID_BarreDeStatus");
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(Driver::ClassName(status), L"msctls_statusbar32");
  EXPECT_EQ(driver->StatusRightEdges(status), (std::vector<int>{20, 420, 520, 620}));
  HWND progress = GetWindow(status, GW_CHILD);
  ASSERT_NE(progress, nullptr);
  EXPECT_EQ(Driver::ClassName(progress), L"msctls_progress32");
  EXPECT_TRUE(IsWindowVisible(progress));
  EXPECT_EQ(SendMessageW(progress, PBM_GETPOS, 0, 0), 0);
  EXPECT_EQ(SendMessageW(progress, PBM_GETRANGE, TRUE, 0), 0);
  EXPECT_EQ(SendMessageW(progress, PBM_GETRANGE, FALSE, 0), 100);
  const RECT field = driver->StatusFieldRect(status, 2);
  const RECT bar = Driver::RectInParent(progress);
  EXPECT_GE(bar.left, field.left);
  EXPECT_LE(bar.right, field.right);
  EXPECT_GT(bar.right - bar.left, 90);
  for (int i = 1; i < 4; ++i) EXPECT_EQ(driver->StatusText(status, i), L"") << i;
  // Along the bottom of the inner area.
  RECT statusRect = Driver::RectInParent(status);
  EXPECT_EQ(statusRect.bottom, 300);
}

TEST_F(GuiDriverTest, ImageButtonsShowTheirIcons) {
  // The image buttons show icons made from the registered images (an icon's pixels cannot
  // be read from another process under Wine; the screenshots show them).
  std::set<LRESULT> buttonIcons;
  for (const wchar_t* button : {L"BT_RchApplication", L"BT_Afficher"}) {
    HWND control = driver->Gadget(button);
    EXPECT_TRUE(GetWindowLongW(control, GWL_STYLE) & BS_ICON) << button;
    const LRESULT icon = SendMessageW(control, BM_GETIMAGE, IMAGE_ICON, 0);
    EXPECT_NE(icon, 0) << button;
    buttonIcons.insert(icon);
  }
  EXPECT_EQ(buttonIcons.size(), 2u);
}

TEST_F(GuiDriverTest, ResizingMovesTheSearchRowAndStretchesPanelAndViews) {
  HWND window = program.Window();
  HWND machineBox = driver->Gadget(L"CBX_nomMachine");
  const RECT boxBefore = Driver::RectInParent(machineBox);
  for (SIZE size : {SIZE{1000, 700}, SIZE{623, 300}, SIZE{801, 555}}) {
    Driver::SetInnerSize(window, size.cx, size.cy);
    const SIZE inner = Driver::InnerSize(window);
    ASSERT_EQ(inner.cx, size.cx);
    ASSERT_EQ(inner.cy, size.cy);
    const int w = inner.cx;
    const int h = inner.cy;
    ExpectRect(driver->Gadget(L"PANEL_VisuApplications"), {1, 80, w, h - 180}, L"panel");
    for (const wchar_t* view : {L"LISTE_ApplicationsUninstall", L"TREE_ApplicationsUninstall", L"LST_Activite"})
      ExpectRect(driver->Gadget(view), {0, 0, w - 7, h - 206}, view);
    ExpectRect(driver->Gadget(L"TXT_RchNomApplication"), {w / 2, h - 90, 230, 20}, L"search field");
    ExpectRect(driver->Gadget(L"LBL_RchNomApplication"), {w / 2 - 200, h - 90, 185, 15}, L"search label");
    ExpectRect(driver->Gadget(L"BT_RchApplication"), {w / 2 + 235, h - 98, 35, 35}, L"search button");
    ExpectRect(driver->Gadget(L"BT_EditerInfosApplications"), {40, h - 60, 225, 20}, L"export button");
    ExpectRect(driver->Gadget(L"BT_Afficher"), {420, 9, 40, 40}, L"request button");
    ExpectRect(driver->Gadget(L"TXT_TempAttente"), {410, 55, 25, 20}, L"time limit");
    const RECT box = Driver::RectInParent(machineBox);
    EXPECT_EQ(box.left, boxBefore.left);
    EXPECT_EQ(box.top, boxBefore.top);
    EXPECT_EQ(Driver::RectInParent(driver->Gadget(L"ID_BarreDeStatus")).bottom, h);
  }
  // Never smaller than 622 x 300.
  Driver::SetInnerSize(window, 300, 150);
  const SIZE smallest = Driver::InnerSize(window);
  EXPECT_EQ(smallest.cx, 622);
  EXPECT_EQ(smallest.cy, 300);
}

TEST_F(GuiDriverTest, FieldsTakeTypingAndTheTimeLimitRefusesLetters) {
  HWND search = driver->Gadget(L"TXT_RchNomApplication");
  Driver::Type(search, L"Micro soft");
  EXPECT_EQ(Driver::Text(search), L"Micro soft");
  HWND timeLimit = driver->Gadget(L"TXT_TempAttente");
  SendMessageW(timeLimit, EM_SETSEL, 0, -1);
  Driver::Type(timeLimit, L"1a5b");
  EXPECT_EQ(Driver::Text(timeLimit), L"15");
  HWND machineBox = driver->Gadget(L"CBX_nomMachine");
  HWND machineEdit = FindWindowExW(machineBox, nullptr, L"Edit", nullptr);
  ASSERT_NE(machineEdit, nullptr);
  Driver::Type(machineEdit, L"SRV2");
  EXPECT_EQ(Driver::Text(machineBox), L"SRV2");
}

TEST_F(GuiDriverTest, ButtonsCanBeClickedAndClosingEndsTheProgramWithZero) {
  for (const wchar_t* name : {L"BT_RchApplication", L"BT_Afficher", L"BT_EditerInfosApplications"}) {
    Driver::Click(driver->Gadget(name));
    Settle(program.Window());
    EXPECT_TRUE(program.Running()) << name;
  }
  EXPECT_EQ(program.Close(), 0);
}

// What Windows shows of the program file: the version information, the manifest and the
// application icon, read back from the built file and from the running window.
TEST_F(GuiDriverTest, ProgramFileCarriesVersionManifestAndIcon) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self);
  path.erase(path.find_last_of(L"\\/") + 1);
  path += L"Appcensus_multi.exe";

  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_GT(size, 0u) << "no version information";
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(133, 3));
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(133, 3));
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  const auto text = [&info](const wchar_t* name) {
    wchar_t* value = nullptr;
    UINT chars = 0;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040C04B0\\") + name;
    if (!VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &chars) || !value)
      return std::wstring(L"<none>");
    return std::wstring(value);
  };
  EXPECT_EQ(text(L"ProductName"), L"Brelmont Appcensus");
  EXPECT_EQ(text(L"ProductVersion"), L"3.133");
  EXPECT_EQ(text(L"FileVersion"), L"3.133");
  EXPECT_EQ(text(L"CompanyName"), L"Brelmont");
  EXPECT_EQ(text(L"OriginalFilename"), L"Appcensus_multi.exe");
  EXPECT_EQ(text(L"FileDescription"), L"Brelmont Appcensus : inventaire des applications install\u00e9es");

  HMODULE file = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(file, nullptr);
  // The manifest: common controls 6, the invoking user's rights.
  HRSRC manifest = FindResourceW(file, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(manifest, nullptr);
  const std::string xml(static_cast<const char*>(LockResource(LoadResource(file, manifest))),
                        SizeofResource(file, manifest));
  EXPECT_NE(xml.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
  EXPECT_NE(xml.find("level=\"asInvoker\""), std::string::npos);
  // The icon group holds a 32 x 32 and a 16 x 16 image.
  HRSRC group = FindResourceW(file, L"APPCENSUS_ICON", MAKEINTRESOURCEW(14));
  ASSERT_NE(group, nullptr) << "no application icon";
  auto* directory = static_cast<BYTE*>(LockResource(LoadResource(file, group)));
  std::set<int> sides;
  for (int size : {32, 16}) {
    const int id = LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
    HRSRC image = FindResourceW(file, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3));
    ASSERT_NE(image, nullptr) << size;
    HICON icon = CreateIconFromResourceEx(static_cast<BYTE*>(LockResource(LoadResource(file, image))),
                                          SizeofResource(file, image), TRUE, 0x00030000, 0, 0, LR_DEFAULTCOLOR);
    ASSERT_NE(icon, nullptr) << size;
    ICONINFO parts{};
    ASSERT_TRUE(GetIconInfo(icon, &parts));
    BITMAP bitmap{};
    GetObjectW(parts.hbmColor ? parts.hbmColor : parts.hbmMask, sizeof bitmap, &bitmap);
    sides.insert(bitmap.bmWidth);
    if (parts.hbmColor) DeleteObject(parts.hbmColor);
    DeleteObject(parts.hbmMask);
    DestroyIcon(icon);
  }
  EXPECT_EQ(sides, (std::set<int>{16, 32}));
  FreeLibrary(file);

  // The running window's class carries it, large and small (asked inside the program:
  // under Wine another process cannot read a class's icons).
  for (int which : {GCLP_HICON, GCLP_HICONSM}) {
    DWORD icon = 0;
    ASSERT_TRUE(driver->CallUser32("GetClassLongPtrW", reinterpret_cast<std::uint64_t>(program.Window()),
                                   static_cast<std::uint64_t>(static_cast<std::int64_t>(which)), 0, 0, &icon));
    EXPECT_NE(icon, 0u) << which;
  }
}

// The driver reads filled views of another process: a window opened by a test program and
// filled with ten sample applications and six log lines (demo_window.cpp).
TEST(GuiDriverReadingTest, FilledViewsAreReadBackThroughTheDriver) {
  RunningProgram sample;
  ASSERT_TRUE(sample.Start(L"ui_demo_window.exe"));
  Driver driver(sample);
  HWND table = driver.Gadget(L"LISTE_ApplicationsUninstall");
  HWND tree = driver.Gadget(L"TREE_ApplicationsUninstall");
  HWND activity = driver.Gadget(L"LST_Activite");
  HWND status = driver.Gadget(L"ID_BarreDeStatus");
  for (int i = 0; i < 200 && driver.RowCount(activity) < 6; ++i) Sleep(50);
  Settle(sample.Window());

  ASSERT_EQ(driver.RowCount(table), 10);
  const std::vector<HTREEITEM> nodes = driver.TreeNodes(tree);
  ASSERT_EQ(nodes.size(), 90u);
  const int applicationImage = driver.NodeImage(tree, nodes[0]);
  const int machineImage = driver.NodeImage(tree, nodes[8]);
  EXPECT_GE(applicationImage, 0);
  EXPECT_GE(machineImage, 0);
  EXPECT_NE(applicationImage, machineImage);
  for (int row = 0; row < 10; ++row) {
    const std::wstring name = driver.CellText(table, row, 0);
    EXPECT_FALSE(name.empty()) << row;
    EXPECT_EQ(driver.NodeText(tree, nodes[9 * row]), name) << row;
    EXPECT_EQ(driver.NodeImage(tree, nodes[9 * row]), applicationImage) << row;
    EXPECT_EQ(driver.NodeImage(tree, nodes[9 * row + 8]), machineImage) << row;
    EXPECT_EQ(driver.NodeText(tree, nodes[9 * row + 8]), L"Machine : SRV2") << row;
    const std::wstring key = driver.CellText(table, row, 7);
    EXPECT_EQ(key.rfind(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{KEY-", 0), 0u);
    EXPECT_EQ(driver.NodeText(tree, nodes[9 * row + 7]), L"Emplacement dans base de registre : " + key) << row;
    EXPECT_EQ(driver.CellText(table, row, 8), L"SRV2") << row;
    // Shaded rows carry their colour in the row's data: every other row, from the first.
    EXPECT_EQ(driver.RowData(table, row) != 0, row % 2 == 0) << row;
  }
  EXPECT_EQ(driver.RowData(table, 0) & 0xFFFFFF, static_cast<LPARAM>(RGB(255, 247, 179)));

  const wchar_t* lines[6] = {L"Démarrage du traitement pour la machine SRV2",
                             L"Connexion à la base de registre de la machine SRV2", L"10 Entrées",
                             L"Impossible de contacter la machine SRV3", L"10 applications",
                             L"Traitement terminé sur la machine SRV2"};
  ASSERT_EQ(driver.RowCount(activity), 6);
  for (int row = 0; row < 6; ++row) EXPECT_EQ(driver.CellText(activity, row, 0), lines[row]) << row;
  for (int row : {0, 2, 4}) EXPECT_EQ(driver.RowImage(activity, row), I_IMAGENONE) << row;
  std::set<int> levelImages;
  for (int row : {1, 3, 5}) levelImages.insert(driver.RowImage(activity, row));
  EXPECT_EQ(levelImages.size(), 3u);
  EXPECT_FALSE(levelImages.count(I_IMAGENONE));

  EXPECT_NE(driver.OwnerDrawnFieldData(status, 0), 0);
  EXPECT_EQ(driver.StatusText(status, 1), L"Traitement terminé sur la machine SRV2");
  EXPECT_EQ(driver.StatusText(status, 2), L"");
  EXPECT_EQ(driver.StatusText(status, 3), L"10 applications");
  HWND progress = GetWindow(status, GW_CHILD);
  EXPECT_TRUE(IsWindowVisible(progress));
  EXPECT_EQ(SendMessageW(progress, PBM_GETPOS, 0, 0), 60);
}

}  // namespace
}  // namespace appcensus::driver
