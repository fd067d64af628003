// Stateless registry access: every key is addressed by one textual path (root name, "\",
// path below it) and a machine name ("." for the local registry). Each call resolves the
// path, connects when the machine is remote, opens the one key it needs, does one thing and
// closes every handle before it returns. Failure shows only as the empty text or 0.
#pragma once

#include <cstdint>

#include "core/text.h"
#include "registry/registry_api.h"

namespace appcensus {

// Buffer sizes of the layer: values are queried into 255 UTF-16 characters (510 bytes),
// subkey names into 255 characters, binary data into 1,024 bytes.
inline constexpr std::uint32_t kValueBufferChars = 255;
inline constexpr std::uint32_t kSubKeyBufferChars = 255;
inline constexpr std::uint32_t kBinaryBlockBytes = 1024;
inline constexpr std::uint32_t kComputerNameChars = 100;

Text ReadRegistryValue(TextView keyPath, TextView valueName, TextView machine);
int RegistryValueExists(TextView keyPath, TextView valueName, TextView machine);
int SetRegistryValue(TextView keyPath, TextView valueName, TextView value, int type, TextView machine);
int CreateRegistryKey(TextView keyPath, TextView machine);
int WriteRegistryValue(TextView keyPath, TextView valueName, TextView value, int type, TextView machine);
int RegistryKeyExists(TextView keyPath, TextView machine);
Text EnumerateRegistrySubKey(TextView keyPath, int index, TextView machine);
// The same, telling apart a subkey whose name does not fit the 255-character buffer
// (*nameTooLong true: the empty text stands for that one subkey and the enumeration may go
// on at the next index) from the end of the list or a failure (*nameTooLong false).
Text EnumerateRegistrySubKey(TextView keyPath, int index, TextView machine, bool* nameTooLong);
Text LocalComputerName();

// Path resolution, exposed for tests.
RegKey RootKeyOfPath(TextView keyPath);
Text SubKeyOfPath(TextView keyPath);
// Value of hexadecimal text (its UTF-8 bytes); characters that are not hexadecimal digits
// count as 0.
std::int32_t HexTextToNumber(TextView text);

}  // namespace appcensus
