// Signals between a test and the threads it starts, so tests wait for events rather than
// for time.
#pragma once

#include <condition_variable>
#include <mutex>

namespace appcensus::testing {

// Counts events (jobs that ended, say) and lets a test wait for a number of them.
class EventCounter {
 public:
  void Add() {
    std::lock_guard lock(mutex_);
    ++count_;
    changed_.notify_all();
  }
  void WaitFor(int count) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return count_ >= count; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int count_ = 0;
};

// Opens once; every waiter then goes on.
class Latch : private EventCounter {
 public:
  void Open() { Add(); }
  void Wait() { WaitFor(1); }
};

}  // namespace appcensus::testing
