#include "inventory/package_listing.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <optional>

#include "core/task_thread.h"
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
  Text repositoryPath;  // its user's repository; empty for the provisioned list or a hive not loaded
  std::vector<PackageName> packages;
};

// Runs job(session, i) for i = 0 .. count-1, each once, on up to `readers` readers: this
// thread on `session`, each further reader on a thread and a connection of its own (one that
// cannot connect leaves the jobs to the others). Once a job returns false no job starts. Waits
// for every reader, however long its last call takes: they use the caller's frame.
void RunOnReaders(RegistrySession& session, TextView machine, std::size_t readers, std::size_t count,
                  const std::function<bool(RegistrySession&, std::size_t)>& job) {
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stopped{false};
  const auto work = [&](RegistrySession& on) {
    for (std::size_t i = 0; !stopped && (i = next++) < count;)
      if (!job(on, i)) stopped = true;
  };
  std::vector<TaskThread> helpers;
  for (std::size_t k = 1; k < std::min(readers, count); ++k) {
    TaskThread helper;
    const auto connectAndWork = [&] {
      RegistrySession own(CurrentRegistryApi(), machine);
      if (own.Reaches(kPackageUsersPath)) work(own);
    };
    if (helper.Start(connectAndWork)) helpers.push_back(helper);
  }
  work(session);
  for (const TaskThread& helper : helpers)
    while (!helper.WaitFor(std::chrono::hours(1))) {
    }
}

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
  SetAbsent(record, &ApplicationRecord::InstallSource);
  SetAbsent(record, &ApplicationRecord::InstallDate);
  record.UninstallString = Text();
  record.InstallLocation = folder;
  if (folder.empty()) SetAbsent(record, &ApplicationRecord::InstallLocation);
  SetAbsent(record, &ApplicationRecord::ProductCode);
  record.Machine = Text(machine);
  record.KeyName = package.FullName;
  record.UninstallKeyPath = list.listedUnder;
  return record;
}

}  // namespace

std::vector<ApplicationRecord> ReadPackageRecords(RegistrySession& session, TextView machine, const LocalUser& local,
                                                  const std::function<bool()>& goOn, std::size_t readers) {
  readers = machine == u"." ? 1 : std::max<std::size_t>(readers, 1);
  // The users' lists and the provisioned one, read a list per reader.
  const Text currentUser = machine == u"." && local.sid ? UpperCase(local.sid()) : Text();
  std::vector<PackageList> lists;
  for (const Text& sid : SubKeyNames(session, kPackageUsersPath)) {
    if (!IsAccountSid(sid)) continue;
    const Text classes = !currentUser.empty() && UpperCase(sid) == currentUser ? Text(kCurrentUserClassesPath)
                                                                               : kUsersRootPath + sid + u"_Classes";
    lists.push_back({Text(kPackageUsersPath) + u"\\" + sid, classes + kUserRepositorySubKey, {}});
  }
  lists.push_back({kProvisionedPackagesPath, Text(), {}});
  RunOnReaders(session, machine, readers, lists.size(), [&](RegistrySession& on, std::size_t i) {
    PackageList& list = lists[i];
    list.packages = PackagesOfList(SubKeyNames(on, list.listedUnder));
    if (!list.repositoryPath.empty() && !on.Open(list.repositoryPath)) list.repositoryPath.clear();
    return true;
  });
  // A provisioned family gives a record only when no user has it.
  std::vector<Text> userFamilies;
  for (std::size_t i = 0; i + 1 < lists.size(); ++i)
    for (Text& family : FamilyKeys(lists[i].packages)) userFamilies.push_back(std::move(family));
  std::erase_if(lists.back().packages, [&](const PackageName& package) { return HasFamily(userFamilies, package); });

  // Then the packages' values, a package per reader, each record in its place.
  std::vector<std::pair<const PackageList*, const PackageName*>> jobs;
  for (const PackageList& list : lists)
    for (const PackageName& package : list.packages) jobs.emplace_back(&list, &package);
  std::vector<std::optional<ApplicationRecord>> read(jobs.size());
  RunOnReaders(session, machine, readers, jobs.size(), [&](RegistrySession& on, std::size_t i) {
    if (goOn && !goOn()) return false;
    read[i] = PackageRecord(on, *jobs[i].first, *jobs[i].second, machine, local);
    return true;
  });
  std::vector<ApplicationRecord> records;
  for (std::optional<ApplicationRecord>& record : read)
    if (record) records.push_back(std::move(*record));
  return records;
}

}  // namespace appcensus
