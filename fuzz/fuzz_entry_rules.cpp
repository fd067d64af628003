// The rules of a record, from a key name, a date, an icon and a location. The product code is
// the one braced group of the name by the reading below (unpaired surrogates as U+FFFD), else
// the placeholder; the search on raw bytes finds that reading's groups if they are UTF-8, else
// none. A date is rewritten only when it is eight digits, then as its characters reordered
// with two "/" (dd/mm/yyyy, the first four last), which is not rewritten again.
// The icon's folder (one leading quote skipped) is a prefix of its part before "|", empty or
// ending with "\" or "/", no separator after it. An empty date or location (with no icon)
// gives the placeholder; an empty location with an icon its folder.
#include <algorithm>

#include "fuzz/fuzz_support.h"
#include "inventory/entry_rules.h"

using namespace appcensus;

// "{(?i)(.*?)(?i)}" read by hand: "{", the shortest run without a line feed, "}"; left to
// right, no overlap. Braces and line feeds are single units in UTF-8 and UTF-16 alike.
template <class Char>
std::vector<std::pair<std::size_t, std::size_t>> BraceGroups(std::basic_string_view<Char> text) {
  std::vector<std::pair<std::size_t, std::size_t>> groups;
  for (std::size_t open = text.find(Char('{')); open != text.npos; open = text.find(Char('{'), open + 1)) {
    const std::size_t close = text.find_first_of(std::basic_string<Char>{Char('}'), Char('\n')}, open + 1);
    if (close == text.npos || text[close] != Char('}')) continue;
    groups.emplace_back(open, close + 1);
    open = close;
  }
  return groups;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const ProductCodePattern productCode;
  static const TextPattern pattern(kProductCodePattern);
  const Text name = fuzz::Part(data, size, 0), date = fuzz::Part(data, size, 1), icon = fuzz::Part(data, size, 2);
  const Text location = fuzz::Part(data, size, 3), readable = Utf8ToText(TextToUtf8(name));
  const auto groups = BraceGroups<char16_t>(readable);
  const Text code = productCode.Extract(name);
  FUZZ_CHECK(code == (groups.size() == 1 ? readable.substr(groups[0].first, groups[0].second - groups[0].first) : kPlaceholder));
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const bool wellFormed = TextToUtf8(Utf8ToText(bytes)) == bytes;
  FUZZ_CHECK(pattern.AllMatches(bytes) == (wellFormed ? BraceGroups<char>(bytes) : decltype(groups){}));

  const Text rewritten = RewriteInstallDate(date);
  const bool eightDigits = date.size() == 8 && std::all_of(date.begin(), date.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
  Text sorted = rewritten, expected = date + u"//";
  std::sort(sorted.begin(), sorted.end());
  std::sort(expected.begin(), expected.end());
  FUZZ_CHECK(rewritten == date || (eightDigits && sorted == expected && rewritten.ends_with(date.substr(0, 4)) &&
                                   rewritten[2] == u'/' && rewritten[5] == u'/'));
  FUZZ_CHECK(RewriteInstallDate(rewritten) == rewritten);

  const Text folder = IconFolder(icon);
  const TextView unquoted = TextView(icon).substr(icon.starts_with(u'"') ? 1 : 0);
  const TextView scanned = unquoted.substr(0, unquoted.find(u'|'));
  FUZZ_CHECK(scanned.starts_with(folder) && (folder.empty() || Text(u"\\/").find(folder.back()) != Text::npos) &&
             scanned.find_first_of(u"\\/", folder.size()) == TextView::npos);

  const auto record = BuildApplicationRecord({u"App", u"", date, u"", location, u"", icon, u""}, u"", {name, u"."}, productCode);
  FUZZ_CHECK(record && record->ProductCode == code && record->InstallDate == (date.empty() ? Text(kPlaceholder) : rewritten));
  FUZZ_CHECK(record->InstallLocation == (!location.empty() ? location : !icon.empty() ? folder : kPlaceholder));
  return 0;
}
