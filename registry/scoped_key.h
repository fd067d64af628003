// Owns one registry key handle (or remote connection) and closes it on every path.
#pragma once

#include <utility>

#include "registry/registry_api.h"

namespace appcensus {

inline bool IsPredefinedRoot(RegKey key) {
  return key == kRootClassesRoot || key == kRootCurrentUser || key == kRootLocalMachine || key == kRootUsers ||
         key == kRootCurrentConfig;
}

class ScopedKey {
 public:
  explicit ScopedKey(RegistryApi& api) : api_(&api) {}
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;
  ScopedKey(ScopedKey&& other) noexcept : api_(other.api_), key_(std::exchange(other.key_, 0)) {}
  ~ScopedKey() { Close(); }

  RegKey Get() const { return key_; }
  // Address to receive a handle from an open or create call; the previous one is closed.
  RegKey* Receive() {
    Close();
    return &key_;
  }
  // Gives the handle up without closing it.
  RegKey Release() { return std::exchange(key_, 0); }
  void Close() {
    // Predefined roots are not opened by us, so they are not ours to close.
    if (key_ != 0 && !IsPredefinedRoot(key_)) api_->CloseKey(key_);
    key_ = 0;
  }

 private:
  RegistryApi* api_;
  RegKey key_ = 0;
};

}  // namespace appcensus
