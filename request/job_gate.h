// The gate of one machine job. The worker waits for a job only up to its time limit and
// never kills its thread; it abandons the job instead. Every write of the job to shared
// state, views or log runs inside Run() or Commit(), under the gate's lock; Abandon() and
// Close() take the same lock, so once they have closed the gate no write of the job can begin
// or still be under way. Nothing slow (no registry call, no wait for another thread) may run
// under the lock.
//
// The job's final commit and the worker's abandon exclude each other: whichever comes first
// wins. Once the job has committed, Abandon() fails and the job's last writes (the machine
// history) go on; once the gate is closed, Commit() fails and the job writes nothing more.
#pragma once

#include <mutex>

#include "inventory/write_gate.h"

namespace appcensus {

class JobGate : public WriteGate {
 public:
  bool Run(const std::function<void()>& write) override {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    write();
    return true;
  }
  bool Commit(const std::function<void()>& write) override {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    write();
    committed_ = true;
    return true;
  }
  // Closes the gate unless the job has committed; true when the job is abandoned.
  bool Abandon() {
    std::lock_guard lock(mutex_);
    if (committed_) return false;
    closed_ = true;
    return true;
  }
  // Closes the gate whatever the job did: it is over, and an identity test of it that is still
  // running may write no more.
  void Close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  bool Committed() const {
    std::lock_guard lock(mutex_);
    return committed_;
  }
  bool Closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
  }

 private:
  mutable std::mutex mutex_;
  bool closed_ = false;
  bool committed_ = false;
};

}  // namespace appcensus
