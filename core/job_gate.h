// The gate through which an abandonable job touches anything outside itself.
//
// The worker waits for a job only up to its time limit and never kills its thread; it
// abandons the job instead. Every write of the job to shared state, views or log runs
// inside Run(), under the gate's lock; Abandon() takes the same lock, so once it has
// returned no write of the job can begin or still be under way. Nothing slow (no registry
// call, no wait for another thread) may run inside Run().
#pragma once

#include <memory>
#include <mutex>

#include "core/activity_log.h"

namespace appcensus {

class JobGate {
 public:
  template <class F>
  bool Run(F&& write) {
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

// An activity log that forwards only while its job has not been abandoned.
class GatedActivityLog : public ActivityLog {
 public:
  GatedActivityLog(ActivityLog& target, std::shared_ptr<JobGate> gate) : target_(target), gate_(std::move(gate)) {}
  void LogActivity(TextView text, ActivityLevel level, int statusField) override {
    gate_->Run([&] { target_.LogActivity(text, level, statusField); });
  }
  void SetStatusProgress(int value, int maximum) override {
    gate_->Run([&] { target_.SetStatusProgress(value, maximum); });
  }

 private:
  ActivityLog& target_;
  std::shared_ptr<JobGate> gate_;
};

}  // namespace appcensus
