// The gate of one machine job. The worker waits for a job only up to its time limit and
// never kills its thread; it abandons the job instead. Every write of the job to shared
// state, views or log runs inside Run(), under the gate's lock; Abandon() takes the same
// lock, so once it has returned no write of the job can begin or still be under way.
// Nothing slow (no registry call, no wait for another thread) may run inside Run().
#pragma once

#include <mutex>

#include "inventory/write_gate.h"

namespace appcensus {

class JobGate : public WriteGate {
 public:
  bool Run(const std::function<void()>& write) override {
    std::lock_guard lock(mutex_);
    if (abandoned_) return false;
    write();
    return true;
  }
  void Abandon() {
    std::lock_guard lock(mutex_);
    abandoned_ = true;
  }
  bool Abandoned() const {
    std::lock_guard lock(mutex_);
    return abandoned_;
  }

 private:
  mutable std::mutex mutex_;
  bool abandoned_ = false;
};

}  // namespace appcensus
