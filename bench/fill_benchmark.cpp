// The whole request as the window lives it: 5,000 uninstall entries below the real Uninstall
// key, the program started, the local machine requested with a click, and an empty message
// sent to the main window every 20 ms until the table shows every entry. Prints how long the
// request took and how long the window left those messages unanswered (Windows marks a
// window "not responding" after 5 s). Run under wine64:
//   fill_benchmark [entries]
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/benchmark_entries_win32.h"
#include "tools/gui_driver_win32.h"

using Clock = std::chrono::steady_clock;

namespace {

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int count = argc > 1 ? std::max(1, _wtoi(argv[1])) : 5000;
  const appcensus::testing::BenchmarkEntries entries(L"AppcensusFill");
  if (!entries.Fill(count)) {
    std::fprintf(stderr, "could not write the entries\n");
    entries.Remove(count);
    return 1;
  }
  int code = 0;
  {
    appcensus::driver::RunningProgram program;
    if (!program.Start()) {
      std::fprintf(stderr, "the program's window did not appear\n");
      code = 1;
    } else {
      const appcensus::driver::Driver driver(program);
      HWND table = driver.Gadget(L"LISTE_ApplicationsUninstall");
      Sleep(1000);  // the window settles after its start
      PostMessageW(driver.Gadget(L"BT_Afficher"), BM_CLICK, 0, 0);
      const Clock::time_point clicked = Clock::now();
      std::vector<double> waits;
      Clock::time_point full{};
      for (;;) {
        const Clock::time_point sent = Clock::now();
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(program.Window(), WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored);
        waits.push_back(Milliseconds(Clock::now() - sent));
        const int rows = static_cast<int>(SendMessageW(table, LVM_GETITEMCOUNT, 0, 0));
        if (rows >= count && IsWindowVisible(table) && full == Clock::time_point{}) full = Clock::now();
        if (full != Clock::time_point{} && Clock::now() - full > std::chrono::seconds(3)) break;
        if (Clock::now() - clicked > std::chrono::minutes(5)) {
          std::fprintf(stderr, "the table did not fill within 5 minutes\n");
          code = 1;
          break;
        }
        Sleep(20);
      }
      std::sort(waits.begin(), waits.end());
      const auto over = std::count_if(waits.begin(), waits.end(), [](double w) { return w > 250; });
      std::printf("entries: %d\n", count);
      std::printf("request, click to full table: %.2f s\n", Milliseconds(full - clicked) / 1000);
      std::printf("empty messages answered: %zu; longest wait %.0f ms; 99th percentile %.0f ms; over 250 ms: %ld\n",
                  waits.size(), waits.back(), waits[waits.size() * 99 / 100], static_cast<long>(over));
    }
    program.Close();
  }
  entries.Remove(count);
  return code;
}
