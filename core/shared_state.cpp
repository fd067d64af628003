#include "core/shared_state.h"

namespace appcensus {

Text ProductVersion() { return DecimalText(kVersionMajor) + u"." + DecimalText(kVersionMinor); }

Text WindowTitle() { return Text(kProductName) + u" v" + ProductVersion(); }

SharedState& Shared() {
  static SharedState state;
  return state;
}

}  // namespace appcensus
