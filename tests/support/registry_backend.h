// The registry a shared test source runs against: natively an in-memory registry whose
// local machine is ".", under Wine the real registry, below a scratch key of the current
// user that is removed afterwards. Fixture data is written through the same platform
// interface the layer reads with, so the test bodies are identical on both sides.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/text.h"
#include "registry/registry_api.h"

namespace appcensus::testing {

class RegistryBackend {
 public:
  virtual ~RegistryBackend() = default;
  // The platform interface the layer is pointed at for the test.
  virtual RegistryApi& Api() = 0;
  // "HKEY_CURRENT_USER\Software\..." path of an empty scratch key that exists.
  virtual Text ScratchPath() const = 0;
  // Whether this is the real registry (some simulated faults exist only natively).
  virtual bool IsReal() const = 0;

  // Writes raw value data under ScratchPath() + "\" + subPath (created as needed).
  void PutRaw(TextView subPath, TextView valueName, std::uint32_t type, const std::vector<std::uint8_t>& data);
  void PutString(TextView subPath, TextView valueName, TextView text, std::uint32_t type = 1);
  void PutDword(TextView subPath, TextView valueName, std::uint32_t value);
  void PutKey(TextView subPath);
  // Reads raw value data back through the platform interface; false when missing.
  bool GetRaw(TextView subPath, TextView valueName, std::uint32_t* type, std::vector<std::uint8_t>* data);
  bool KeyExists(TextView subPath);
};

std::unique_ptr<RegistryBackend> MakeRegistryBackend();

}  // namespace appcensus::testing
