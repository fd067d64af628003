// The records that the inventory produces and the views and the export show.
#pragma once

#include <cstdint>

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

// The keys that list the installed packages (the applications without an Uninstall key):
// one subkey per user's security identifier, and the one of the packages provisioned for
// every new user. A package's record has one of them as its UninstallKeyPath.
inline constexpr char16_t kPackageUsersPath[] =
    u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Appx\\AppxAllUserStore";
inline constexpr char16_t kProvisionedPackagesPath[] =
    u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Appx\\AppxAllUserStore\\Applications";

// Values of an entry that only the console program reads and shows (the inventory reads
// them when asked); each empty when absent or not read. The numbers and flags are the
// decimal text of a REG_DWORD or REG_QWORD, unsigned; empty when stored as another type.
struct EntryExtras {
  Text Publisher;
  Text EstimatedSize;  // kilobytes
  Text SystemComponent;
  Text ParentKeyName;  // set for an update of another product
  Text ReleaseType;
  Text WindowsInstaller;
  Text QuietUninstallString;
  Text DisplayIcon;

  bool operator==(const EntryExtras&) const = default;
};

// The extra values by their registry names, in the order the console program gives them.
struct ExtraValue {
  const char16_t* valueName;
  Text EntryExtras::*member;
  bool number = false;  // a number or a flag
};
inline constexpr ExtraValue kExtraValues[] = {
    {u"Publisher", &EntryExtras::Publisher},
    {u"EstimatedSize", &EntryExtras::EstimatedSize, true},
    {u"SystemComponent", &EntryExtras::SystemComponent, true},
    {u"ParentKeyName", &EntryExtras::ParentKeyName},
    {u"ReleaseType", &EntryExtras::ReleaseType},
    {u"WindowsInstaller", &EntryExtras::WindowsInstaller, true},
    {u"QuietUninstallString", &EntryExtras::QuietUninstallString},
    {u"DisplayIcon", &EntryExtras::DisplayIcon},
};

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
  EntryExtras Extras = {};
  // The values above that hold kPlaceholder because the entry has none (AbsentBit of each);
  // a value that is the text " - " itself is not among them.
  std::uint8_t Absent = 0;

  bool operator==(const ApplicationRecord&) const = default;
};

// The bit of Absent that stands for a value which may be the placeholder (DisplayVersion,
// InstallSource, InstallDate, InstallLocation, ProductCode); 0 for the others.
std::uint8_t AbsentBit(Text ApplicationRecord::*member);
// Sets `member` to the placeholder, noted as absent.
void SetAbsent(ApplicationRecord& record, Text ApplicationRecord::*member);

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
// for one user (whose security identifier names the hive); or a package for one user, or
// one provisioned for every new user.
enum class EntryLocation { Machine, Machine32, User, Package, Provisioned };
EntryLocation LocationOf(TextView uninstallKeyPath);
// The user's security identifier of an entry of a user hive or of a user's package; empty
// for the others.
Text UserSidOf(TextView uninstallKeyPath);

}  // namespace appcensus
