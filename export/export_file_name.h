// The name of an export file: prefix, "_", the local date and time, ".csv".
#pragma once

#include "core/text.h"

namespace appcensus {

struct LocalDateTime {
  int year = 0;
  int month = 0;   // 1-12
  int day = 0;     // 1-31
  int hour = 0;    // 0-23
  int minute = 0;
  int second = 0;
};

// The current local date and time of the machine.
LocalDateTime CurrentLocalDateTime();

inline constexpr char16_t kExportTimeMask[] = u"%hh-%ii-%ss_%dd-%mm-%yyyy";

// Replaces %hh, %ii, %ss, %dd, %mm (two digits each) and %yyyy (four digits) in `mask`;
// every other character is copied.
Text FormatDateTime(TextView mask, const LocalDateTime& time);

// The prefix as it can stand at the start of a file name in the export folder.
Text CleanFileNamePrefix(TextView prefix);

// CleanFileNamePrefix(prefix) + "_" + the time with kExportTimeMask + ".csv".
Text ExportFileName(TextView prefix, const LocalDateTime& time);

}  // namespace appcensus
