// The whole request as the window lives it: 5,000 uninstall entries below the real Uninstall
// key, the program started, the local machine requested with a click, and an empty message
// sent to the main window every 20 ms until the table shows every entry. Prints how long the
// request took and how long the window left those messages unanswered (Windows marks a
// window "not responding" after 5 s). Run under wine64:
//   fill_benchmark [entries] [path of Appcensus_multi.exe]
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/benchmark_entries_win32.h"
#include "ui/gadget_names.h"

using Clock = std::chrono::steady_clock;

namespace {

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

std::wstring BesideThisProgram(const wchar_t* name) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self);
  return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

HWND FindControl(HWND window, const char16_t* gadget) {
  struct Search {
    int id;
    HWND found;
  } search{appcensus::GadgetControlId(gadget), nullptr};
  EnumChildWindows(
      window,
      [](HWND child, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        if (GetDlgCtrlID(child) != s->id) return TRUE;
        s->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

struct Program {
  PROCESS_INFORMATION process{};
  HWND window = nullptr;

  bool Start(const std::wstring& path) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    std::wstring commandLine = L"\"" + path + L"\"";
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
      return false;
    for (int i = 0; i < 600 && !window; ++i) {
      Sleep(50);
      HWND found = FindWindowW(L"AppcensusMainWindow", nullptr);
      DWORD owner = 0;
      if (found) GetWindowThreadProcessId(found, &owner);
      if (found && owner == process.dwProcessId && IsWindowVisible(found)) window = found;
    }
    return window != nullptr;
  }
  ~Program() {
    if (window) PostMessageW(window, WM_CLOSE, 0, 0);
    if (process.hProcess) {
      if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
      CloseHandle(process.hProcess);
      CloseHandle(process.hThread);
    }
  }
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int count = argc > 1 ? std::max(1, _wtoi(argv[1])) : 5000;
  const std::wstring path = argc > 2 ? argv[2] : BesideThisProgram(L"Appcensus_multi.exe");
  const appcensus::testing::BenchmarkEntries entries(L"AppcensusFill");
  if (!entries.Fill(count)) {
    std::fprintf(stderr, "could not write the entries\n");
    entries.Remove(count);
    return 1;
  }
  int code = 0;
  {
    Program program;
    HWND table = nullptr;
    if (!program.Start(path) || !(table = FindControl(program.window, appcensus::kTable))) {
      std::fprintf(stderr, "the program's window did not appear\n");
      code = 1;
    } else {
      Sleep(1000);  // the window settles after its start
      const auto before = static_cast<int>(SendMessageW(table, LVM_GETITEMCOUNT, 0, 0));
      PostMessageW(FindControl(program.window, appcensus::kRequestButton), BM_CLICK, 0, 0);
      const Clock::time_point clicked = Clock::now();
      std::vector<double> waits;
      Clock::time_point full{};
      for (;;) {
        const Clock::time_point sent = Clock::now();
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(program.window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored);
        waits.push_back(Milliseconds(Clock::now() - sent));
        const int rows = static_cast<int>(SendMessageW(table, LVM_GETITEMCOUNT, 0, 0));
        if (rows >= before + count && IsWindowVisible(table) && full == Clock::time_point{}) full = Clock::now();
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
  }
  entries.Remove(count);
  return code;
}
