// An activity log that keeps every call, in order, for tests to read.
#pragma once

#include <mutex>
#include <vector>

#include "core/activity_log.h"

namespace appcensus {

class RecordingActivityLog : public ActivityLog {
 public:
  struct Call {
    bool isProgress = false;
    Text text;
    ActivityLevel level = ActivityLevel::None;
    int statusField = 0;
    int value = 0, maximum = 0;  // progress calls
  };

  void LogActivity(TextView text, ActivityLevel level, int statusField) override {
    Add(Call{false, Text(text), level, statusField, 0, 0});
  }
  void SetStatusProgress(int value, int maximum) override { Add(Call{true, Text(), ActivityLevel::None, 2, value, maximum}); }

  std::vector<Call> Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  // The texts of the log lines only (progress calls left out), in order.
  std::vector<Text> Lines() const {
    std::vector<Text> lines;
    for (const auto& call : Calls())
      if (!call.isProgress) lines.push_back(call.text);
    return lines;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    calls_.clear();
  }

 private:
  void Add(Call call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
  }
  mutable std::mutex mutex_;
  std::vector<Call> calls_;
};

}  // namespace appcensus
