// Native side: a fresh in-memory registry per backend.
#include "tests/support/registry_backend.h"

namespace appcensus::testing {

RegistryBackend::RegistryBackend()
    : api_(std::make_unique<MemoryRegistry>()), scratch_(u"HKEY_CURRENT_USER\\Software\\AppcensusTests\\Scratch") {
  PutRaw(u"", u"", reg::kSz, StringData(u""));
}

RegistryBackend::~RegistryBackend() = default;

void RegistryBackend::RemoveKey(TextView) {}

}  // namespace appcensus::testing
