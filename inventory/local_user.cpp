#include "inventory/local_user.h"

namespace appcensus {

// Off Windows no user is known and no indirect string resolves: names fall back.
LocalUser PlatformLocalUser() {
  return {[] { return Text(); }, [](TextView) { return std::optional<Text>(); }};
}

}  // namespace appcensus
