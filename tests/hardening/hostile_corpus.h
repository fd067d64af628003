// A hostile corpus of uninstall entries for the inventory, and an independent reading of what
// the inventory must make of it.
//
// The generator is seeded and repeatable: the same options give the same entries on every
// platform (std::mt19937 is fully specified; no standard distribution is used). Entries hold
// values of random types and sizes around every buffer limit of the registry layer (254/255
// characters, 510/511 bytes, 1,024 bytes), strings with odd or missing terminators, embedded
// NULs, unpaired surrogates, braces everywhere, value names in other letter cases and stray
// values; key names run up to 254 characters and, when asked, to 255 and beyond.
//
// The reference reading is written from the rules as documented, without the inventory's
// own functions: what ReadRegistryValue gives for given bytes, the record of an entry, the
// product code by a hand-written brace scanner.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/application_record.h"
#include "core/text.h"

namespace appcensus::hardening {

struct HostileValue {
  Text name;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

struct HostileEntry {
  Text keyName;  // never empty, never holds "\" or NUL
  std::vector<HostileValue> values;
};

struct CorpusOptions {
  std::uint32_t seed = 1;
  std::size_t entries = 1000;
  // Also key names of 255 to 300 characters (about one entry in 200).
  bool overlongKeyNames = false;
  // Put in front of every key name (for a real registry shared with other entries).
  Text keyPrefix;
};

std::vector<HostileEntry> GenerateHostileCorpus(const CorpusOptions& options);

// What the registry layer reads for a value of the entry (letter case of the value name
// ignored): REG_SZ / REG_EXPAND_SZ the units up to the first NUL, REG_DWORD the signed
// decimal of up to 4 little-endian bytes ("0" when there are more), REG_BINARY two
// upper-case hexadecimal digits per byte, anything else, a missing value and data over 510
// bytes the empty text.
Text ReferenceValueText(const HostileEntry& entry, TextView valueName);

// The product code of a key name: its one braced group ("{", the shortest run without a line
// feed, "}"; taken left to right without overlap; unpaired surrogates read as U+FFFD) or the
// placeholder when there is not exactly one.
Text ReferenceProductCode(TextView keyName);

// The record of an entry listed on `machine`; none when its DisplayName reads as empty.
std::optional<ApplicationRecord> ReferenceRecord(const HostileEntry& entry, TextView machine);

// Whether the listing can return the key name: it must fit the 255-character name buffer
// with its terminator.
inline bool ListableKeyName(TextView keyName) { return keyName.size() <= 254; }

// Readable form of a record for failure messages.
std::string Describe(const ApplicationRecord& record);

}  // namespace appcensus::hardening
