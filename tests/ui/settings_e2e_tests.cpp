// The program under Wine across runs: the window of a first run, the size, machine history
// and time limit stored and given back after a restart, and stored settings of the wrong
// types or refused.
#include <gtest/gtest.h>

#include <cwctype>

#include "tools/program_fixture_win32.h"
#include "ui/window_layout.h"

namespace appcensus::driver {
namespace {

class SettingsTest : public ProgramTest {
 protected:
  // The gadgets that follow the inner size stand where the layout puts them, the others where
  // they were made; unnamed labels are found by their captions.
  void ExpectGadgetsInPlace() const {
    const WindowLayout layout = ComputeWindowLayout(Inner().cx, Inner().cy);
    const std::pair<const wchar_t*, GadgetRect> places[] = {
        {L"PANEL_VisuApplications", layout.panel},       {L"LISTE_ApplicationsUninstall", layout.view},
        {L"TREE_ApplicationsUninstall", layout.view},    {L"LST_Activite", layout.view},
        {L"TXT_RchNomApplication", layout.searchField},  {L"LBL_RchNomApplication", layout.searchLabel},
        {L"BT_RchApplication", layout.searchButton},     {L"BT_EditerInfosApplications", layout.exportButton},
        {L"BT_Afficher", {420, 9, 40, 40}},              {L"TXT_TempAttente", {410, 55, 25, 20}},
        {L"Liste des applications :", {5, 65, 150, 15}}, {L"Nom machine :", {114, 18, 90, 15}},
        {L"Temps d'attente traitement :", {282, 60, 130, 15}}, {L"secs", {436, 60, 25, 20}},
    };
    for (const auto& [name, place] : places) {
      HWND gadget = Gadget(name) ? Gadget(name) : FindWindowExW(window, nullptr, L"Static", name);
      const RECT r = Driver::RectInParent(gadget);
      EXPECT_EQ((GadgetRect{r.left, r.top, r.right - r.left, r.bottom - r.top}), place) << Narrow(name);
    }
    // The machine box, as high as its edit part.
    const RECT box = Driver::RectInParent(Gadget(L"CBX_nomMachine"));
    EXPECT_TRUE(box.left == 210 && box.top == 15 && box.right == 415) << box.left << "," << box.top << "," << box.right;
  }
};

TEST_F(SettingsTest, AFirstRunOpensTheSmallestWindowWithEveryGadgetInPlace) {
  RECT outer{};
  GetWindowRect(window, &outer);
  EXPECT_TRUE(outer.left == 391 && outer.top == 88) << outer.left << "," << outer.top;
  EXPECT_TRUE(Inner().cx == 622 && Inner().cy == 300) << Inner().cx << " x " << Inner().cy;
  EXPECT_EQ(GetWindowLongW(window, GWL_STYLE) & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
  ExpectGadgetsInPlace();
  // Four status fields along the bottom, the progress bar inside the third.
  EXPECT_EQ(driver->StatusRightEdges(status), (std::vector<int>{20, 420, 520, 620}));
  EXPECT_EQ(Driver::RectInParent(status).bottom, 300);
  const RECT field = driver->StatusFieldRect(status, 2), bar = Driver::RectInParent(progress);
  EXPECT_TRUE(bar.left >= field.left && bar.right <= field.right && bar.right - bar.left > 90);
  // The image buttons show their icons, the window's class the program's (asked inside the
  // program: under Wine another process cannot read a class's icons).
  for (const wchar_t* button : {L"BT_RchApplication", L"BT_Afficher"})
    EXPECT_NE(SendMessageW(Gadget(button), BM_GETIMAGE, IMAGE_ICON, 0), 0) << Narrow(button);
  for (int which : {GCLP_HICON, GCLP_HICONSM}) {
    DWORD icon = 0;
    ASSERT_TRUE(driver->CallUser32("GetClassLongPtrW", reinterpret_cast<std::uint64_t>(window),
                                   static_cast<std::uint64_t>(static_cast<std::int64_t>(which)), 0, 0, &icon));
    EXPECT_NE(icon, 0u) << which;
  }
  // The time limit is 15 when none is stored, and takes digits only.
  EXPECT_EQ(TextOf(L"TXT_TempAttente"), L"15");
  Retype(L"TXT_TempAttente", L"1a5b");
  EXPECT_EQ(TextOf(L"TXT_TempAttente"), L"15");
  Driver::SetInnerSize(window, 300, 150);  // never smaller than at a first run
  EXPECT_TRUE(Inner().cx == 622 && Inner().cy == 300) << Inner().cx << " x " << Inner().cy;
}

TEST_F(SettingsTest, SizeHistoryAndTimeLimitComeBackAfterARestart) {
  // Maximising stores the maximised size, a resize its size, minimising nothing.
  ShowWindow(window, SW_MAXIMIZE);
  Settle(window);
  EXPECT_GT(Inner().cx, 622);
  EXPECT_EQ(StoredNumber(L"LargeurFenetre"), static_cast<DWORD>(Inner().cx));
  EXPECT_EQ(StoredNumber(L"HauteurFenetre"), static_cast<DWORD>(Inner().cy));
  ShowWindow(window, SW_RESTORE);
  Driver::SetInnerSize(window, 801, 555);
  ShowWindow(window, SW_MINIMIZE);
  Settle(window);
  EXPECT_EQ(StoredNumber(L"LargeurFenetre"), 801u);
  EXPECT_EQ(StoredNumber(L"HauteurFenetre"), 555u);
  ShowWindow(window, SW_RESTORE);

  // The computer name typed in lower case passes the identity test and is stored as typed.
  std::wstring typed = ComputerName();
  for (wchar_t& c : typed) c = static_cast<wchar_t>(std::towlower(c));
  Retype(L"TXT_TempAttente", L"20");
  ASSERT_GE(RequestAndWait(typed, typed), 0) << ActivityText();
  EXPECT_EQ(StoredText(L"CBX_Machines"), typed);
  EXPECT_EQ(StoredNumber(L"TempAttenteTraitementMachine"), 20u);

  ASSERT_EQ(Close(), 0);
  ASSERT_TRUE(Start(false));
  EXPECT_TRUE(Inner().cx == 801 && Inner().cy == 555) << Inner().cx << " x " << Inner().cy;
  ExpectGadgetsInPlace();
  EXPECT_EQ(TextOf(L"TXT_TempAttente"), L"20");
  EXPECT_EQ(MachineHistory(), std::vector<std::wstring>{typed});
  EXPECT_EQ(TextOf(L"CBX_nomMachine"), L"");
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
  EXPECT_TRUE(Inner().cx == 622 && Inner().cy == 300) << Inner().cx << " x " << Inner().cy;
  Driver::SetInnerSize(window, 700, 400);
  EXPECT_EQ(StoredNumber(L"LargeurFenetre"), 700u);  // stored over the wrong value
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

}  // namespace
}  // namespace appcensus::driver
