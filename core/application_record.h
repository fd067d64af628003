// The records that the inventory produces and the views and the export show.
#pragma once

#include "core/text.h"

namespace appcensus {

// Text that stands in a record for a value the machine does not provide.
inline constexpr char16_t kPlaceholder[] = u" - ";

// The Uninstall keys the inventory lists, in its order: the 64-bit view, the 32-bit view,
// then the one of each user hive loaded under HKEY_USERS.
inline constexpr char16_t kUninstallKeyPath[] = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr char16_t kUninstallKeyPath32[] =
    u"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr char16_t kUsersRootPath[] = u"HKEY_USERS\\";
inline constexpr char16_t kUserUninstallSubKey[] = u"\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

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
  Text UninstallKeyPath = kUninstallKeyPath;  // the Uninstall key it was listed under

  bool operator==(const ApplicationRecord&) const = default;
};

// One subkey listed by the first inventory pass.
struct UninstallEntry {
  Text KeyName;
  Text Machine;
  Text UninstallKeyPath = kUninstallKeyPath;

  bool operator==(const UninstallEntry&) const = default;
};

// Full registry path of a record's uninstall subkey, as the table, tree and export show it.
Text EntryRegistryPath(const ApplicationRecord& record);

// Where an entry was installed: for the machine in the 64-bit view, in the 32-bit view, or
// for one user (whose security identifier names the hive).
enum class EntryLocation { Machine, Machine32, User };
EntryLocation LocationOf(TextView uninstallKeyPath);
// The user's security identifier of an entry of a user hive; empty for the others.
Text UserSidOf(TextView uninstallKeyPath);

}  // namespace appcensus
