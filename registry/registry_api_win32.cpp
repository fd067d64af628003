#include "registry/registry_api_win32.h"

#include <windows.h>
#include "core/win32_text.h"

namespace appcensus {

namespace {

HKEY ToHkey(RegKey key) { return reinterpret_cast<HKEY>(key); }
RegKey FromHkey(HKEY key) { return reinterpret_cast<RegKey>(key); }

}  // namespace

long Win32RegistryApi::ConnectRegistry(const char16_t* machine, RegKey root, RegKey* result) {
  HKEY key = nullptr;
  const LONG status = RegConnectRegistryW(Wide(machine), ToHkey(root), &key);
  *result = status == ERROR_SUCCESS ? FromHkey(key) : 0;
  return status;
}

long Win32RegistryApi::OpenKey(RegKey base, const char16_t* subKey, RegKey* result) {
  HKEY key = nullptr;
  const LONG status = RegOpenKeyW(ToHkey(base), Wide(subKey), &key);
  *result = status == ERROR_SUCCESS ? FromHkey(key) : 0;
  return status;
}

long Win32RegistryApi::OpenKeyEx(RegKey base, const char16_t* subKey, std::uint32_t access, RegKey* result) {
  HKEY key = nullptr;
  const LONG status = RegOpenKeyExW(ToHkey(base), Wide(subKey), 0, access, &key);
  *result = status == ERROR_SUCCESS ? FromHkey(key) : 0;
  return status;
}

long Win32RegistryApi::CreateKeyEx(RegKey base, const char16_t* subKey, std::uint32_t options, std::uint32_t access,
                                   RegKey* result, std::uint32_t* disposition) {
  HKEY key = nullptr;
  DWORD created = 0;
  const LONG status =
      RegCreateKeyExW(ToHkey(base), Wide(subKey), 0, nullptr, options, access, nullptr, &key, &created);
  *result = status == ERROR_SUCCESS ? FromHkey(key) : 0;
  if (disposition) *disposition = created;
  return status;
}

long Win32RegistryApi::QueryValueEx(RegKey key, const char16_t* valueName, std::uint32_t* type, std::uint8_t* data,
                                    std::uint32_t* dataLength) {
  DWORD valueType = 0;
  DWORD length = dataLength ? *dataLength : 0;
  const LONG status = RegQueryValueExW(ToHkey(key), Wide(valueName), nullptr, &valueType, data,
                                       dataLength ? &length : nullptr);
  if (type) *type = valueType;
  if (dataLength) *dataLength = length;
  return status;
}

long Win32RegistryApi::SetValueEx(RegKey key, const char16_t* valueName, std::uint32_t type, const std::uint8_t* data,
                                  std::uint32_t dataLength) {
  return RegSetValueExW(ToHkey(key), Wide(valueName), 0, type, data, dataLength);
}

long Win32RegistryApi::EnumKeyEx(RegKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameCount) {
  DWORD count = *nameCount;
  FILETIME lastWrite;
  const LONG status = RegEnumKeyExW(ToHkey(key), index, WideBuffer(name), &count, nullptr, nullptr,
                                    nullptr, &lastWrite);
  *nameCount = count;
  return status;
}

long Win32RegistryApi::CloseKey(RegKey key) { return RegCloseKey(ToHkey(key)); }

bool Win32RegistryApi::ComputerName(char16_t* buffer, std::uint32_t* count) {
  DWORD size = *count;
  const BOOL ok = GetComputerNameW(WideBuffer(buffer), &size);
  *count = size;
  return ok != FALSE;
}

}  // namespace appcensus
