// The install-date rewrite "yyyymmdd" to "dd/mm/yyyy", and its place in a record.
//
// Properties: for a text of n characters the result is characters 7-8, "/", 5-6, "/", 1-4
// (from 1), each piece cut where the text ends, so its length is min(2, n - 6) + min(2, n - 4)
// + min(4, n) + 2 (negative terms counting 0) and its two "/" stand right after the first
// and the second piece; eight characters give ten. In a record the date is the placeholder
// when the value is empty and the rewrite otherwise.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "inventory/entry_rules.h"

namespace {

using namespace appcensus;

std::size_t PieceLength(std::size_t size, std::size_t first, std::size_t count) {
  return size > first ? std::min(count, size - first) : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const ProductCodePattern productCode;
  const Text date = fuzz::UnitsOf(data, size);
  const Text rewritten = RewriteInstallDate(date);

  const std::size_t day = PieceLength(date.size(), 6, 2);
  const std::size_t month = PieceLength(date.size(), 4, 2);
  const std::size_t year = PieceLength(date.size(), 0, 4);
  FUZZ_CHECK(rewritten.size() == day + month + year + 2);
  if (date.size() == 8) FUZZ_CHECK(rewritten.size() == 10);
  FUZZ_CHECK(rewritten[day] == u'/');
  FUZZ_CHECK(rewritten[day + 1 + month] == u'/');
  for (std::size_t i = 0; i < day; ++i) FUZZ_CHECK(rewritten[i] == date[6 + i]);
  for (std::size_t i = 0; i < month; ++i) FUZZ_CHECK(rewritten[day + 1 + i] == date[4 + i]);
  for (std::size_t i = 0; i < year; ++i) FUZZ_CHECK(rewritten[day + month + 2 + i] == date[i]);

  EntryValues values;
  values.DisplayName = u"Application";
  values.InstallDate = date;
  const auto record = BuildApplicationRecord(values, u"", UninstallEntry{u"Key", u"."}, productCode);
  FUZZ_CHECK(record.has_value());
  FUZZ_CHECK_TEXT(record->InstallDate == (date.empty() ? Text(kPlaceholder) : rewritten), record->InstallDate, date);
  return 0;
}
