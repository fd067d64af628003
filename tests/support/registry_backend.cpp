#include "tests/support/registry_backend.h"

#include <cstring>

#include "registry/registry_layer.h"
#include "registry/scoped_key.h"

namespace appcensus::testing {

namespace {

// Opens (creating when asked) the key below the scratch key, for fixture set-up.
bool OpenScratch(RegistryBackend& backend, TextView subPath, bool create, ScopedKey& key) {
  Text path = backend.ScratchPath();
  if (!subPath.empty()) path += u"\\" + Text(subPath);
  const Text below = SubKeyOfPath(path);
  RegistryApi& api = backend.Api();
  if (create) {
    std::uint32_t disposition = 0;
    return api.CreateKeyEx(RootKeyOfPath(path), below.c_str(), reg::kOptionNonVolatile, reg::kKeyAllAccess,
                           key.Receive(), &disposition) == reg::kSuccess;
  }
  return api.OpenKeyEx(RootKeyOfPath(path), below.c_str(), reg::kKeyRead, key.Receive()) == reg::kSuccess;
}

}  // namespace

void RegistryBackend::PutRaw(TextView subPath, TextView valueName, std::uint32_t type,
                             const std::vector<std::uint8_t>& data) {
  ScopedKey key(Api());
  if (!OpenScratch(*this, subPath, true, key)) return;
  const Text name(valueName);
  Api().SetValueEx(key.Get(), name.c_str(), type, data.data(), static_cast<std::uint32_t>(data.size()));
}

void RegistryBackend::PutString(TextView subPath, TextView valueName, TextView text, std::uint32_t type) {
  std::vector<std::uint8_t> data((text.size() + 1) * 2, 0);
  std::memcpy(data.data(), text.data(), text.size() * 2);
  PutRaw(subPath, valueName, type, data);
}

void RegistryBackend::PutDword(TextView subPath, TextView valueName, std::uint32_t value) {
  std::vector<std::uint8_t> data(4);
  std::memcpy(data.data(), &value, 4);
  PutRaw(subPath, valueName, reg::kDword, data);
}

void RegistryBackend::PutKey(TextView subPath) {
  ScopedKey key(Api());
  OpenScratch(*this, subPath, true, key);
}

bool RegistryBackend::GetRaw(TextView subPath, TextView valueName, std::uint32_t* type,
                             std::vector<std::uint8_t>* data) {
  ScopedKey key(Api());
  if (!OpenScratch(*this, subPath, false, key)) return false;
  const Text name(valueName);
  std::uint32_t size = 0;
  if (Api().QueryValueEx(key.Get(), name.c_str(), type, nullptr, &size) != reg::kSuccess) return false;
  data->assign(size, 0);
  return Api().QueryValueEx(key.Get(), name.c_str(), type, data->data(), &size) == reg::kSuccess;
}

bool RegistryBackend::KeyExists(TextView subPath) {
  ScopedKey key(Api());
  return OpenScratch(*this, subPath, false, key);
}

}  // namespace appcensus::testing
