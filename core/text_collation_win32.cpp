// Collation through the platform's linguistic comparison for the user's language.
#include <windows.h>

#include <algorithm>
#include <climits>

#include "core/text_collation.h"

namespace appcensus {

int CollateIgnoringCase(TextView a, TextView b) {
  const auto wide = [](TextView text) { return reinterpret_cast<LPCWSTR>(text.data()); };
  const int lengthA = static_cast<int>(std::min<std::size_t>(a.size(), INT_MAX));
  const int lengthB = static_cast<int>(std::min<std::size_t>(b.size(), INT_MAX));
  int result = CompareStringEx(LOCALE_NAME_USER_DEFAULT, LINGUISTIC_IGNORECASE, wide(a), lengthA, wide(b), lengthB,
                               nullptr, nullptr, 0);
  // Should the locale refuse, the texts' code units, letter case ignored.
  if (result == 0) result = CompareStringOrdinal(wide(a), lengthA, wide(b), lengthB, TRUE);
  return result == 0 ? 0 : result - CSTR_EQUAL;
}

}  // namespace appcensus
