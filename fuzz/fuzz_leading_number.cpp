// The number reading of REG_DWORD writes and of the time-limit field (LeadingNumber), and the
// time limit in milliseconds.
//
// Properties: LeadingNumber equals a big-integer reading of the same grammar (blanks and
// tabs, an optional sign, "$" hexadecimal, "%" binary, else decimal) taken modulo 2^32 and
// read as signed; SetRegistryValue of type 4 stores exactly those 32 bits as a 4-byte
// REG_DWORD, which reads back as their signed decimal text; TimeLimitMilliseconds is the
// positive part times the length of a second, capped at the longest finite wait.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "request/machine_worker.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/memory_registry.h"
#include "registry/registry_layer.h"

namespace {

using namespace appcensus;

// Unsigned number of any size, in 32-bit limbs, least significant first.
class BigNumber {
 public:
  void MultiplyAdd(std::uint32_t factor, std::uint32_t addend) {
    std::uint64_t carry = addend;
    for (auto& limb : limbs_) {
      const std::uint64_t value = static_cast<std::uint64_t>(limb) * factor + carry;
      limb = static_cast<std::uint32_t>(value);
      carry = value >> 32;
    }
    if (carry != 0) limbs_.push_back(static_cast<std::uint32_t>(carry));
  }
  std::uint32_t Low32() const { return limbs_.empty() ? 0 : limbs_.front(); }

 private:
  std::vector<std::uint32_t> limbs_;
};

int Digit(char16_t c, int base) {
  int value = 99;
  if (c >= u'0' && c <= u'9') value = c - u'0';
  if (c >= u'a' && c <= u'z') value = c - u'a' + 10;
  if (c >= u'A' && c <= u'Z') value = c - u'A' + 10;
  return value < base ? value : -1;
}

std::uint32_t ReferenceReading(TextView text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  int base = 10;
  if (i < text.size() && text[i] == u'$') {
    base = 16;
    ++i;
  } else if (i < text.size() && text[i] == u'%') {
    base = 2;
    ++i;
  }
  BigNumber number;
  for (; i < text.size() && Digit(text[i], base) >= 0; ++i)
    number.MultiplyAdd(static_cast<std::uint32_t>(base), static_cast<std::uint32_t>(Digit(text[i], base)));
  const std::uint32_t low = number.Low32();
  return negative ? static_cast<std::uint32_t>((std::uint64_t{1} << 32) - low) : low;
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
  const std::uint32_t expected = ReferenceReading(text);
  const std::int32_t number = LeadingNumber(text);
  FUZZ_CHECK(static_cast<std::uint32_t>(number) == expected);
  const auto asSigned = static_cast<std::int32_t>(expected);

  // A REG_DWORD write keeps the low 32 bits; it reads back as their signed decimal text.
  MemoryRegistry& registry = Registry();
  ScopedRegistryApi scoped(registry);
  FUZZ_CHECK(SetRegistryValue(kKey, u"N", text, 4, u".") == 1);
  std::uint32_t type = 0;
  std::vector<std::uint8_t> stored;
  FUZZ_CHECK(registry.Local().GetValue(kKey, u"N", &type, &stored));
  FUZZ_CHECK(type == 4 && stored.size() == 4);
  std::uint32_t storedValue = 0;
  std::memcpy(&storedValue, stored.data(), 4);
  FUZZ_CHECK(storedValue == expected);
  const std::string decimal = std::to_string(asSigned);
  FUZZ_CHECK(ReadRegistryValue(kKey, u"N", u".") == Text(decimal.begin(), decimal.end()));
  FUZZ_CHECK(registry.OpenHandleCount() == 0);

  // The time limit: seconds in the field, a negative number counting as none.
  for (const std::int64_t perSecond : {std::int64_t{1000}, std::int64_t{1}, std::int64_t{0}, std::int64_t{86400000}}) {
    const std::int64_t ms = TimeLimitMilliseconds(number, std::chrono::milliseconds(perSecond));
    const std::int64_t wanted = std::min<std::int64_t>(std::max<std::int64_t>(asSigned, 0) * perSecond, kLongestWaitMs);
    FUZZ_CHECK(ms == wanted);
    FUZZ_CHECK(ms >= 0 && ms <= kLongestWaitMs);
  }
  return 0;
}
