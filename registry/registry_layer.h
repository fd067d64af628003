// Stateless registry access: every key is addressed by one textual path (root name, "\",
// path below it) and a machine name ("." for the local registry). Each call resolves the
// path, connects when the machine is remote, opens the one key it needs, does one thing and
// closes every handle before it returns. Failure shows only as the empty text or 0.
#pragma once

#include <cstdint>

#include "core/text.h"
#include "registry/registry_api.h"

namespace appcensus {

// Buffer sizes of the layer: a value is first queried into 255 UTF-16 characters (510 bytes)
// and a text that does not fit is read again whole; subkey names into 256 characters (the
// registry's longest name, 255, and its terminator); binary data into 1,024 bytes.
inline constexpr std::uint32_t kValueBufferChars = 255;
inline constexpr std::uint32_t kSubKeyBufferChars = 256;
inline constexpr std::uint32_t kBinaryBlockBytes = 1024;
inline constexpr std::uint32_t kComputerNameChars = 100;

Text ReadRegistryValue(TextView keyPath, TextView valueName, TextView machine);
// The value rules of ReadRegistryValue on a key already open, in one query: a text whole
// (read again at the size the registry reports when it is longer than 254 characters); a
// REG_DWORD as the decimal text of its signed value ("0" when it holds more than 4 bytes); a
// REG_BINARY as hexadecimal text; a REG_DWORD or REG_BINARY of more than 510 bytes, any other
// type or a failure as the empty text. Returns the status of the query.
long ReadValueOfKey(RegistryApi& api, RegKey key, TextView valueName, Text* value);
int RegistryValueExists(TextView keyPath, TextView valueName, TextView machine);
int SetRegistryValue(TextView keyPath, TextView valueName, TextView value, int type, TextView machine);
int CreateRegistryKey(TextView keyPath, TextView machine);
int WriteRegistryValue(TextView keyPath, TextView valueName, TextView value, int type, TextView machine);
int RegistryKeyExists(TextView keyPath, TextView machine);
Text EnumerateRegistrySubKey(TextView keyPath, int index, TextView machine);
// The same, telling apart a subkey whose name does not fit the name buffer
// (*nameTooLong true: the empty text stands for that one subkey and the enumeration may go
// on at the next index) from the end of the list or a failure (*nameTooLong false).
Text EnumerateRegistrySubKey(TextView keyPath, int index, TextView machine, bool* nameTooLong);
Text LocalComputerName();

// The predefined root a textual path starts with (0 for none), and the subkey after it.
RegKey RootKeyOfPath(TextView keyPath);
Text SubKeyOfPath(TextView keyPath);

class ScopedKey;
// Where keys below `root` are opened from on `machine` ("." for the local registry): the
// predefined root itself, else a connection to the machine's root, then held by `connection`.
// 0 when the connection failed, *status then saying why (reg::kSuccess otherwise).
RegKey ConnectedRoot(RegistryApi& api, TextView machine, RegKey root, ScopedKey& connection, long* status);
// Value of hexadecimal text (its UTF-8 bytes); characters that are not hexadecimal digits
// count as 0.
std::int32_t HexTextToNumber(TextView text);

}  // namespace appcensus
