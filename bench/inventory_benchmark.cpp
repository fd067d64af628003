// The inventory of "." on 2,000 uninstall entries under Wine: the passes as the program runs
// them (a registry session per machine), the call pattern of one connection and one opening
// per value that came before, `reg query /s` of the same key and two plain loops over the
// same values. With "spread", the entries are shared out between the Uninstall keys of the
// 64-bit view, the 32-bit view and the current user. Prints figures; asserts nothing. The
// entries are written with the prefix "AppcensusBench." and removed again at the end.
//
//   wine64 inventory_benchmark.exe [entry count] [spread]
#include <windows.h>

#include "bench/benchmark_entries_win32.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "core/activity_log.h"
#include "core/application_table.h"
#include "inventory/entry_rules.h"
#include "inventory/inventory_passes.h"
#include "registry/registry_api_win32.h"
#include "registry/registry_layer.h"
#include "request/job_gate.h"

namespace appcensus {
namespace {

constexpr wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kPrefix[] = L"AppcensusBench.";

// Counts every call that reaches the registry.
class CountingRegistry : public Win32RegistryApi {
 public:
  std::atomic<long long> calls{0};
  long ConnectRegistry(const char16_t* m, RegKey r, RegKey* k) override {
    return ++calls, Win32RegistryApi::ConnectRegistry(m, r, k);
  }
  long OpenKey(RegKey b, const char16_t* s, RegKey* k) override { return ++calls, Win32RegistryApi::OpenKey(b, s, k); }
  long OpenKeyEx(RegKey b, const char16_t* s, std::uint32_t a, RegKey* k) override {
    return ++calls, Win32RegistryApi::OpenKeyEx(b, s, a, k);
  }
  long QueryValueEx(RegKey k, const char16_t* n, std::uint32_t* t, std::uint8_t* d, std::uint32_t* l) override {
    return ++calls, Win32RegistryApi::QueryValueEx(k, n, t, d, l);
  }
  long EnumKeyEx(RegKey k, std::uint32_t i, char16_t* n, std::uint32_t* c) override {
    return ++calls, Win32RegistryApi::EnumKeyEx(k, i, n, c);
  }
  long CloseKey(RegKey k) override { return ++calls, Win32RegistryApi::CloseKey(k); }
};

class SilentLog : public ActivityLog {
 public:
  void LogActivity(TextView, ActivityLevel, int) override {}
  void SetStatusProgress(int, int) override {}
};

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Whole `reg query /s` process, its output read through a pipe and dropped, or written
// straight to NUL.
double TimeRegQuery(bool toPipe) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (toPipe) {
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return -1;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  } else {
    writeEnd = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    if (writeEnd == INVALID_HANDLE_VALUE) return -1;
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION process{};
  std::wstring command = L"reg.exe query \"HKLM\\" + std::wstring(kUninstall) + L"\" /s";
  const auto start = std::chrono::steady_clock::now();
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                      &process)) {
    if (readEnd) CloseHandle(readEnd);
    CloseHandle(writeEnd);
    return -1;
  }
  CloseHandle(writeEnd);
  char buffer[65536];
  DWORD got = 0;
  while (readEnd && ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  const double seconds = Seconds(start);
  if (readEnd) CloseHandle(readEnd);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return seconds;
}

// The same eight values of every entry, the key opened once per entry, or once per value.
double TimePlainLoop(const testing::BenchmarkEntries& entries, int count, bool openPerValue) {
  const auto start = std::chrono::steady_clock::now();
  wchar_t data[255];
  for (int i = 0; i < count; ++i) {
    const std::wstring path = std::wstring(kUninstall) + L"\\" + entries.Name(i);
    HKEY key = nullptr;
    if (!openPerValue) RegOpenKeyW(HKEY_LOCAL_MACHINE, path.c_str(), &key);
    for (const auto& source : kEntryValueSources) {
      const std::u16string_view name(source.valueName);
      const std::wstring valueName(name.begin(), name.end());
      if (openPerValue) RegOpenKeyW(HKEY_LOCAL_MACHINE, path.c_str(), &key);
      DWORD size = sizeof data, type = 0;
      RegQueryValueExW(key, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
      if (openPerValue) RegCloseKey(key);
    }
    if (!openPerValue) RegCloseKey(key);
  }
  return Seconds(start);
}

// The program's inventory: both passes through RunInventory.
std::size_t RunPasses() {
  ApplicationTable table;
  UninstallEntryList entries;
  InventoryContext context;
  context.table = &table;
  context.entries = &entries;
  context.log = std::make_shared<SilentLog>();
  context.gate = std::make_shared<JobGate>();
  return RunInventory(context, u".").records;
}

// The call pattern that came before the sessions: every subkey name and every value through
// the layer's stateless calls, each opening (and, remotely, connecting) afresh.
std::size_t RunStatelessPattern() {
  const ProductCodePattern productCode;
  std::size_t records = 0;
  for (int index = 0;; ++index) {
    const Text name = EnumerateRegistrySubKey(kUninstallKeyPath, index, u".");
    if (name.empty()) break;
    const Text keyPath = Text(kUninstallKeyPath) + u"\\" + name;
    EntryValues values;
    for (const auto& source : kEntryValueSources) values.*source.field = ReadRegistryValue(keyPath, source.valueName, u".");
    if (NeedsUninstallCommand(values)) ReadRegistryValue(keyPath, kUninstallCommandValueName, u".");
    records += BuildApplicationRecord(values, u"", UninstallEntry{name, u"."}, productCode) ? 1 : 0;
  }
  return records;
}

int Run(int count, bool spread) {
  const testing::BenchmarkEntries entries(kPrefix, spread);
  entries.Remove(count);  // leftovers of an interrupted run
  std::printf("filling %d entries%s...\n", count, spread ? " over the three Uninstall keys" : "");
  if (!entries.Fill(count)) {
    std::printf("could not write the entries (rights?)\n");
    entries.Remove(count);
    return 1;
  }
  // The first reads after the keys were written pay for that writing (they came out up to
  // six times slower here): one unreported round first, then every figure is the median of
  // five rounds.
  TimePlainLoop(entries, count, true);
  constexpr int kRounds = 5;
  const auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  CountingRegistry counting;
  ScopedRegistryApi scope(counting);
  std::vector<double> passTimes, statelessTimes, pipeTimes, onceTimes, perValueTimes;
  std::size_t records = 0;
  long long passCalls = 0, statelessCalls = 0;
  for (int round = 0; round < kRounds; ++round) {
    counting.calls = 0;
    auto start = std::chrono::steady_clock::now();
    records = RunPasses();
    passTimes.push_back(Seconds(start));
    passCalls = counting.calls.exchange(0);
    if (!spread) {
      start = std::chrono::steady_clock::now();
      RunStatelessPattern();
      statelessTimes.push_back(Seconds(start));
      statelessCalls = counting.calls.exchange(0);
      pipeTimes.push_back(TimeRegQuery(true));
      onceTimes.push_back(TimePlainLoop(entries, count, false));
      perValueTimes.push_back(TimePlainLoop(entries, count, true));
    }
  }
  const double n = static_cast<double>(records);
  std::printf("records %zu; medians of %d rounds\n", records, kRounds);
  std::printf("inventory (sessions):          %.3f s, %.0f entries/s, %.2f registry calls per entry\n",
              median(passTimes), n / median(passTimes), static_cast<double>(passCalls) / n);
  if (!spread) {
    std::printf("stateless calls, as before:    %.3f s, %.2f registry calls per entry\n", median(statelessTimes),
                static_cast<double>(statelessCalls) / n);
    std::printf("reg query /s, through a pipe:  %.3f s (whole process)\n", median(pipeTimes));
    std::printf("plain loop, key opened once per entry: %.3f s; once per value: %.3f s\n", median(onceTimes),
                median(perValueTimes));
    std::printf("inventory / loop opening each entry once: %.2f\n", median(passTimes) / median(onceTimes));
  }
  entries.Remove(count);
  return 0;
}

}  // namespace
}  // namespace appcensus

int wmain(int argc, wchar_t** argv) {
  const int count = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 2000;
  const bool spread = argc > 2 && std::wstring(argv[2]) == L"spread";
  return appcensus::Run(count > 0 ? count : 2000, spread);
}
