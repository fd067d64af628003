// The registry functions of advapi32, behind the access layer's interface.
#pragma once

#include "registry/registry_api.h"

namespace appcensus {

class Win32RegistryApi : public RegistryApi {
 public:
  long ConnectRegistry(const char16_t* machine, RegKey root, RegKey* result) override;
  long OpenKey(RegKey base, const char16_t* subKey, RegKey* result) override;
  long OpenKeyEx(RegKey base, const char16_t* subKey, std::uint32_t access, RegKey* result) override;
  long CreateKeyEx(RegKey base, const char16_t* subKey, std::uint32_t options, std::uint32_t access, RegKey* result,
                   std::uint32_t* disposition) override;
  long QueryValueEx(RegKey key, const char16_t* valueName, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* dataLength) override;
  long SetValueEx(RegKey key, const char16_t* valueName, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t dataLength) override;
  long EnumKeyEx(RegKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameCount) override;
  long CloseKey(RegKey key) override;
  bool ComputerName(char16_t* buffer, std::uint32_t* count) override;
};

}  // namespace appcensus
