// State shared by the window thread and the machine worker.
//
// Every shared text is read and replaced whole under its own lock (SharedText), so no thread
// ever sees half of a write. The table guards itself (application_table.h). No lock here is
// held while waiting for another thread.
#pragma once

#include <chrono>
#include <condition_variable>
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
  Text Get() const {
    std::lock_guard lock(mutex_);
    return value_;
  }
  void Set(TextView value) { Exchange(value); }
  // Replaces the text and returns the one it held; wakes a thread waiting in Take.
  Text Exchange(TextView value) {
    Text copy(value);
    {
      std::lock_guard lock(mutex_);
      value_.swap(copy);
    }
    changed_.notify_all();
    return copy;
  }
  // Waits up to `wait` until the text is not empty (or Wake is called), then empties it and
  // returns what it held; the empty text when nothing came.
  Text Take(std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    const std::uint64_t wakes = wakes_;
    changed_.wait_for(lock, wait, [&] { return !value_.empty() || wakes_ != wakes; });
    Text taken;
    taken.swap(value_);
    return taken;
  }
  // Replaces the text with `value` only when it still equals `expected`.
  bool CompareAndSet(TextView expected, TextView value) {
    std::lock_guard lock(mutex_);
    if (value_ != expected) return false;
    value_ = Text(value);
    return true;
  }
  // Ends every wait in Take.
  void Wake() {
    {
      std::lock_guard lock(mutex_);
      ++wakes_;
    }
    changed_.notify_all();
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  Text value_;
  std::uint64_t wakes_ = 0;
};

// What the window thread and the machine worker share: the request slot, the last machine
// listed (the export names its file after it) and the records shown.
struct SharedState {
  ApplicationTable applicationTable;
  SharedText pendingMachineRequest;
  SharedText lastMachineName;
};

// The one instance of the running program.
SharedState& Shared();

}  // namespace appcensus
