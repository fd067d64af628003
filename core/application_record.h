// The records that the inventory produces and the views and the export show.
#pragma once

#include "core/text.h"

namespace appcensus {

// Text that stands in a record for a value the machine does not provide.
inline constexpr char16_t kPlaceholder[] = u" - ";

// One installed application of one machine.
struct ApplicationRecord {
  Text DisplayName;
  Text DisplayVersion;
  Text InstallSource;
  Text InstallDate;       // day/month/year
  Text UninstallString;
  Text InstallLocation;
  Text ProductCode;
  Text Machine;           // as written in the request ("." for the local machine)
  Text KeyName;           // subkey name below the Uninstall key

  bool operator==(const ApplicationRecord&) const = default;
};

// One subkey listed by the first inventory pass.
struct UninstallEntry {
  Text KeyName;
  Text Machine;

  bool operator==(const UninstallEntry&) const = default;
};

// Full registry path of a record's uninstall subkey, as the table, tree and export show it.
inline constexpr char16_t kUninstallKeyPath[] = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
Text EntryRegistryPath(const ApplicationRecord& record);

}  // namespace appcensus
