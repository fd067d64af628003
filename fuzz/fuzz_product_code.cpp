// Product-code extraction from an uninstall subkey name, and the pattern search under it.
//
// Properties: the product code is the placeholder unless the name holds exactly one braced
// group by the hand-written reading of the pattern (brace_groups.h), and then it is that
// group, a substring of the name that starts with "{", ends with its only "}" and holds no
// line feed (unpaired surrogates of the name read as U+FFFD, as in every conversion to UTF-8).
// TextPattern::AllMatches on raw bytes finds exactly the groups of that reading when the bytes
// are well-formed UTF-8, and nothing otherwise.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/brace_groups.h"
#include "fuzz/fuzz_support.h"
#include "inventory/entry_rules.h"

using namespace appcensus;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const ProductCodePattern productCode;
  static const TextPattern pattern(kProductCodePattern);
  FUZZ_CHECK(pattern.Valid());

  // The subkey name: the bytes as UTF-16 units.
  const Text name = fuzz::UnitsOf(data, size);
  const Text readable = fuzz::WithoutLoneSurrogates(name);
  const auto groups = fuzz::BraceGroups<char16_t>(readable);
  const Text code = productCode.Extract(name);
  if (groups.size() != 1) {
    FUZZ_CHECK_TEXT(code == kPlaceholder, code, name);
  } else {
    const Text group = readable.substr(groups[0].first, groups[0].second - groups[0].first);
    FUZZ_CHECK_TEXT(code == group, code, group);
    FUZZ_CHECK(code.front() == u'{' && code.back() == u'}');
    FUZZ_CHECK(code.find(u'}') == code.size() - 1 && code.find(u'\n') == Text::npos);
    if (readable == name) FUZZ_CHECK(name.find(code) != Text::npos);
  }

  // The search itself, on the bytes as UTF-8 (well-formed or not).
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto matches = pattern.AllMatches(bytes);
  if (!fuzz::IsWellFormedUtf8(bytes))
    FUZZ_CHECK(matches.empty());
  else
    FUZZ_CHECK(matches == fuzz::BraceGroups<char>(bytes));
  return 0;
}
