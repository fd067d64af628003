#include "registry/registry_api.h"

#include <atomic>

namespace appcensus {

namespace {

// Until a program picks its registry, every call fails as on a machine without one.
class AbsentRegistry : public RegistryApi {
 public:
  long ConnectRegistry(const char16_t*, RegKey, RegKey* result) override { return Fail(result); }
  long OpenKey(RegKey, const char16_t*, RegKey* result) override { return Fail(result); }
  long OpenKeyEx(RegKey, const char16_t*, std::uint32_t, RegKey* result) override { return Fail(result); }
  long CreateKeyEx(RegKey, const char16_t*, std::uint32_t, std::uint32_t, RegKey* result, std::uint32_t*) override {
    return Fail(result);
  }
  long QueryValueEx(RegKey, const char16_t*, std::uint32_t*, std::uint8_t*, std::uint32_t*) override {
    return reg::kFileNotFound;
  }
  long SetValueEx(RegKey, const char16_t*, std::uint32_t, const std::uint8_t*, std::uint32_t) override {
    return reg::kFileNotFound;
  }
  long EnumKeyEx(RegKey, std::uint32_t, char16_t*, std::uint32_t*) override { return reg::kFileNotFound; }
  long CloseKey(RegKey) override { return reg::kInvalidHandle; }
  bool ComputerName(char16_t*, std::uint32_t*) override { return false; }

 private:
  static long Fail(RegKey* result) {
    *result = 0;
    return reg::kFileNotFound;
  }
};

AbsentRegistry absent;
std::atomic<RegistryApi*> current{&absent};

}  // namespace

RegistryApi& CurrentRegistryApi() { return *current.load(); }

void SetRegistryApi(RegistryApi* api) { current.store(api != nullptr ? api : &absent); }

ScopedRegistryApi::ScopedRegistryApi(RegistryApi& api) : previous_(current.exchange(&api)) {}

ScopedRegistryApi::~ScopedRegistryApi() { current.store(previous_); }

}  // namespace appcensus
