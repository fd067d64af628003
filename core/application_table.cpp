#include "core/application_table.h"

namespace appcensus {

Text EntryRegistryPath(const ApplicationRecord& record) {
  return Text(kUninstallKeyPath) + u"\\" + record.KeyName;
}

Text ApplicationTable::KeyOf(const ApplicationRecord& record) { return record.Machine + u"_" + record.KeyName; }

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
