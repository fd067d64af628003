// State shared by the window thread, the machine worker, the jobs and the identity tests.
//
// Every shared text and flag is read and replaced whole under its own lock (SharedText,
// std::atomic), so no thread ever sees half of a write. The table and the entry list guard
// themselves (application_table.h). No lock here is held while waiting for another thread.
#pragma once

#include <atomic>
#include <mutex>

#include "core/application_table.h"
#include "core/text.h"

namespace appcensus {

inline constexpr char16_t kProductName[] = u"Brelmont Appcensus";
inline constexpr int kVersionMajor = 3;
inline constexpr int kVersionMinor = 133;

// "3.133"
Text ProductVersion();
// "Brelmont Appcensus v3.133"
Text WindowTitle();

class SharedText {
 public:
  Text Get() const {
    std::lock_guard lock(mutex_);
    return value_;
  }
  void Set(TextView value) {
    Text copy(value);
    std::lock_guard lock(mutex_);
    value_.swap(copy);
  }
  // Replaces the text with `value` only when it still equals `expected`.
  bool CompareAndSet(TextView expected, TextView value) {
    std::lock_guard lock(mutex_);
    if (value_ != expected) return false;
    value_ = Text(value);
    return true;
  }

 private:
  mutable std::mutex mutex_;
  Text value_;
};

struct SharedState {
  ApplicationTable applicationTable;
  UninstallEntryList uninstallEntryList;
  SharedText pendingMachineRequest;
  SharedText lastMachineName;
  std::atomic<bool> machineTestPassed{false};
  std::atomic<bool> layoutReady{false};
};

// The one instance of the running program.
SharedState& Shared();

}  // namespace appcensus
