// Start-up to a visible window: Appcensus_multi.exe (or the program files given, such as an
// earlier build) beside the smallest Win32 window program (bare_window.exe), started in turn,
// five times each unless told otherwise. For each start: the time from CreateProcess until a
// visible top-level window of the process exists, until that window has answered a first
// message (its start-up work done), and the working set then. Prints every run and the
// medians. Run under wine64 from the build folder:
//   startup_benchmark [runs [program file...]]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

struct Start {
  double visibleMs = -1;
  double answeredMs = -1;
  double workingSetMb = 0;
};

std::wstring BesideThisProgram(const wchar_t* name) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self);
  return path.erase(path.find_last_of(L"\\/") + 1) + name;
}

struct Search {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindVisibleWindow(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner != search->processId || !IsWindowVisible(hwnd) || GetWindow(hwnd, GW_OWNER)) return TRUE;
  search->found = hwnd;
  return FALSE;
}

double Since(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

Start Run(const std::wstring& path) {
  Start result;
  std::wstring commandLine = L"\"" + path + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const Clock::time_point begin = Clock::now();
  if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return result;
  HWND window = nullptr;
  while (!window && Since(begin) < 30000 && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
    Search search{process.dwProcessId, nullptr};
    EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found) window = search.found;
    else Sleep(1);
  }
  if (window) {
    result.visibleMs = Since(begin);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &ignored);
    result.answeredMs = Since(begin);
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory)) result.workingSetMb = memory.WorkingSetSize / 1048576.0;
    Sleep(300);  // what follows the window's appearance (settings, images) before the close
    PostMessageW(window, WM_CLOSE, 0, 0);
  }
  if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return result;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? -1 : values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 5;
  std::vector<std::wstring> names = {L"bare_window.exe"};
  for (int i = 2; i < argc; ++i) names.push_back(argv[i]);
  if (names.size() == 1) names.push_back(L"Appcensus_multi.exe");
  const std::size_t count = names.size();
  std::vector<std::vector<double>> visible(count), answered(count), memory(count);
  for (const std::wstring& name : names) Run(BesideThisProgram(name.c_str()));  // no run pays for the first loading
  for (int run = 0; run < runs; ++run)
    for (std::size_t p = 0; p < count; ++p) {
      const Start start = Run(BesideThisProgram(names[p].c_str()));
      if (start.visibleMs < 0) {
        std::fprintf(stderr, "%ls: no visible window\n", names[p].c_str());
        return 1;
      }
      std::printf("run %d %-24ls visible %6.1f ms, answering %6.1f ms, working set %5.1f MB\n", run + 1,
                  names[p].c_str(), start.visibleMs, start.answeredMs, start.workingSetMb);
      visible[p].push_back(start.visibleMs);
      answered[p].push_back(start.answeredMs);
      memory[p].push_back(start.workingSetMb);
    }
  for (std::size_t p = 0; p < count; ++p) {
    std::printf("median %-24ls visible %6.1f ms, answering %6.1f ms, working set %5.1f MB", names[p].c_str(),
                Median(visible[p]), Median(answered[p]), Median(memory[p]));
    if (p > 0)
      std::printf("; %.2f and %.2f times the bare window", Median(visible[p]) / Median(visible[0]),
                  Median(answered[p]) / Median(answered[0]));
    std::printf("\n");
  }
  return 0;
}
