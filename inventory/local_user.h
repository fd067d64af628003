// What only the machine this program runs on can tell about its packages: which user the
// program runs as, and the text of an indirect string. The Windows half asks the platform
// (local_user_win32.cpp); elsewhere nothing is known (local_user.cpp).
#pragma once

#include <functional>
#include <optional>

#include "core/text.h"

namespace appcensus {

struct LocalUser {
  // The security identifier of the user this program runs as; empty when unknown.
  std::function<Text()> sid;
  // An indirect string ("@{…?ms-resource://…}", "@file,-id") resolved; none when it cannot be.
  std::function<std::optional<Text>(TextView indirect)> loadIndirectString;
};

LocalUser PlatformLocalUser();

}  // namespace appcensus
