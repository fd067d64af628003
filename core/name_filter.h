// The name filter of the application views, the export and the console program: does an
// application name pass the search text?
#pragma once

#include "core/text.h"

namespace appcensus {

// True when `filterText` is empty or occurs in `name`, letter case ignored (the mapping of
// LowerCase, character by character). No wildcard; blanks count like any character.
inline bool NameMatchesFilter(TextView name, TextView filterText) {
  if (filterText.empty()) return true;
  if (name.find(filterText) != TextView::npos) return true;
  return LowerCase(name).find(LowerCase(filterText)) != Text::npos;
}

}  // namespace appcensus
