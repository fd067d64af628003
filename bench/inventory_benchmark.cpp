// The inventory of "." on 2,000 uninstall entries under Wine: the passes as the program runs
// them (a registry session per machine), the call pattern of one connection and one opening
// per value that came before, `reg query /s` of the same key and two plain loops over the
// same values. With "spread", the entries are shared out between the Uninstall keys of the
// 64-bit view, the 32-bit view and the current user. With "packages", the same inventory
// again once 200 packages are listed for each of 3 users (the current one and two others
// whose classes hives are loaded), of 100 families each (a main package with its bundle or a
// resource package), with their repository entries, 50 provisioned families (half of them
// users' too) and the machine repository: what the packages add, against their share of the
// keys. Prints figures; asserts nothing. The entries are written with the prefix
// "AppcensusBench." and removed again at the end, the packages with "AppcensusBench.".
//
//   wine64 inventory_benchmark.exe [entry count] [spread|packages]
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
#include "inventory/local_user.h"
#include "inventory/package_listing.h"
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

// Package lists written to the real registry under Wine, all named "AppcensusBench.…".
class BenchmarkPackages {
 public:
  static constexpr int kUsers = 3, kFamilies = 100, kProvisioned = 50;

  BenchmarkPackages() : sids_{PlatformLocalUser().sid(), u"S-1-5-21-9-9-9-2001", u"S-1-5-21-9-9-9-2002"} {}
  // Names listed per user: two per family.
  static int ListedPerUser() { return 2 * kFamilies; }

  bool Fill() const {
    bool ok = !sids_[0].empty();
    for (int u = 0; u < kUsers && ok; ++u)
      for (int f = 0; f < kFamilies && ok; ++f) {
        const Text main = FullName(f, u"x64", u""), second = FullName(f, u"neutral", f % 2 ? u"split.scale-100" : u"~");
        ok = Create(kRootLocalMachine, Store() + sids_[u] + u"\\" + main) && Create(kRootLocalMachine, Store() + sids_[u] + u"\\" + second) &&
             Create(RepositoryRoot(u), RepositoryPath(u) + u"\\" + main, {{u"DisplayName", u"Bench package " + DecimalText(f)},
                                                                         {u"PackageRootFolder", u"C:\\WA\\" + main}});
        if (u == 0 && ok) ok = Create(kRootLocalMachine, Text(kMachineRepository) + u"\\" + main, {{u"Path", u"C:\\WA\\" + main}});
      }
    for (int f = kFamilies - kProvisioned / 2; f < kFamilies + kProvisioned / 2 && ok; ++f)
      ok = Create(kRootLocalMachine, Store() + u"Applications\\" + FullName(f, u"neutral", u"~"),
                  {{u"Path", u"C:\\WA\\" + FullName(f, u"neutral", u"~") + u"\\AppxManifest.xml"}});
    return ok;
  }
  void Remove() const {
    for (int u = 0; u < kUsers; ++u) {
      Delete(kRootLocalMachine, Store() + sids_[u]);
      for (int f = 0; f < kFamilies; ++f) Delete(RepositoryRoot(u), RepositoryPath(u) + u"\\" + FullName(f, u"x64", u""));
      if (u > 0) Delete(HKEY_USERS, sids_[u] + u"_Classes");
    }
    for (int f = 0; f < kFamilies + kProvisioned / 2; ++f) {
      Delete(kRootLocalMachine, Text(kMachineRepository) + u"\\" + FullName(f, u"x64", u""));
      Delete(kRootLocalMachine, Store() + u"Applications\\" + FullName(f, u"neutral", u"~"));
    }
  }

 private:
  static constexpr char16_t kMachineRepository[] =
      u"SOFTWARE\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppModel\\PackageRepository\\Packages";
  static Text Store() { return Text(kPackageUsersPath).substr(19) + u"\\"; }  // below HKEY_LOCAL_MACHINE
  static Text FullName(int f, TextView architecture, TextView resource) {
    return u"AppcensusBench.App" + DecimalText(f) + u"_1.0." + DecimalText(f) + u".0_" + Text(architecture) + u"_" +
           Text(resource) + u"_benchpub";
  }
  HKEY RepositoryRoot(int u) const { return u == 0 ? HKEY_CURRENT_USER : HKEY_USERS; }
  Text RepositoryPath(int u) const {
    return (u == 0 ? Text(u"Software\\Classes") : sids_[u] + u"_Classes") + kUserRepositorySubKey;
  }
  static bool Create(RegKey root, const Text& path, std::vector<std::pair<Text, Text>> values = {}) {
    return Create(reinterpret_cast<HKEY>(root), path, std::move(values));
  }
  static bool Create(HKEY root, const Text& path, std::vector<std::pair<Text, Text>> values) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, Wide(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr))
      return false;
    for (const auto& [name, text] : values)
      RegSetValueExW(key, Wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(Wide(text).c_str()),
                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return true;
  }
  static void Delete(RegKey root, const Text& path) { Delete(reinterpret_cast<HKEY>(root), path); }
  static void Delete(HKEY root, const Text& path) {
    RegDeleteTreeW(root, Wide(path).c_str());
    RegDeleteKeyExW(root, Wide(path).c_str(), KEY_WOW64_64KEY, 0);
  }
  static std::wstring Wide(const Text& text) { return std::wstring(text.begin(), text.end()); }

  Text sids_[kUsers];
};

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

// The passes on `count` entries without packages, then with BenchmarkPackages beside them.
int RunWithPackages(int count) {
  const testing::BenchmarkEntries entries(kPrefix);
  const BenchmarkPackages packages;
  entries.Remove(count);
  packages.Remove();
  std::printf("filling %d entries, then packages...\n", count);
  if (!entries.Fill(count)) return std::printf("could not write the entries (rights?)\n"), entries.Remove(count), 1;
  CountingRegistry counting;
  ScopedRegistryApi scope(counting);
  const auto rounds = [&](std::size_t& records, double& calls) {
    RunPasses();  // the first reads after the writing pay for it
    std::vector<double> times;
    for (int round = 0; round < 5; ++round) {
      counting.calls = 0;
      const auto start = std::chrono::steady_clock::now();
      records = RunPasses();
      times.push_back(Seconds(start));
      calls = static_cast<double>(counting.calls.exchange(0));
    }
    std::sort(times.begin(), times.end());
    return times[2];
  };
  std::size_t without = 0, with = 0;
  double callsWithout = 0, callsWith = 0;
  const double before = rounds(without, callsWithout);
  if (!packages.Fill()) return std::printf("could not write the packages\n"), packages.Remove(), entries.Remove(count), 1;
  const double after = rounds(with, callsWith);
  std::vector<double> alone;  // the package lists read on their own, as the detail pass reads them
  for (int round = 0; round < 5; ++round) {
    const auto start = std::chrono::steady_clock::now();
    RegistrySession session(counting, u".");
    ReadPackageRecords(session, u".", PlatformLocalUser());
    alone.push_back(Seconds(start));
  }
  std::sort(alone.begin(), alone.end());
  packages.Remove();
  entries.Remove(count);
  // The packages' keys: the names listed for the users and the provisioned ones.
  const int keys = BenchmarkPackages::kUsers * BenchmarkPackages::ListedPerUser() + BenchmarkPackages::kProvisioned;
  std::printf("medians of 5 rounds\n");
  std::printf("without packages: %.3f s, %zu records, %.0f registry calls\n", before, without, callsWithout);
  std::printf("with packages:    %.3f s, %zu records (%zu of packages from %d listed keys), %.0f registry calls\n", after,
              with, with - without, keys, callsWith);
  std::printf("added: %.3f s, %.1f us per package key against %.1f us per Uninstall entry; share of keys %.3f, "
              "share of time %.3f\n",
              after - before, 1e6 * (after - before) / keys, 1e6 * before / count,
              static_cast<double>(keys) / (count + keys), (after - before) / after);
  std::printf("packages read alone: %.3f s, %.1f us per package key; share of the time of entries and packages %.3f\n",
              alone[2], 1e6 * alone[2] / keys, alone[2] / (before + alone[2]));
  return 0;
}

}  // namespace
}  // namespace appcensus

int wmain(int argc, wchar_t** argv) {
  const int count = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 2000;
  const bool spread = argc > 2 && std::wstring(argv[2]) == L"spread";
  if (argc > 2 && std::wstring(argv[2]) == L"packages") return appcensus::RunWithPackages(count > 0 ? count : 2000);
  return appcensus::Run(count > 0 ? count : 2000, spread);
}
