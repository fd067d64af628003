// Uninstall entries written below the real Uninstall key for the benchmarks under Wine, all
// named with one prefix so that they can be removed again.
#pragma once

#include <windows.h>

#include <cwchar>
#include <string>

namespace appcensus::testing {

class BenchmarkEntries {
 public:
  // spread: entry i goes to the Uninstall key of the 64-bit view, the 32-bit view or the
  // current user (i modulo 3) instead of the 64-bit view's alone.
  explicit BenchmarkEntries(std::wstring prefix, bool spread = false) : prefix_(std::move(prefix)), spread_(spread) {}

  std::wstring Name(int i) const {
    wchar_t digits[16];
    std::swprintf(digits, 16, L"%05d", i);
    return prefix_ + digits;
  }

  // Writes entries 0 .. count - 1 with the values an installer writes; false on a refusal.
  bool Fill(int count) const {
    for (int i = 0; i < count; ++i) {
      HKEY key = nullptr;
      if (RegCreateKeyExW(Root(i), Path(i).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key,
                          nullptr) != ERROR_SUCCESS)
        return false;
      const std::wstring n = std::to_wstring(i);
      SetText(key, L"DisplayName", L"Benchmark application " + n + L" \u00e9");
      SetText(key, L"DisplayVersion", L"1.0." + n);
      SetText(key, L"InstallDate", L"20240315");
      SetText(key, L"InstallSource", L"C:\\Sources\\Bench" + n + L"\\");
      if (i % 2 == 0) SetText(key, L"InstallLocation", L"C:\\Program Files\\Bench" + n + L"\\");
      SetText(key, L"UninstallString",
              L"MsiExec.exe /X{00000000-0000-0000-0000-" + Name(i).substr(prefix_.size()) + L"0000000}");
      SetText(key, L"DisplayIcon", L"\"C:\\Program Files\\Bench" + n + L"\\bench.exe\",0");
      SetText(key, L"Publisher", L"Brelmont Bench");
      RegCloseKey(key);
    }
    return true;
  }

  void Remove(int count) const {
    for (int i = 0; i < count; ++i) {
      RegDeleteTreeW(Root(i), Path(i).c_str());
      RegDeleteKeyExW(Root(i), Path(i).c_str(), KEY_WOW64_64KEY, 0);
    }
  }

 private:
  HKEY Root(int i) const { return spread_ && i % 3 == 2 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }
  std::wstring Path(int i) const {
    const wchar_t* view = spread_ && i % 3 == 1 ? L"WOW6432Node\\" : L"";
    return std::wstring(L"SOFTWARE\\") + view + L"Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + Name(i);
  }
  static void SetText(HKEY key, const wchar_t* name, const std::wstring& text) {
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }

  std::wstring prefix_;
  bool spread_;
};

}  // namespace appcensus::testing
