// HexTextToNumber and the REG_BINARY write built on it.
//
// Properties: HexTextToNumber equals, modulo 2^32, the reading of the text's UTF-8 bytes as
// base-16 digits in which every byte that is not a hexadecimal digit counts as 0 (the byte
// count of each character is worked out here from its code point, an unpaired surrogate
// taking the three bytes of U+FFFD); a REG_BINARY write of a text of n characters stores
// n / 2 bytes, byte k being the low 8 bits of the reading of characters 2k and 2k + 1, and
// that data reads back as two upper-case hexadecimal digits per byte while it fits the
// 510-byte query buffer, as the empty text beyond.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "tests/support/memory_registry.h"
#include "registry/registry_layer.h"

namespace {

using namespace appcensus;

std::uint32_t HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return 0;
}

std::uint32_t ReferenceValue(TextView text) {
  std::uint64_t value = 0;  // kept below 2^32 after each step
  const auto shiftIn = [&](std::uint32_t digit) { value = ((value << 4) + digit) & 0xFFFFFFFFu; };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    int bytes = 1;
    if (c >= 0x80) bytes = 2;
    if (c >= 0x800) bytes = 3;  // also an unpaired surrogate: U+FFFD
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      bytes = 4;
      ++i;
    }
    if (bytes == 1)
      shiftIn(HexDigit(c));
    else
      for (int b = 0; b < bytes; ++b) shiftIn(0);  // bytes of 0x80 and above are no digits
  }
  return static_cast<std::uint32_t>(value);
}

constexpr char16_t kKey[] = u"HKEY_CURRENT_USER\\Software\\Fuzz";

MemoryRegistry& Registry() {
  static MemoryRegistry* registry = [] {
    auto* created = new MemoryRegistry;
    created->Local().CreateKey(kKey);
    return created;
  }();
  return *registry;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Text text = fuzz::UnitsOf(data, size);
  FUZZ_CHECK(static_cast<std::uint32_t>(HexTextToNumber(text)) == ReferenceValue(text));

  MemoryRegistry& registry = Registry();
  ScopedRegistryApi scoped(registry);
  FUZZ_CHECK(SetRegistryValue(kKey, u"B", text, 3, u".") == 1);
  std::uint32_t type = 0;
  std::vector<std::uint8_t> stored;
  FUZZ_CHECK(registry.Local().GetValue(kKey, u"B", &type, &stored));
  FUZZ_CHECK(type == 3);
  FUZZ_CHECK(stored.size() == text.size() / 2);
  Text hex;
  for (std::size_t k = 0; k < stored.size(); ++k) {
    FUZZ_CHECK(stored[k] == (ReferenceValue(TextView(text).substr(2 * k, 2)) & 0xFF));
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    hex.push_back(kDigits[stored[k] >> 4]);
    hex.push_back(kDigits[stored[k] & 0xF]);
  }
  const Text readBack = ReadRegistryValue(kKey, u"B", u".");
  FUZZ_CHECK_TEXT(readBack == (stored.size() <= 510 ? hex : Text()), readBack, hex);
  FUZZ_CHECK(RegistryValueExists(kKey, u"B", u".") == (stored.size() <= 510 ? 1 : 0));
  FUZZ_CHECK(registry.OpenHandleCount() == 0);
  return 0;
}
