// The program under Wine across runs: a first run; size, machine history, time limit and the
// Remote Registry box given back after a restart; stored settings of the wrong types or refused.
#include <cwctype>

#include "tools/program_fixture_win32.h"

namespace appcensus::driver {

class SettingsTest : public ProgramTest {
 protected:
  static constexpr wchar_t kBox[] = L"CHK_DemarrerRegistreDistant";
  // The gadgets that follow the inner size stand where the layout puts them.
  void ExpectLayoutApplied() const {
    const WindowLayout layout = ComputeWindowLayout(Inner().first, Inner().second);
    for (const auto& [name, place] :
         {std::pair{L"PANEL_VisuApplications", layout.panel}, {L"LISTE_ApplicationsUninstall", layout.view},
          {L"TREE_ApplicationsUninstall", layout.view}, {L"LST_Activite", layout.view},
          {L"TXT_RchNomApplication", layout.searchField}, {L"LBL_RchNomApplication", layout.searchLabel},
          {L"BT_RchApplication", layout.searchButton}, {L"BT_EditerInfosApplications", layout.exportButton},
          {L"CHK_DifferencesUniquement", layout.differencesBox}})
      EXPECT_EQ(Place(name), place) << Narrow(name);
  }
};

TEST_F(SettingsTest, AFirstRunOpensTheSmallestWindowWithEveryGadgetInPlace) {
  EXPECT_EQ(Inner(), std::pair(622, 300));
  ExpectLayoutApplied();
  // The progress bar inside the status bar's third field.
  const RECT field = driver->StatusFieldRect(status, 2), bar = Driver::RectInParent(progress);
  EXPECT_TRUE(bar.left >= field.left && bar.right <= field.right && bar.right - bar.left > 90);
  // The image buttons show their icons, the window's class the program's, large and small.
  for (const wchar_t* button : {L"BT_RchApplication", L"BT_Afficher"})
    EXPECT_NE(SendMessageW(Gadget(button), BM_GETIMAGE, IMAGE_ICON, 0), 0) << Narrow(button);
  EXPECT_TRUE(ClassLong(GCLP_HICON) != 0 && ClassLong(GCLP_HICONSM) != 0);
  // The program file: common controls of version 6 and the invoking user's rights in its
  // manifest, an application icon of 32 and 16 pixels.
  const std::string manifest = ProgramResource(RT_MANIFEST, MAKEINTRESOURCEW(1));
  EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
  EXPECT_EQ(ProgramIconSides(), (std::set<int>{16, 32}));
  // The Remote Registry box, unticked, clear of its neighbours.
  EXPECT_EQ(SendMessageW(Gadget(kBox), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  const RECT box = Driver::RectInParent(Gadget(kBox));
  for (const wchar_t* other : {L"CBX_nomMachine", L"BT_Afficher", L"TXT_TempAttente", L"PANEL_VisuApplications"}) {
    RECT both{}, at = Driver::RectInParent(Gadget(other));
    EXPECT_FALSE(IntersectRect(&both, &box, &at)) << Narrow(other);
  }
  EXPECT_EQ(TextOf(L"CHK_DifferencesUniquement"), L"Diff\u00e9rences uniquement");  // off
  EXPECT_EQ(SendMessageW(Gadget(L"CHK_DifferencesUniquement"), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(TextOf(L"TXT_TempAttente"), L"15");  // when none is stored; digits only
  Retype(L"TXT_TempAttente", L"1a5b");
  EXPECT_EQ(TextOf(L"TXT_TempAttente"), L"15");
  Driver::SetInnerSize(window, 300, 150);  // never smaller than at a first run
  EXPECT_EQ(Inner(), std::pair(622, 300));
}

// The window's outer rectangle lies inside the screen's work area.
bool FitsTheScreen(HWND window) {
  RECT area{}, outer{};
  return SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0) && GetWindowRect(window, &outer) &&
         outer.left >= area.left && outer.top >= area.top && outer.right <= area.right && outer.bottom <= area.bottom;
}

TEST_F(SettingsTest, SizeHistoryAndTimeLimitComeBackAfterARestartInsideTheScreen) {
  // A resize stores its size; maximised or minimised, the window keeps the size it comes back to.
  Driver::SetInnerSize(window, 801, 555);
  for (const int show : {SW_MINIMIZE, SW_RESTORE, SW_MAXIMIZE}) {
    ShowWindow(window, show);
    Settle(window);
    EXPECT_EQ(StoredSize(), std::pair(801, 555)) << show;
  }
  EXPECT_GT(Inner().first, 801);

  // The computer name typed in lower case passes the identity test and is stored as typed.
  std::wstring typed = ComputerName();
  for (wchar_t& c : typed) c = static_cast<wchar_t>(std::towlower(c));
  Retype(L"TXT_TempAttente", L"20");
  Driver::Click(Gadget(kBox));
  ASSERT_GE(RequestAndWait(typed, typed), 0) << ActivityText();
  EXPECT_EQ(StoredNumber(L"DemarrerRegistreDistant"), 1u);
  EXPECT_EQ(StoredText(L"CBX_Machines"), typed);
  EXPECT_EQ(StoredNumber(L"TempAttenteTraitementMachine"), 20u);

  ASSERT_EQ(Close(), 0);  // maximised
  ASSERT_TRUE(Start(false));
  EXPECT_EQ(Inner(), std::pair(801, 555));
  EXPECT_TRUE(FitsTheScreen(window));
  ExpectLayoutApplied();
  EXPECT_EQ(Driver::RectInParent(status).bottom, 555);  // the status bar follows the bottom
  EXPECT_EQ(TextOf(L"TXT_TempAttente"), L"20");
  EXPECT_EQ(SendMessageW(Gadget(kBox), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(MachineHistory(), std::vector<std::wstring>{typed});
  EXPECT_EQ(TextOf(L"CBX_nomMachine"), L"");

  // A stored size larger than the screen, as a window closed maximised used to leave: the window
  // opens inside the screen.
  ASSERT_EQ(Close(), 0);
  const DWORD width = 4000, height = 3000;
  StoreSetting(L"LargeurFenetre", REG_DWORD, &width, sizeof width);
  StoreSetting(L"HauteurFenetre", REG_DWORD, &height, sizeof height);
  ASSERT_TRUE(Start(false));
  EXPECT_TRUE(FitsTheScreen(window));
}

TEST_F(SettingsTest, StoredValuesOfTheWrongTypesLeaveAWorkingWindow) {
  ASSERT_EQ(Close(), 0);
  const DWORD number = 12345;
  const BYTE bytes[] = {0x0A, 0xFF};
  StoreSetting(L"CBX_Machines", REG_DWORD, &number, sizeof number);
  StoreSetting(L"HauteurFenetre", REG_SZ, L"abc", 8);
  StoreSetting(L"LargeurFenetre", REG_BINARY, bytes, sizeof bytes);
  StoreSetting(L"TempAttenteTraitementMachine", REG_MULTI_SZ, L"9\0\0", 6);
  ASSERT_TRUE(Start(false));
  // A number where a text was stored reads as its digits; unreadable types count as absent;
  // sizes without a leading number give 0 x 0, which the smallest size turns into 622 x 300.
  EXPECT_EQ(MachineHistory(), std::vector<std::wstring>{L"12345"});
  EXPECT_EQ(TextOf(L"TXT_TempAttente"), L"15");
  EXPECT_EQ(Inner(), std::pair(622, 300));
  Driver::SetInnerSize(window, 700, 400);
  EXPECT_EQ(StoredSize(), std::pair(700, 400));  // stored over the wrong values
}

TEST_F(SettingsTest, ARefusedSettingsKeyIsLikeAFirstRunAndKeepsWhatItHolds) {
  ASSERT_EQ(Close(), 0);
  StoreSetting(L"CBX_Machines", REG_SZ, L"SRV9", 10);
  if (!RefuseSettingsKey()) GTEST_SKIP() << "this registry does not refuse access to a key of the current user";
  ASSERT_TRUE(Start(false));
  EXPECT_TRUE(MachineHistory().empty());
  EXPECT_EQ(TextOf(L"TXT_TempAttente"), L"15");
  Driver::SetInnerSize(window, 700, 400);  // saving fails quietly
  EXPECT_EQ(Close(), 0);
  AllowSettingsKey();
  EXPECT_EQ(StoredText(L"CBX_Machines"), L"SRV9");
}

}  // namespace appcensus::driver
