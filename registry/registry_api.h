// The registry functions the access layer needs, as a small interface with the Win32
// calling conventions: status codes, sizes in bytes for value data and in characters for
// key names, ERROR_MORE_DATA when data does not fit. The programs use the real advapi32 one
// (registry_api_win32.h); the tests an in-memory registry of simulated machines.
#pragma once

#include <cstdint>

namespace appcensus {

// Opaque key handle with the values of the Windows predefined roots; 0 is no key.
using RegKey = std::uintptr_t;

constexpr RegKey PredefinedRoot(std::uint32_t value) {
  return static_cast<RegKey>(static_cast<std::intptr_t>(static_cast<std::int32_t>(value)));
}
inline constexpr RegKey kRootClassesRoot = PredefinedRoot(0x80000000u);
inline constexpr RegKey kRootCurrentUser = PredefinedRoot(0x80000001u);
inline constexpr RegKey kRootLocalMachine = PredefinedRoot(0x80000002u);
inline constexpr RegKey kRootUsers = PredefinedRoot(0x80000003u);
inline constexpr RegKey kRootCurrentConfig = PredefinedRoot(0x80000005u);

namespace reg {
inline constexpr long kSuccess = 0;
inline constexpr long kFileNotFound = 2;
inline constexpr long kAccessDenied = 5;
inline constexpr long kInvalidHandle = 6;
inline constexpr long kInvalidParameter = 87;
inline constexpr long kBadNetPath = 53;
inline constexpr long kUnexpectedNetworkError = 59;
inline constexpr long kNetNameDeleted = 64;
inline constexpr long kBadPathName = 161;
inline constexpr long kMoreData = 234;
inline constexpr long kNoMoreItems = 259;
inline constexpr long kServerUnavailable = 1722;
inline constexpr long kCallFailed = 1726;
inline constexpr long kCallFailedDidNotExecute = 1727;

inline constexpr std::uint32_t kNone = 0;
inline constexpr std::uint32_t kSz = 1;
inline constexpr std::uint32_t kExpandSz = 2;
inline constexpr std::uint32_t kBinary = 3;
inline constexpr std::uint32_t kDword = 4;
inline constexpr std::uint32_t kMultiSz = 7;
inline constexpr std::uint32_t kQword = 11;

inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;
inline constexpr std::uint32_t kKeyWow64_64Key = 0x0100;
inline constexpr std::uint32_t kOptionNonVolatile = 0;
inline constexpr std::uint32_t kCreatedNewKey = 1;
inline constexpr std::uint32_t kOpenedExistingKey = 2;
}  // namespace reg

class RegistryApi {
 public:
  virtual ~RegistryApi() = default;

  // RegConnectRegistryW: `machine` is never null here (the empty text is passed as is).
  virtual long ConnectRegistry(const char16_t* machine, RegKey root, RegKey* result) = 0;
  // RegOpenKeyW: an empty subkey gives back the handle passed in.
  virtual long OpenKey(RegKey base, const char16_t* subKey, RegKey* result) = 0;
  virtual long OpenKeyEx(RegKey base, const char16_t* subKey, std::uint32_t access, RegKey* result) = 0;
  virtual long CreateKeyEx(RegKey base, const char16_t* subKey, std::uint32_t options, std::uint32_t access,
                           RegKey* result, std::uint32_t* disposition) = 0;
  // RegQueryValueExW: with data null only type and size are returned.
  virtual long QueryValueEx(RegKey key, const char16_t* valueName, std::uint32_t* type, std::uint8_t* data,
                            std::uint32_t* dataLength) = 0;
  virtual long SetValueEx(RegKey key, const char16_t* valueName, std::uint32_t type, const std::uint8_t* data,
                          std::uint32_t dataLength) = 0;
  // RegEnumKeyExW: nameCount is the buffer size in characters on entry, the name's length
  // (without its terminator) on success.
  virtual long EnumKeyEx(RegKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameCount) = 0;
  virtual long CloseKey(RegKey key) = 0;
  // GetComputerNameW: count is the buffer size in characters on entry.
  virtual bool ComputerName(char16_t* buffer, std::uint32_t* count) = 0;
};

// The implementation every registry operation of the program goes through, picked by the
// program's entry point; until then every call fails.
RegistryApi& CurrentRegistryApi();
void SetRegistryApi(RegistryApi* api);

// Sets an implementation for the life of a scope, then puts the previous one back.
class ScopedRegistryApi {
 public:
  explicit ScopedRegistryApi(RegistryApi& api);
  ~ScopedRegistryApi();
  ScopedRegistryApi(const ScopedRegistryApi&) = delete;
  ScopedRegistryApi& operator=(const ScopedRegistryApi&) = delete;

 private:
  RegistryApi* previous_;
};

}  // namespace appcensus
