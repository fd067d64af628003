// The records of a machine's installed packages, read through its registry session after its
// Uninstall entries: the packages listed for each user account below kPackageUsersPath and
// those provisioned for every new user (kProvisionedPackagesPath), by the rules of
// package_names.h, with their names and folders from the package repositories.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "core/application_record.h"
#include "inventory/local_user.h"
#include "registry/registry_session.h"

namespace appcensus {

// Where the repositories are: a user's below HKEY_USERS\<SID>_Classes (when the user's hive
// is loaded), the current user's also below HKEY_CURRENT_USER\Software\Classes, the machine's.
inline constexpr char16_t kUserRepositorySubKey[] =
    u"\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppModel\\Repository\\Packages";
inline constexpr char16_t kCurrentUserClassesPath[] = u"HKEY_CURRENT_USER\\Software\\Classes";
inline constexpr char16_t kMachineRepositoryPath[] =
    u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppModel\\"
    u"PackageRepository\\Packages";

// One record per user and package family, then one per provisioned family that no user
// has, each user's in the order of their listing:
// - DisplayName: the user's repository entry's when it is plain text; an indirect one is
//   resolved on the local machine only (`local`), else (or when that fails) the Name;
// - DisplayVersion: the version; InstallLocation: the user's PackageRootFolder, else the
//   machine repository's Path, else the folder of the provisioned Path, else the placeholder;
// - InstallSource, InstallDate and ProductCode the placeholder, UninstallString empty;
// - KeyName: the full name, UninstallKeyPath: the key where it was listed.
// On the local machine (`machine` "."), the repository of the user the program runs as is
// read below HKEY_CURRENT_USER. `goOn`, when given, is asked before each package is read:
// once it says no, the records read so far are returned. A remote machine is read by up to
// `readers` readers at a time (its lists, then its packages), each over a connection of its
// own beside `session`'s; the local machine by one.
std::vector<ApplicationRecord> ReadPackageRecords(RegistrySession& session, TextView machine, const LocalUser& local,
                                                  const std::function<bool()>& goOn = nullptr,
                                                  std::size_t readers = 1);

}  // namespace appcensus
