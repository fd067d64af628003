#include "core/application_table.h"

namespace appcensus {

Text EntryRegistryPath(const ApplicationRecord& record) { return record.UninstallKeyPath + u"\\" + record.KeyName; }

std::uint8_t AbsentBit(Text ApplicationRecord::*member) {
  constexpr Text ApplicationRecord::*kMayBeAbsent[] = {&ApplicationRecord::DisplayVersion, &ApplicationRecord::InstallSource,
                                                       &ApplicationRecord::InstallDate, &ApplicationRecord::InstallLocation,
                                                       &ApplicationRecord::ProductCode};
  for (std::size_t i = 0; i < std::size(kMayBeAbsent); ++i)
    if (kMayBeAbsent[i] == member) return static_cast<std::uint8_t>(1u << i);
  return 0;
}

void SetAbsent(ApplicationRecord& record, Text ApplicationRecord::*member) {
  record.*member = kPlaceholder;
  record.Absent |= AbsentBit(member);
}

EntryLocation LocationOf(TextView uninstallKeyPath) {
  if (uninstallKeyPath == kUninstallKeyPath32) return EntryLocation::Machine32;
  if (uninstallKeyPath.starts_with(kUsersRootPath)) return EntryLocation::User;
  if (uninstallKeyPath == kProvisionedPackagesPath) return EntryLocation::Provisioned;
  if (uninstallKeyPath.starts_with(Text(kPackageUsersPath) + u"\\")) return EntryLocation::Package;
  return EntryLocation::Machine;
}

Text UserSidOf(TextView uninstallKeyPath) {
  const EntryLocation location = LocationOf(uninstallKeyPath);
  if (location != EntryLocation::User && location != EntryLocation::Package) return Text();
  const TextView root = location == EntryLocation::User ? kUsersRootPath : kPackageUsersPath;
  const TextView rest = uninstallKeyPath.substr(root.size() + (location == EntryLocation::Package));
  return Text(rest.substr(0, rest.find(u'\\')));
}

Text ApplicationTable::KeyOf(const ApplicationRecord& record) {
  // The same key name under two Uninstall keys makes two records; the 64-bit view keeps the
  // key it always had.
  if (record.UninstallKeyPath == kUninstallKeyPath) return record.Machine + u"_" + record.KeyName;
  return record.Machine + u"_" + EntryRegistryPath(record);
}

std::size_t ApplicationTable::SlotOf(const Text& key) {
  // FNV-1a over the UTF-16 units.
  std::uint32_t hash = 2166136261u;
  for (char16_t c : key) {
    hash ^= static_cast<std::uint32_t>(c);
    hash *= 16777619u;
  }
  return hash % kSlotCount;
}

void ApplicationTable::Store(const ApplicationRecord& record) {
  Text key = KeyOf(record);
  const std::size_t slot = SlotOf(key);
  std::lock_guard lock(mutex_);
  for (auto& [itemKey, item] : slots_[slot].items) {
    if (itemKey == key) {
      item = record;
      return;
    }
  }
  slots_[slot].items.emplace_back(std::move(key), record);
  ++count_;
}

void ApplicationTable::Clear() {
  std::lock_guard lock(mutex_);
  for (auto& slot : slots_) slot.items.clear();
  count_ = 0;
}

std::size_t ApplicationTable::Count() const {
  std::lock_guard lock(mutex_);
  return count_;
}

std::vector<ApplicationRecord> ApplicationTable::Snapshot() const {
  std::lock_guard lock(mutex_);
  std::vector<ApplicationRecord> records;
  records.reserve(count_);
  for (const auto& slot : slots_)
    for (const auto& item : slot.items) records.push_back(item.second);
  return records;
}

void UninstallEntryList::Append(const UninstallEntry& entry) {
  std::lock_guard lock(mutex_);
  entries_.push_back(entry);
}

void UninstallEntryList::Clear() {
  std::lock_guard lock(mutex_);
  entries_.clear();
}

std::size_t UninstallEntryList::Count() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

std::vector<UninstallEntry> UninstallEntryList::Snapshot() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

}  // namespace appcensus
