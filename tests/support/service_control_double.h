// One service as a script: its state and start type, the status each call answers with, and
// how many status queries a start lasts (a stop lasts one). Every call is noted in order ("open 5",
// "status", "config", "change 3", "start", "stop", "close"; open with its rights).
#pragma once

#include <string>
#include <vector>

#include "request/service_control.h"

namespace appcensus {

class ServiceControlDouble : public ServiceControl {
 public:
  std::uint32_t state = svc::kStopped;
  std::uint32_t startType = svc::kDemandStart;
  long openStatus = 0, startStatus = 0, stopStatus = 0;
  long changeBackStatus = 0;  // of the second change of the start type (the first succeeds)
  int startQueries = 1;       // queries that still see a start pending (-1: it never ends)
  std::vector<std::string> calls;

  long Open(TextView, TextView, std::uint32_t access) override {
    calls.push_back("open " + std::to_string(access));
    return openStatus;
  }
  long QueryStatus(ServiceStatus* status) override {
    calls.push_back("status");
    const bool pending = state == svc::kStartPending || state == svc::kStopPending;
    if (pending && left_ == kUnset) left_ = state == svc::kStartPending ? startQueries : 1;
    if (pending && left_ != -1 && left_-- == 0) {
      state = state == svc::kStartPending ? svc::kRunning : svc::kStopped;
      left_ = kUnset;
    }
    *status = {state, ++checkPoint_, 2000};
    return 0;
  }
  long QueryStartType(std::uint32_t* type) override {
    calls.push_back("config");
    *type = startType;
    return 0;
  }
  long ChangeStartType(std::uint32_t type) override {
    calls.push_back("change " + std::to_string(type));
    const long status = ++changes_ == 2 ? changeBackStatus : 0;
    if (status == 0) startType = type;
    return status;
  }
  long Start() override {
    calls.push_back("start");
    if (startStatus == 0) state = svc::kStartPending, left_ = kUnset;
    return startStatus;
  }
  long Stop(ServiceStatus* status) override {
    calls.push_back("stop");
    if (stopStatus == 0) state = svc::kStopPending, left_ = kUnset;
    *status = {state, 0, 2000};
    return stopStatus;
  }
  void Close() override { calls.push_back("close"); }

 private:
  static constexpr int kUnset = -2;
  int left_ = kUnset;  // queries left in the current pending state
  int changes_ = 0;
  std::uint32_t checkPoint_ = 0;
};

}  // namespace appcensus
