// The time from a click on the request button to the closing line with the table filled, as a
// user lives it: 150 uninstall entries below the real Uninstall key, the program started, the
// local machine requested, then requested again 0.3 s after each request ended. Run under
// wine64:
//   click_benchmark [entries] [requests]
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

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int count = argc > 1 ? std::max(1, _wtoi(argv[1])) : 150;
  const int requests = argc > 2 ? std::max(2, _wtoi(argv[2])) : 6;
  const appcensus::testing::BenchmarkEntries entries(L"AppcensusClick");
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
      HWND button = driver.Gadget(L"BT_Afficher");
      HWND status = driver.Gadget(L"ID_BarreDeStatus");
      const std::wstring done = L"Traitement termin\u00e9 sur la machine ";
      Sleep(1000);  // the window settles after its start
      std::vector<double> times;
      for (int r = 0; r < requests && code == 0; ++r) {
        PostMessageW(button, BM_CLICK, 0, 0);
        const Clock::time_point clicked = Clock::now();
        // The click's busy line replaces the last closing line in the status bar at once.
        while (driver.StatusText(status, 1).starts_with(done) && Clock::now() - clicked < std::chrono::seconds(5)) Sleep(1);
        for (;;) {
          // The closing line comes after the fill is handed over: the table then has its rows.
          if (driver.StatusText(status, 1).starts_with(done) && driver.RowCount(table) >= count && IsWindowVisible(table))
            break;
          if (Clock::now() - clicked > std::chrono::minutes(1)) {
            std::fprintf(stderr, "request %d did not end within a minute\n", r + 1);
            code = 1;
            break;
          }
          Sleep(5);
        }
        times.push_back(Milliseconds(Clock::now() - clicked));
        Sleep(300);  // the next click comes 0.3 s after this request ended
      }
      if (code == 0) {
        std::printf("entries: %d\n", count);
        std::printf("first request, click to closing line and full table: %.0f ms\n", times.front());
        std::printf("request clicked 0.3 s after the last ended: median %.0f ms over %zu (", Median({times.begin() + 1, times.end()}),
                    times.size() - 1);
        for (std::size_t i = 1; i < times.size(); ++i) std::printf(i > 1 ? ", %.0f" : "%.0f", times[i]);
        std::printf(" ms)\n");
      }
    }
    program.Close();
  }
  entries.Remove(count);
  return code;
}
