#include "registry/registry_api.h"

#include <atomic>

#ifdef _WIN32
#include "registry/win32_registry_api.h"
#else
#include "registry/memory_registry.h"
#endif

namespace appcensus {

namespace {

RegistryApi& DefaultRegistryApi() {
#ifdef _WIN32
  static Win32RegistryApi api;
#else
  static MemoryRegistry api;  // Linux builds only ever run against simulated machines
#endif
  return api;
}

std::atomic<RegistryApi*> current{nullptr};

}  // namespace

RegistryApi& CurrentRegistryApi() {
  RegistryApi* api = current.load();
  return api != nullptr ? *api : DefaultRegistryApi();
}

void SetRegistryApi(RegistryApi* api) { current.store(api); }

ScopedRegistryApi::ScopedRegistryApi(RegistryApi& api) : previous_(current.exchange(&api)) {}

ScopedRegistryApi::~ScopedRegistryApi() { current.store(previous_); }

}  // namespace appcensus
