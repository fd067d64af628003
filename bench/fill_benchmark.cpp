// The whole request as the window lives it: 5,000 uninstall entries below the real Uninstall
// key, the program started, the local machine requested with a click, and an empty message
// sent to the main window every 20 ms until the table shows every entry; then, where the
// program sorts by columns, a click on the title "Version" until the rows are back in that
// order. Prints how long each took and how long the window left those messages unanswered
// (Windows marks a window "not responding" after 5 s). Run under wine64, beside the program
// file (by default Appcensus_multi.exe, or another one given, such as an earlier build):
//   fill_benchmark [entries [program file]]
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

struct Span {
  double seconds = -1;        // until `done` held, -1 when it never did
  std::vector<double> waits;  // for each empty message, how long it waited for an answer
};

// Sends an empty message to the window every 20 ms from now until 3 s after `done` holds (5
// minutes at most).
template <typename Done>
Span Watch(HWND window, Done done) {
  Span span;
  const Clock::time_point begin = Clock::now();
  Clock::time_point finished{};
  for (;;) {
    const Clock::time_point sent = Clock::now();
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored);
    span.waits.push_back(Milliseconds(Clock::now() - sent));
    if (finished == Clock::time_point{} && done()) {
      finished = Clock::now();
      span.seconds = Milliseconds(finished - begin) / 1000;
    }
    if (finished != Clock::time_point{} && Clock::now() - finished > std::chrono::seconds(3)) break;
    if (Clock::now() - begin > std::chrono::minutes(5)) break;
    Sleep(20);
  }
  std::sort(span.waits.begin(), span.waits.end());
  return span;
}

void Print(const char* what, const Span& span) {
  const auto over = std::count_if(span.waits.begin(), span.waits.end(), [](double w) { return w > 250; });
  std::printf("%s: %.2f s; empty messages answered: %zu; longest wait %.0f ms; 99th percentile %.0f ms; over 250 ms: %ld\n",
              what, span.seconds, span.waits.size(), span.waits.back(), span.waits[span.waits.size() * 99 / 100],
              static_cast<long>(over));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int count = argc > 1 ? std::max(1, _wtoi(argv[1])) : 5000;
  const wchar_t* programFile = argc > 2 ? argv[2] : L"Appcensus_multi.exe";
  const appcensus::testing::BenchmarkEntries entries(L"AppcensusFill");
  if (!entries.Fill(count)) {
    std::fprintf(stderr, "could not write the entries\n");
    entries.Remove(count);
    return 1;
  }
  int code = 0;
  {
    appcensus::driver::RunningProgram program;
    if (!program.Start(programFile)) {
      std::fprintf(stderr, "the program's window did not appear\n");
      code = 1;
    } else {
      const appcensus::driver::Driver driver(program);
      HWND table = driver.Gadget(L"LISTE_ApplicationsUninstall");
      const auto full = [&] {
        return SendMessageW(table, LVM_GETITEMCOUNT, 0, 0) >= count && IsWindowVisible(table);
      };
      Sleep(1000);  // the window settles after its start
      PostMessageW(driver.Gadget(L"BT_Afficher"), BM_CLICK, 0, 0);
      const Span request = Watch(program.Window(), full);
      std::printf("entries: %d\n", count);
      Print("request, click to full table", request);
      // A click on the title "Version", where the program sorts by columns: the rows again, in
      // the versions' order, from the records already read.
      const RECT title = driver.ColumnTitleRect(table, 1);
      if (request.seconds >= 0 && driver.ColumnTitleFormat(table, 0) & HDF_SORTUP) {
        const LPARAM at = MAKELPARAM((title.left + title.right) / 2, (title.top + title.bottom) / 2);
        HWND header = appcensus::driver::Driver::Header(table);
        PostMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageW(header, WM_LBUTTONUP, 0, at);
        Print("click on \"Version\" to the sorted table",
              Watch(program.Window(), [&] { return (driver.ColumnTitleFormat(table, 1) & HDF_SORTUP) && full(); }));
      }
      if (request.seconds < 0) {
        std::fprintf(stderr, "the table did not fill within 5 minutes\n");
        code = 1;
      }
    }
    program.Close();
  }
  entries.Remove(count);
  return code;
}
