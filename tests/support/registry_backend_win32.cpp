// Windows side: the real registry; the scratch key is deleted with everything under it.
#include <windows.h>

#include <string>

#include "core/win32_text.h"
#include "registry/registry_api_win32.h"
#include "tests/support/registry_backend.h"

namespace appcensus::testing {

RegistryBackend::RegistryBackend() : api_(std::make_unique<Win32RegistryApi>()) {
  static int serial = 0;
  const std::string name = std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++serial);
  scratch_ = u"HKEY_CURRENT_USER\\Software\\AppcensusTests\\Run" + Text(name.begin(), name.end());
  PutRaw(u"", u"", reg::kSz, StringData(u""));
}

RegistryBackend::~RegistryBackend() { RemoveKey(scratch_); }

void RegistryBackend::RemoveKey(TextView keyPath) {
  const Text below = SubKeyOfPath(keyPath);
  RegDeleteTreeW(reinterpret_cast<HKEY>(RootKeyOfPath(keyPath)), Wide(below));
}

}  // namespace appcensus::testing
