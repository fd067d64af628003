// The views and the activity log on the real controls, called from a thread that is not the
// window thread, as the worker calls them.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <thread>

#include "core/shared_state.h"
#include "ui/gadgets_win32.h"
#include "ui/main_views.h"
#include "ui/named_ids.h"
#include "tools/window_harness_win32.h"

namespace appcensus {
namespace {

testing::WindowHarness* harness = nullptr;

class WindowEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    harness = new testing::WindowHarness();
    ASSERT_TRUE(harness->Open());
  }
  void TearDown() override {
    harness->Close();
    delete harness;
  }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new WindowEnvironment);

HWND Gadget(const char16_t* name) { return reinterpret_cast<HWND>(NamedId(name, 0)); }

std::wstring CellText(HWND list, int row, int column) {
  wchar_t text[512] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = 512;
  SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  return text;
}

LVITEMW Row(HWND list, int row) {
  LVITEMW item{};
  item.mask = LVIF_PARAM | LVIF_IMAGE;
  item.iItem = row;
  SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  return item;
}

struct Node {
  std::wstring text;
  int image = -1;
  int depth = 0;
};

std::vector<Node> TreeNodes(HWND tree) {
  std::vector<Node> nodes;
  auto next = [tree](HTREEITEM item, UINT how) {
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
  };
  auto read = [tree](HTREEITEM item, int depth) {
    wchar_t text[512] = {};
    TVITEMW request{};
    request.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_HANDLE;
    request.hItem = item;
    request.pszText = text;
    request.cchTextMax = 512;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&request));
    return Node{text, request.iImage, depth};
  };
  for (HTREEITEM root = next(nullptr, TVGN_ROOT); root; root = next(root, TVGN_NEXT)) {
    nodes.push_back(read(root, 0));
    for (HTREEITEM leaf = next(root, TVGN_CHILD); leaf; leaf = next(leaf, TVGN_NEXT)) nodes.push_back(read(leaf, 1));
  }
  return nodes;
}

std::wstring StatusText(int field) {
  wchar_t text[512] = {};
  SendMessageW(Gadget(u"ID_BarreDeStatus"), SB_GETTEXTW, field, reinterpret_cast<LPARAM>(text));
  return text;
}

bool VisibleStyle(HWND control) { return (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0; }

ApplicationRecord Record(const char16_t* name, const char16_t* key) {
  return ApplicationRecord{name, u"2.0", u" - ", u"01/02/2023", u"", u"C:\\Apps", u"{0A}", u"SRV9", key};
}

TEST(WindowViewsTest, FillFromAnotherThreadShowsRowsShadingAndBranches) {
  ApplicationTable table;
  for (const char16_t* key : {u"k1", u"k2", u"k3", u"k4"}) table.Store(Record((Text(u"Appli ") + key).c_str(), key));
  table.Store(Record(u"Autre chose", u"k5"));
  SearchFieldText().Set(u"APPLI");
  std::thread([&] {
    SetViewsBusy(1);
    FillApplicationViews(table);
  }).join();
  SearchFieldText().Set(u"");
  ASSERT_TRUE(harness->OnWindowThread([](Gadgets&) {}));

  HWND list = Gadget(u"LISTE_ApplicationsUninstall");
  HWND tree = Gadget(u"TREE_ApplicationsUninstall");
  ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 4);
  const std::vector<Node> nodes = TreeNodes(tree);
  ASSERT_EQ(nodes.size(), 36u);
  for (int row = 0; row < 4; ++row) {
    const std::wstring name = CellText(list, row, 0);
    EXPECT_EQ(name.rfind(L"Appli ", 0), 0u);
    EXPECT_EQ(nodes[9 * row].text, name);
    EXPECT_EQ(nodes[9 * row].depth, 0);
    EXPECT_EQ(nodes[9 * row + 1].text, L"Version : 2.0");
    EXPECT_EQ(nodes[9 * row + 6].text, L"Commande de désinstallation : ");
    EXPECT_EQ(nodes[9 * row + 8].text, L"Machine : SRV9");
    EXPECT_EQ(CellText(list, row, 7), L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" +
                                          std::wstring(name.begin() + 6, name.end()));
    EXPECT_EQ(CellText(list, row, 8), L"SRV9");
    const LPARAM shading = Row(list, row).lParam;
    if (row % 2 == 0) {
      EXPECT_EQ(shading, kRowShadedFlag | RGB(255, 247, 179)) << row;
    } else {
      EXPECT_EQ(shading, 0) << row;
    }
  }
  // Each leaf kind has its own image, the same in every branch; no node is without one.
  for (int leaf = 0; leaf < 9; ++leaf) {
    EXPECT_GE(nodes[leaf].image, 0) << leaf;
    EXPECT_EQ(nodes[27 + leaf].image, nodes[leaf].image) << leaf;
    for (int other = 0; other < leaf; ++other) EXPECT_NE(nodes[leaf].image, nodes[other].image);
  }
  EXPECT_TRUE(VisibleStyle(list));
  EXPECT_TRUE(VisibleStyle(tree));
  EXPECT_EQ(StatusText(3), L"5 applications");
}

TEST(WindowViewsTest, BusyHidesTableAndTreeButNotTheActivityList) {
  std::thread([] { SetViewsBusy(1); }).join();
  ASSERT_TRUE(harness->OnWindowThread([](Gadgets&) {}));
  EXPECT_FALSE(VisibleStyle(Gadget(u"LISTE_ApplicationsUninstall")));
  EXPECT_FALSE(VisibleStyle(Gadget(u"TREE_ApplicationsUninstall")));
  EXPECT_TRUE(VisibleStyle(Gadget(u"LST_Activite")));
  EXPECT_EQ(StatusText(1), L"Traitement en cours...");
  std::thread([] { SetViewsBusy(0); }).join();
  ASSERT_TRUE(harness->OnWindowThread([](Gadgets&) {}));
  EXPECT_TRUE(VisibleStyle(Gadget(u"LISTE_ApplicationsUninstall")));
  EXPECT_TRUE(VisibleStyle(Gadget(u"TREE_ApplicationsUninstall")));
}

TEST(WindowViewsTest, ClearEmptiesViewsAndCountAndLastMachineName) {
  ApplicationTable table;
  table.Store(Record(u"Appli", u"k1"));
  Shared().lastMachineName.Set(u"SRV9");
  std::thread([&] {
    FillApplicationViews(table);
    ClearApplicationViews();
  }).join();
  ASSERT_TRUE(harness->OnWindowThread([](Gadgets&) {}));
  EXPECT_EQ(SendMessageW(Gadget(u"LISTE_ApplicationsUninstall"), LVM_GETITEMCOUNT, 0, 0), 0);
  EXPECT_EQ(SendMessageW(Gadget(u"TREE_ApplicationsUninstall"), TVM_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(StatusText(3), L"");
  EXPECT_EQ(Shared().lastMachineName.Get(), u"");
}

TEST(WindowViewsTest, LogRowsCarryTheLevelIconAndStatusFieldsFollow) {
  HWND activity = Gadget(u"LST_Activite");
  HWND progress = GetWindow(Gadget(u"ID_BarreDeStatus"), GW_CHILD);
  const int first = static_cast<int>(SendMessageW(activity, LVM_GETITEMCOUNT, 0, 0));
  std::thread([] {
    LogActivity(u"Connexion à la base de registre de la machine SRV9", ActivityLevel::InProgress, 1);
    LogActivity(u"Impossible de contacter la machine SRV9", ActivityLevel::Error, 1);
    LogActivity(u"152", ActivityLevel::None, 2);
    LogActivity(u"7 Entrées", ActivityLevel::None, 3);
  }).join();
  ASSERT_TRUE(harness->OnWindowThread([](Gadgets&) {}));
  ASSERT_EQ(SendMessageW(activity, LVM_GETITEMCOUNT, 0, 0), first + 4);
  EXPECT_EQ(CellText(activity, first, 0), L"Connexion à la base de registre de la machine SRV9");
  const int inProgress = Row(activity, first).iImage;
  const int error = Row(activity, first + 1).iImage;
  EXPECT_GE(inProgress, 0);
  EXPECT_GE(error, 0);
  EXPECT_NE(inProgress, error);
  EXPECT_EQ(Row(activity, first + 2).iImage, I_IMAGENONE);
  EXPECT_EQ(StatusText(1), L"Impossible de contacter la machine SRV9");
  EXPECT_EQ(StatusText(2), L"152");
  EXPECT_EQ(StatusText(3), L"7 Entrées");
  EXPECT_FALSE(VisibleStyle(progress));
  // Field 0 holds the error icon, drawn by the window.
  const LRESULT field0 = SendMessageW(Gadget(u"ID_BarreDeStatus"), SB_GETTEXTW, 0, 0);
  EXPECT_EQ(static_cast<std::uint32_t>(field0), static_cast<std::uint32_t>(NamedId(u"ICO_ActionErreur", 0)));

  std::thread([] { SetStatusProgress(40, 80); }).join();
  ASSERT_TRUE(harness->OnWindowThread([](Gadgets&) {}));
  EXPECT_TRUE(VisibleStyle(progress));
  EXPECT_EQ(SendMessageW(progress, PBM_GETPOS, 0, 0), 40);
  EXPECT_EQ(SendMessageW(progress, PBM_GETRANGE, FALSE, 0), 80);
}

TEST(WindowViewsTest, ManyThreadsLogWholeRowsInEachThreadsOrder) {
  HWND activity = Gadget(u"LST_Activite");
  const int first = static_cast<int>(SendMessageW(activity, LVM_GETITEMCOUNT, 0, 0));
  constexpr int kThreads = 4;
  constexpr int kCalls = 200;
  std::vector<std::thread> callers;
  for (int t = 0; t < kThreads; ++t)
    callers.emplace_back([t] {
      for (int i = 0; i < kCalls; ++i) LogActivity(u"T" + DecimalText(t) + u"-" + DecimalText(i), ActivityLevel::None, 1);
    });
  for (auto& caller : callers) caller.join();
  ASSERT_TRUE(harness->OnWindowThread([](Gadgets&) {}));
  ASSERT_EQ(SendMessageW(activity, LVM_GETITEMCOUNT, 0, 0), first + kThreads * kCalls);
  int next[kThreads] = {};
  for (int row = first; row < first + kThreads * kCalls; ++row) {
    const std::wstring text = CellText(activity, row, 0);
    const int t = text[1] - L'0';
    ASSERT_TRUE(t >= 0 && t < kThreads) << row;
    EXPECT_EQ(text, L"T" + std::to_wstring(t) + L"-" + std::to_wstring(next[t])) << row;
    ++next[t];
  }
}

TEST(WindowViewsTest, SearchAndTimeLimitFieldsAreMirroredForOtherThreads) {
  SetWindowTextW(Gadget(u"TXT_RchNomApplication"), L"micro");
  SetWindowTextW(Gadget(u"TXT_TempAttente"), L"15");
  Text search;
  Text limit;
  int matches = -1;
  std::thread([&] {
    search = SearchFieldText().Get();
    limit = TimeLimitFieldText().Get();
    matches = MatchesNameFilter(u"Outil MICROscope") + MatchesNameFilter(u"Autre");
  }).join();
  EXPECT_EQ(search, u"micro");
  EXPECT_EQ(limit, u"15");
  EXPECT_EQ(matches, 1);
  SetWindowTextW(Gadget(u"TXT_RchNomApplication"), L"");
}

}  // namespace
}  // namespace appcensus
