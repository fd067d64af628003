// The folder part of a DisplayIcon value, and the InstallLocation fallback built on it.
//
// Properties: with one leading double quote skipped, the folder is a prefix of the value, ends
// with "\" or "/" or is empty, and is the longest such prefix within the part before the
// first "|": no separator follows it there. In a record, an empty InstallLocation takes the
// folder when DisplayIcon is set (even an empty folder) and the placeholder otherwise; a set
// InstallLocation stays as it is.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "inventory/entry_rules.h"

namespace {

using namespace appcensus;

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const ProductCodePattern productCode;
  fuzz::TextReader reader(data, size);
  const Text icon = reader.Next();
  const Text location = reader.Next();
  const Text folder = IconFolder(icon);

  TextView unquoted = icon;
  if (!unquoted.empty() && unquoted.front() == u'"') unquoted.remove_prefix(1);
  const TextView scanned = unquoted.substr(0, unquoted.find(u'|'));
  FUZZ_CHECK_TEXT(scanned.starts_with(folder), folder, icon);
  FUZZ_CHECK(folder.empty() || IsSeparator(folder.back()));
  for (char16_t c : scanned.substr(folder.size())) FUZZ_CHECK(!IsSeparator(c));

  EntryValues values;
  values.DisplayName = u"Application";
  values.DisplayIcon = icon;
  values.InstallLocation = location;
  const auto record = BuildApplicationRecord(values, u"", UninstallEntry{u"Key", u"."}, productCode);
  FUZZ_CHECK(record.has_value());
  const Text expected = !location.empty() ? location : !icon.empty() ? folder : Text(kPlaceholder);
  FUZZ_CHECK_TEXT(record->InstallLocation == expected, record->InstallLocation, expected);
  return 0;
}
