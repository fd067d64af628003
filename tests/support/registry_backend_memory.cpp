// Native side: a fresh in-memory registry per test.
#include "tests/support/memory_registry.h"
#include "tests/support/registry_backend.h"

namespace appcensus::testing {

namespace {

class MemoryBackend : public RegistryBackend {
 public:
  MemoryBackend() { registry_.Local().CreateKey(ScratchPath()); }
  RegistryApi& Api() override { return registry_; }
  Text ScratchPath() const override { return u"HKEY_CURRENT_USER\\Software\\AppcensusTests\\Scratch"; }
  bool IsReal() const override { return false; }

 private:
  MemoryRegistry registry_;
};

}  // namespace

std::unique_ptr<RegistryBackend> MakeRegistryBackend() { return std::make_unique<MemoryBackend>(); }

}  // namespace appcensus::testing
