// The applications of a request of several machines that differ between them: those that
// are not on every machine with the same version. The window's "Différences uniquement"
// and its export show only these.
#pragma once

#include <vector>

#include "core/application_record.h"

namespace appcensus {

// The records, in their order, of the applications that are not on every machine of the
// records (letter case ignored) with the same versions. An application is its DisplayName,
// letter case ignored, and its location (64-bit view, 32-bit view, a user's). Records of
// one machine only are all kept.
std::vector<ApplicationRecord> DifferingApplications(std::vector<ApplicationRecord> records);

}  // namespace appcensus
