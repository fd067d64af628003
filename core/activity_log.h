// How every part of the program reports its steps to the user: a line in the activity list
// with an icon for its level, the same text in a status-bar field, and the progress bar.
// The main window implements it; the console program and the tests have their own.
// Implementations accept calls from any thread, never make the caller wait for the window
// thread, and keep each call whole and each thread's calls in order.
#pragma once

#include "core/text.h"

namespace appcensus {

enum class ActivityLevel : int { None = 0, InProgress = 1, Done = 2, Error = 3 };

class ActivityLog {
 public:
  virtual ~ActivityLog() = default;
  virtual void LogActivity(TextView text, ActivityLevel level, int statusField) = 0;
  virtual void SetStatusProgress(int value, int maximum) = 0;
};

}  // namespace appcensus
