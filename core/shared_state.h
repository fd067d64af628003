// State shared by the window thread, the machine worker, the jobs and the identity tests.
//
// Every shared text and flag is read and replaced whole under its own lock (SharedText,
// std::atomic), so no thread ever sees half of a write. The table and the entry list guard
// themselves (application_table.h). No lock here is held while waiting for another thread.
#pragma once

#include <atomic>
#include <cstdint>
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
  // The text with the number of the write that set it, so that two writes of the same text
  // can be told apart.
  struct Version {
    Text text;
    std::uint64_t serial = 0;
  };

  Text Get() const {
    std::lock_guard lock(mutex_);
    return value_;
  }
  Version GetVersion() const {
    std::lock_guard lock(mutex_);
    return {value_, serial_};
  }
  void Set(TextView value) {
    Text copy(value);
    std::lock_guard lock(mutex_);
    value_.swap(copy);
    ++serial_;
  }
  // Empties the text unless it has been set again since the write numbered `serial`.
  bool ClearIfUnchanged(std::uint64_t serial) {
    std::lock_guard lock(mutex_);
    if (serial_ != serial) return false;
    value_.clear();
    return true;
  }
  // Replaces the text with `value` only when it still equals `expected`.
  bool CompareAndSet(TextView expected, TextView value) {
    std::lock_guard lock(mutex_);
    if (value_ != expected) return false;
    value_ = Text(value);
    ++serial_;
    return true;
  }

 private:
  mutable std::mutex mutex_;
  Text value_;
  std::uint64_t serial_ = 0;
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
