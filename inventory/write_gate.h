// The gate through which an inventory writes outside itself (entry list, table, verdict,
// log, progress). Each write runs only while the job the inventory belongs to has not been
// abandoned; once the gate refuses, the inventory writes nothing more. The machine job's
// gate (request/job_gate.h) implements it.
#pragma once

#include <functional>
#include <memory>

#include "core/activity_log.h"

namespace appcensus {

class WriteGate {
 public:
  virtual ~WriteGate() = default;
  // Runs `write` and returns true, or returns false without running it.
  virtual bool Run(const std::function<void()>& write) = 0;
  // The same for the inventory's last write: once it has run, its job can no longer be
  // abandoned.
  virtual bool Commit(const std::function<void()>& write) = 0;
};

// An activity log that forwards only what its gate lets through.
class GatedActivityLog : public ActivityLog {
 public:
  GatedActivityLog(ActivityLog& target, std::shared_ptr<WriteGate> gate) : target_(target), gate_(std::move(gate)) {}
  void LogActivity(TextView text, ActivityLevel level, int statusField) override {
    gate_->Run([&] { target_.LogActivity(text, level, statusField); });
  }
  void SetStatusProgress(int value, int maximum) override {
    gate_->Run([&] { target_.SetStatusProgress(value, maximum); });
  }

 private:
  ActivityLog& target_;
  std::shared_ptr<WriteGate> gate_;
};

}  // namespace appcensus
