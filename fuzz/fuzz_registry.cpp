// The registry layer's rules, from a key path and a value text. Paths: a predefined root only
// for its own name in any ASCII letter case ("ı" as "i"), the subkey after the first "\" less
// one more leading "\"; on a simulated machine a key created under one spelling of its root is
// found under the others, an unknown root reaches nothing, "." never connects and no handle
// stays open. Number readings, modulo 2^32: LeadingNumber (REG_DWORD, time limit) ignores
// blanks in front and what follows the number, "+" changes nothing, "-" negates, a digit after
// a run multiplies by the base and adds it; HexTextToNumber of a text followed by another
// shifts the first by four bits per UTF-8 byte of the second (a byte that is no digit counting
// as 0). Writes store those bits (REG_BINARY: byte k from characters 2k and 2k + 1) and read
// back as decimal, or as hex while they fit the 510-byte buffer; a time limit is 0 for no
// seconds, else within the longest finite wait.
#include "fuzz/fuzz_support.h"
#include "request/machine_worker.h"
#include "tests/support/memory_registry.h"

using namespace appcensus;

std::uint32_t Number(TextView text) { return static_cast<std::uint32_t>(LeadingNumber(text)); }
std::uint32_t Hex(TextView text) { return static_cast<std::uint32_t>(HexTextToNumber(text)); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Text path = fuzz::Part(data, size, 0), text = fuzz::Part(data, size, 1);
  const std::size_t slash = path.find(u'\\');
  Text upper = path.substr(0, slash), lower = upper;  // the root name in ASCII upper and lower case
  for (std::size_t i = 0; i < upper.size(); ++i) {
    upper[i] = upper[i] >= u'a' && upper[i] <= u'z' ? upper[i] - 32 : upper[i] == 0x131 ? u'I' : upper[i];
    lower[i] = upper[i] >= u'A' && upper[i] <= u'Z' ? upper[i] + 32 : upper[i];
  }
  const std::pair<TextView, RegKey> roots[] = {{u"HKEY_CLASSES_ROOT", kRootClassesRoot}, {u"HKEY_CURRENT_USER", kRootCurrentUser},
                                               {u"HKEY_LOCAL_MACHINE", kRootLocalMachine}, {u"HKEY_USERS", kRootUsers},
                                               {u"HKEY_CURRENT_CONFIG", kRootCurrentConfig}};
  RegKey root = 0;
  for (const auto& [name, handle] : roots) root = upper == name ? handle : root;
  const Text rest = slash == Text::npos ? Text() : path.substr(slash);
  const TextView below = TextView(rest).substr(rest.starts_with(u"\\\\") ? 2 : rest.empty() ? 0 : 1);
  FUZZ_CHECK(RootKeyOfPath(path) == root && SubKeyOfPath(path) == (slash == Text::npos ? TextView(path) : below));
  MemoryRegistry registry;
  ScopedRegistryApi scope(registry);
  const int created = CreateRegistryKey(path, u".");
  FUZZ_CHECK(created == 0 || root != 0);
  FUZZ_CHECK(RegistryKeyExists(upper + rest, u".") == created && RegistryKeyExists(lower + rest, u".") == created);
  FUZZ_CHECK(registry.CallCount(MemoryRegistry::kConnect) == 0 && registry.OpenHandleCount() == 0);

  FUZZ_CHECK(Number(u" \t" + text) == Number(text) && Number(text + u"x") == Number(text));
  if (text.empty() || Text(u" \t+-").find(text[0]) == Text::npos)
    FUZZ_CHECK(Number(u"+" + text) == Number(text) && Number(u"-" + text) == 0u - Number(text));
  for (const auto& [run, base] : {std::pair<Text, std::uint32_t>{u"7" + Text(text.size(), u'9'), 10},
                                  {u"$f" + Text(text.size(), u'F'), 16}, {u"%" + Text(text.size(), u'1'), 2}})
    FUZZ_CHECK(Number(run + u"1") == Number(run) * base + 1 && Number(u"-" + run + u"1") == 0u - Number(run + u"1"));
  std::size_t half = text.size() / 2;  // not between the two units of a surrogate pair
  if (half > 0 && half < text.size() && (text[half - 1] & 0xFC00) == 0xD800 && (text[half] & 0xFC00) == 0xDC00) ++half;
  const Text head = text.substr(0, half), tail = text.substr(half);
  const std::size_t shift = 4 * TextToUtf8(tail).size();
  FUZZ_CHECK(Hex(text) == (shift >= 32 ? 0 : Hex(head) << shift) + Hex(tail));
  const std::int64_t ms = TimeLimitMilliseconds(LeadingNumber(text), std::chrono::seconds(1));
  FUZZ_CHECK(ms >= 0 && ms <= kLongestWaitMs && (ms == 0) == (LeadingNumber(text) <= 0));

  std::vector<std::uint8_t> stored, expected;
  FUZZ_CHECK(WriteRegistryValue(u"HKEY_CURRENT_USER\\F", u"N", text, reg::kDword, u".") == 1);
  FUZZ_CHECK(registry.Local().GetValue(u"HKEY_CURRENT_USER\\F", u"N", nullptr, &stored) && stored == DwordData(Number(text)));
  FUZZ_CHECK(ReadRegistryValue(u"HKEY_CURRENT_USER\\F", u"N", u".") == DecimalText(LeadingNumber(text)));
  FUZZ_CHECK(SetRegistryValue(u"HKEY_CURRENT_USER\\F", u"B", text, reg::kBinary, u".") == 1);
  Text hex;
  for (std::size_t k = 0; k < text.size() / 2; ++k) {
    expected.push_back(static_cast<std::uint8_t>(Hex(text.substr(2 * k, 2))));
    hex += {u"0123456789ABCDEF"[expected.back() >> 4], u"0123456789ABCDEF"[expected.back() & 0xF]};
  }
  FUZZ_CHECK(registry.Local().GetValue(u"HKEY_CURRENT_USER\\F", u"B", nullptr, &stored) && stored == expected);
  FUZZ_CHECK(ReadRegistryValue(u"HKEY_CURRENT_USER\\F", u"B", u".") == (expected.size() <= 510 ? hex : Text()));
  return 0;
}
