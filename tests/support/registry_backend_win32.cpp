// Windows side: the real registry, below a scratch key of the current user that is deleted
// with everything under it when the test ends.
#include <windows.h>

#include <string>

#include "registry/registry_api_win32.h"
#include "tests/support/registry_backend.h"

namespace appcensus::testing {

namespace {

constexpr wchar_t kScratchParent[] = L"Software\\AppcensusTests";

class Win32Backend : public RegistryBackend {
 public:
  Win32Backend() {
    static int serial = 0;
    name_ = L"Run" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++serial);
    HKEY key = nullptr;
    const std::wstring path = std::wstring(kScratchParent) + L"\\" + name_;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
        ERROR_SUCCESS)
      RegCloseKey(key);
  }
  ~Win32Backend() override {
    const std::wstring path = std::wstring(kScratchParent) + L"\\" + name_;
    RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
  }
  RegistryApi& Api() override { return api_; }
  Text ScratchPath() const override {
    const std::wstring path = L"HKEY_CURRENT_USER\\Software\\AppcensusTests\\" + name_;
    return Text(path.begin(), path.end());
  }
  bool IsReal() const override { return true; }

 private:
  Win32RegistryApi api_;
  std::wstring name_;
};

}  // namespace

std::unique_ptr<RegistryBackend> MakeRegistryBackend() { return std::make_unique<Win32Backend>(); }

}  // namespace appcensus::testing
