// Time to fill 5,000 records into the real table and tree, against a bare loop that inserts
// the same rows and nodes with redraw off and the item count set in advance. Prints figures.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "ui/application_views.h"
#include "ui/main_views.h"
#include "ui/named_ids.h"
#include "tools/window_harness_win32.h"

using namespace appcensus;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

HWND Gadget(const char16_t* name) { return reinterpret_cast<HWND>(NamedId(name, 0)); }

void EmptyViews(testing::WindowHarness& harness) {
  ClearApplicationViews();
  harness.OnWindowThread([](Gadgets&) {});
}

struct BareTimes {
  double list = 0;
  double tree = 0;
};

BareTimes BareLoop(const std::vector<ApplicationRecord>& records) {
  HWND list = Gadget(u"LISTE_ApplicationsUninstall");
  HWND tree = Gadget(u"TREE_ApplicationsUninstall");
  BareTimes times;
  auto start = Clock::now();
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LVM_SETITEMCOUNT, static_cast<WPARAM>(records.size()), LVSICF_NOINVALIDATEALL);
  int index = 0;
  for (const ApplicationRecord& r : records) {
    const TableRow row = ApplicationTableRow(r);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = const_cast<LPWSTR>(reinterpret_cast<LPCWSTR>(row.cells[0].c_str()));
    const int added = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    for (int c = 1; c < 9; ++c) {
      LVITEMW cell{};
      cell.iSubItem = c;
      cell.pszText = const_cast<LPWSTR>(reinterpret_cast<LPCWSTR>(row.cells[c].c_str()));
      SendMessageW(list, LVM_SETITEMTEXTW, added, reinterpret_cast<LPARAM>(&cell));
    }
    ++index;
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  times.list = Seconds(Clock::now() - start);

  start = Clock::now();
  SendMessageW(tree, WM_SETREDRAW, FALSE, 0);
  for (const ApplicationRecord& r : records) {
    const auto branch = ApplicationBranch(r);
    HTREEITEM parent = nullptr;
    for (const TreeNode& node : branch) {
      TVINSERTSTRUCTW insert{};
      insert.hParent = node.level == 0 ? TVI_ROOT : parent;
      insert.hInsertAfter = TVI_LAST;
      insert.item.mask = TVIF_TEXT;
      insert.item.pszText = const_cast<LPWSTR>(reinterpret_cast<LPCWSTR>(node.text.c_str()));
      auto* added = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
      if (node.level == 0) parent = added;
    }
  }
  SendMessageW(tree, WM_SETREDRAW, TRUE, 0);
  times.tree = Seconds(Clock::now() - start);
  return times;
}

}  // namespace

int main() {
  testing::WindowHarness harness;
  if (!harness.Open()) {
    std::puts("the window did not open");
    return 1;
  }
  ApplicationTable table;
  for (int i = 0; i < 5000; ++i) {
    const Text n = DecimalText(i);
    table.Store(ApplicationRecord{u"Application " + n, u"1." + n, u" - ", u"01/02/2023", u"MsiExec.exe /X{" + n + u"}",
                                  u"C:\\Program Files\\App" + n, u"{" + n + u"}", u"SRV2", u"{KEY-" + n + u"}"});
  }
  const std::vector<ApplicationRecord> records = table.Snapshot();
  constexpr int kRuns = 3;
  std::vector<double> fills, calls, bares, bareLists, bareTrees;
  for (int run = 0; run < kRuns; ++run) {
    EmptyViews(harness);
    const auto start = Clock::now();
    FillApplicationViews(table);
    const auto handedOver = Clock::now();
    harness.OnWindowThread([](Gadgets&) {});
    const auto end = Clock::now();
    fills.push_back(Seconds(end - start));
    calls.push_back(Seconds(handedOver - start));

    EmptyViews(harness);
    BareTimes bare;
    harness.OnWindowThread([&](Gadgets&) { bare = BareLoop(records); });
    bares.push_back(bare.list + bare.tree);
    bareLists.push_back(bare.list);
    bareTrees.push_back(bare.tree);
  }
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  std::printf("records: %zu (rows %zu, nodes %zu), median of %d runs\n", records.size(), records.size(),
              records.size() * 9, kRuns);
  std::printf("FillApplicationViews, until applied: %.3f s (caller's part, building rows and nodes: %.3f s)\n",
              median(fills), median(calls));
  std::printf("bare loop: %.3f s (list %.3f s, tree %.3f s)\n", median(bares), median(bareLists), median(bareTrees));
  std::printf("ratio: %.2f\n", median(fills) / median(bares));
  harness.Close();
  return 0;
}
