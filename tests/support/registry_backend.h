// The registry a shared test source runs against: natively an in-memory registry, under Wine
// the real one (test programs point the layer at it), with a scratch key of the current
// user that exists and is removed afterwards. Fixture data is written and read back through
// the same platform interface the layer uses, so the test bodies are identical on both sides.
#pragma once

#include <memory>

#include "tests/support/memory_registry.h"

namespace appcensus::testing {

class RegistryBackend {
 public:
  // Defined once per platform: registry_backend.cpp, registry_backend_win32.cpp.
  RegistryBackend();
  ~RegistryBackend();
  // Removes a key of the local machine and everything below it (only the real registry
  // keeps keys from one test program to the next).
  static void RemoveKey(TextView keyPath);

  RegistryApi& Api() { return *api_; }
  // "HKEY_CURRENT_USER\Software\..."
  const Text& ScratchPath() const { return scratch_; }

  // Writes raw value data at ScratchPath() + "\" + subPath, the key created as needed.
  void PutRaw(TextView subPath, TextView valueName, std::uint32_t type, const std::vector<std::uint8_t>& data) {
    ScopedKey key(*api_);
    if (Open(subPath, true, key))
      api_->SetValueEx(key.Get(), Text(valueName).c_str(), type, data.data(), static_cast<std::uint32_t>(data.size()));
  }
  // Reads raw value data back; false when missing.
  bool GetRaw(TextView subPath, TextView valueName, std::uint32_t* type, std::vector<std::uint8_t>* data) {
    ScopedKey key(*api_);
    std::uint32_t size = 0;
    if (!Open(subPath, false, key) || api_->QueryValueEx(key.Get(), Text(valueName).c_str(), type, nullptr, &size))
      return false;
    data->assign(size, 0);
    return api_->QueryValueEx(key.Get(), Text(valueName).c_str(), type, data->data(), &size) == reg::kSuccess;
  }

 private:
  bool Open(TextView subPath, bool create, ScopedKey& key) {
    const Text below = SubKeyOfPath(scratch_ + (subPath.empty() ? u"" : u"\\" + Text(subPath)));
    return (create ? api_->CreateKeyEx(kRootCurrentUser, below.c_str(), 0, reg::kKeyAllAccess, key.Receive(), nullptr)
                   : api_->OpenKeyEx(kRootCurrentUser, below.c_str(), reg::kKeyRead, key.Receive())) == reg::kSuccess;
  }

  std::unique_ptr<RegistryApi> api_;
  Text scratch_;
};

}  // namespace appcensus::testing
