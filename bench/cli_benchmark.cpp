// Times `Appcensus_cli . --format csv` on 2,000 uninstall entries under Wine, beside
// `reg query /s` of the same key: both whole processes, their output read through a pipe.
// Prints figures; asserts nothing. The entries are written below the real Uninstall key
// with the prefix "AppcensusCliBench." and removed again at the end.
//
//   wine64 cli_benchmark.exe <path of Appcensus_cli.exe> [entry count]
#include <windows.h>

#include "bench/benchmark_entries_win32.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kPrefix[] = L"AppcensusCliBench.";

const appcensus::testing::BenchmarkEntries kEntries(kPrefix);


struct Timed {
  double seconds = -1;
  DWORD exitCode = 0xFFFFFFFF;
  std::size_t bytes = 0;
  std::size_t lines = 0;
};

// The whole process, its standard output read through a pipe, standard error to NUL.
Timed TimeProcess(std::wstring commandLine) {
  Timed timed;
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return timed;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = nul;
  PROCESS_INFORMATION process{};
  const auto start = std::chrono::steady_clock::now();
  const BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                      nullptr, &startup, &process);
  CloseHandle(writeEnd);
  if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
  if (!started) {
    CloseHandle(readEnd);
    return timed;
  }
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    timed.bytes += got;
    timed.lines += static_cast<std::size_t>(std::count(buffer, buffer + got, '\n'));
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  timed.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  GetExitCodeProcess(process.hProcess, &timed.exitCode);
  CloseHandle(readEnd);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return timed;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::printf("usage: cli_benchmark.exe <path of Appcensus_cli.exe> [entry count]\n");
    return 2;
  }
  std::wstring program = argv[1];
  if (!program.empty() && program[0] == L'/') program = L"Z:" + program;  // a path of the build machine
  std::replace(program.begin(), program.end(), L'/', L'\\');
  const int parsed = argc > 2 ? static_cast<int>(std::wcstol(argv[2], nullptr, 10)) : 0;
  const int count = parsed > 0 ? parsed : 2000;

  kEntries.Remove(count);  // leftovers of an interrupted run
  std::printf("filling %d entries below HKLM\\%ls\\%ls*...\n", count, kUninstall, kPrefix);
  if (!kEntries.Fill(count)) {
    std::printf("could not write the entries (rights?)\n");
    kEntries.Remove(count);
    return 1;
  }
  const std::wstring cli = L"\"" + program + L"\" . --format csv --timeout 600";
  const std::wstring reg = L"reg.exe query \"HKLM\\" + std::wstring(kUninstall) + L"\" /s";

  // One unreported round first (the first reads after the writing are slower), then the
  // medians of five rounds, the two commands alternating.
  TimeProcess(cli);
  TimeProcess(reg);
  constexpr int kRounds = 5;
  std::vector<double> cliTimes, regTimes;
  Timed cliLast, regLast;
  for (int round = 0; round < kRounds; ++round) {
    cliLast = TimeProcess(cli);
    regLast = TimeProcess(reg);
    cliTimes.push_back(cliLast.seconds);
    regTimes.push_back(regLast.seconds);
  }
  const double records = static_cast<double>(cliLast.lines) - 1;  // less the header
  std::printf("Appcensus_cli . --format csv: %.3f s median of %d (min %.3f, max %.3f), exit %lu, %zu bytes, "
              "%.0f records, %.0f records/s\n",
              Median(cliTimes), kRounds, *std::min_element(cliTimes.begin(), cliTimes.end()),
              *std::max_element(cliTimes.begin(), cliTimes.end()), cliLast.exitCode, cliLast.bytes, records,
              records / Median(cliTimes));
  std::printf("reg query /s:                 %.3f s median of %d (min %.3f, max %.3f), exit %lu, %zu bytes\n",
              Median(regTimes), kRounds, *std::min_element(regTimes.begin(), regTimes.end()),
              *std::max_element(regTimes.begin(), regTimes.end()), regLast.exitCode, regLast.bytes);
  std::printf("ratio Appcensus_cli / reg query: %.2f\n", Median(cliTimes) / Median(regTimes));
  kEntries.Remove(count);
  return 0;
}
