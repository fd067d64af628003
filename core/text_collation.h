// The order of texts as the user's language sorts them, letter case ignored: the order of the
// application views' names and texts.
#pragma once

#include "core/text.h"

namespace appcensus {

// Negative when `a` sorts before `b`, 0 when they sort together, positive after. On Windows the
// platform's linguistic comparison for the user's language (CompareStringEx with
// LINGUISTIC_IGNORECASE); elsewhere letters compare by their base letter first (é with e,
// case ignored), then an unaccented letter before an accented one.
int CollateIgnoringCase(TextView a, TextView b);

}  // namespace appcensus
