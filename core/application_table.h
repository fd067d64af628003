// The process-wide table of application records and list of uninstall entries.
//
// Both are written by the job thread and read by the worker and the window thread. Each
// operation takes the container's own lock for its whole duration, so a store, an append,
// an emptying or a copy is indivisible; readers never walk the live container but a copy
// taken under the lock (Snapshot), so the window thread is never inside the table while a
// job writes it. The lock is held only for the container operation itself: no caller waits
// for another thread while holding it.
#pragma once

#include <array>
#include <cstddef>
#include <mutex>
#include <vector>

#include "core/application_record.h"

namespace appcensus {

// Keyed table of records, key Machine + "_" + KeyName (Machine + "_" + the full registry path
// for an entry of another Uninstall key than the 64-bit view's), compared exactly. 512 hash slots;
// iteration follows the slots (not the order of insertion) and visits each record once.
class ApplicationTable {
 public:
  static constexpr std::size_t kSlotCount = 512;

  static Text KeyOf(const ApplicationRecord& record);

  // Stores a record; a record under the same key is overwritten in place.
  void Store(const ApplicationRecord& record);
  void Clear();
  std::size_t Count() const;
  // Every record, in slot order.
  std::vector<ApplicationRecord> Snapshot() const;

 private:
  static std::size_t SlotOf(const Text& key);

  struct Slot {
    std::vector<std::pair<Text, ApplicationRecord>> items;
  };
  mutable std::mutex mutex_;
  std::array<Slot, kSlotCount> slots_;
  std::size_t count_ = 0;
};

// Ordered, growable list of uninstall entries.
class UninstallEntryList {
 public:
  void Append(const UninstallEntry& entry);
  void Clear();
  std::size_t Count() const;
  std::vector<UninstallEntry> Snapshot() const;

 private:
  mutable std::mutex mutex_;
  std::vector<UninstallEntry> entries_;
};

}  // namespace appcensus
