#include "inventory/package_listing.h"

#include <cstdint>

#include "inventory/package_names.h"

namespace appcensus {

namespace {

std::vector<Text> SubKeyNames(RegistrySession& session, TextView path) {
  std::vector<Text> names;
  RegistrySession::Key key = session.Open(path);
  bool tooLong = false;
  for (std::uint32_t index = 0; key; ++index) {
    Text name = session.SubKeyName(key, index, &tooLong);
    if (name.empty() && !tooLong) break;
    if (!name.empty()) names.push_back(std::move(name));
  }
  return names;
}

Text ValueAt(RegistrySession& session, TextView keyPath, TextView valueName) {
  RegistrySession::Key key = session.Open(keyPath);
  return key ? session.Value(key, valueName) : Text();
}

// The packages of one list that give a record, and where that list is.
struct PackageList {
  Text listedUnder;     // its key
  Text repositoryPath;  // its user's repository; empty for the provisioned list
  std::vector<PackageName> packages;
};

ApplicationRecord PackageRecord(RegistrySession& session, const PackageList& list, const PackageName& package,
                                TextView machine, const LocalUser& local) {
  Text displayName, folder;
  if (!list.repositoryPath.empty()) {
    RegistrySession::Key entry = session.Open(list.repositoryPath + u"\\" + package.FullName);
    if (entry) {
      displayName = session.Value(entry, u"DisplayName");
      folder = session.Value(entry, u"PackageRootFolder");
    }
  }
  if (IsIndirectString(displayName)) {
    std::optional<Text> resolved;
    if (machine == u"." && local.loadIndirectString) resolved = local.loadIndirectString(displayName);
    displayName = resolved && !IsIndirectString(*resolved) ? *resolved : Text();
  }
  if (folder.empty()) folder = ValueAt(session, Text(kMachineRepositoryPath) + u"\\" + package.FullName, u"Path");
  if (folder.empty())
    folder = FolderOfPath(ValueAt(session, Text(kProvisionedPackagesPath) + u"\\" + package.FullName, u"Path"));

  ApplicationRecord record;
  record.DisplayName = displayName.empty() ? package.Name : displayName;
  record.DisplayVersion = package.Version;
  record.InstallSource = kPlaceholder;
  record.InstallDate = kPlaceholder;
  record.UninstallString = Text();
  record.InstallLocation = folder.empty() ? Text(kPlaceholder) : folder;
  record.ProductCode = kPlaceholder;
  record.Machine = Text(machine);
  record.KeyName = package.FullName;
  record.UninstallKeyPath = list.listedUnder;
  return record;
}

}  // namespace

std::vector<ApplicationRecord> ReadPackageRecords(RegistrySession& session, TextView machine, const LocalUser& local,
                                                  const std::function<bool()>& goOn) {
  const Text currentUser = machine == u"." && local.sid ? UpperCase(local.sid()) : Text();
  std::vector<PackageList> lists;
  std::vector<Text> userFamilies;
  for (const Text& sid : SubKeyNames(session, kPackageUsersPath)) {
    if (!IsAccountSid(sid)) continue;
    const Text classes = !currentUser.empty() && UpperCase(sid) == currentUser ? Text(kCurrentUserClassesPath)
                                                                               : kUsersRootPath + sid + u"_Classes";
    PackageList list{Text(kPackageUsersPath) + u"\\" + sid, classes + kUserRepositorySubKey,
                     PackagesOfList(SubKeyNames(session, Text(kPackageUsersPath) + u"\\" + sid))};
    for (Text& family : FamilyKeys(list.packages)) userFamilies.push_back(std::move(family));
    lists.push_back(std::move(list));
  }
  PackageList provisioned{kProvisionedPackagesPath, Text(), {}};
  for (PackageName& package : PackagesOfList(SubKeyNames(session, kProvisionedPackagesPath)))
    if (!HasFamily(userFamilies, package)) provisioned.packages.push_back(std::move(package));
  lists.push_back(std::move(provisioned));

  std::vector<ApplicationRecord> records;
  for (const PackageList& list : lists)
    for (const PackageName& package : list.packages) {
      if (goOn && !goOn()) return records;
      records.push_back(PackageRecord(session, list, package, machine, local));
    }
  return records;
}

}  // namespace appcensus
