// Process-wide registry of named objects: the window, the status bar, every gadget and every
// image is registered under a fixed text name and found again by that name from any thread.
// 0 means "no such object".
#pragma once

#include <cstdint>

#include "core/text.h"

namespace appcensus {

// Values are window, gadget or image handles; 32-bit significant on every Windows, kept at
// pointer width here so that a handle converts back unchanged.
using NamedValue = std::intptr_t;

void RegisterNamedId(TextView name, std::int32_t kind, NamedValue value, TextView note);
NamedValue NamedId(TextView name, std::int32_t kind = 0);

}  // namespace appcensus
