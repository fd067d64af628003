// Starting the Remote Registry service for a read and putting it back, on the service double
// with a clock that only moves when the code under test sleeps.
#include <gtest/gtest.h>

#include "request/remote_registry_start.h"
#include "tests/support/recording_activity_log.h"
#include "tests/support/service_control_double.h"

namespace appcensus {
namespace {

using namespace std::chrono_literals;

std::string Joined(const std::vector<std::string>& calls, std::size_t from) {
  std::string text;
  for (std::size_t i = from; i < calls.size(); ++i) text += (text.empty() ? "" : ",") + calls[i];
  return text;
}

struct FakeClock {
  std::chrono::steady_clock::time_point now;
  std::chrono::milliseconds slept{0};
  ServiceWaitClock Clock() {
    return {[this] { return now; }, [this](std::chrono::milliseconds wait) { now += wait, slept += wait; }};
  }
};

struct Case {
  const char* initially;  // running, stopped, pending, disabled, missing, denied
  long startStatus;
  bool running;
  const char* startCalls;  // nullptr: not compared
  const char* restoreCalls;
  const char* report;
  const char16_t* lastLine;  // how the log ends after the restore
  std::chrono::milliseconds startWait;
  int startQueries = 1;  // -1: the start never ends
  long stopStatus = 0, changeBackStatus = 0;
};

TEST(RemoteRegistryStartTest, WhatWasStartedOrChangedIsPutBackAndNothingElse) {
  const char16_t* kRestored = u"remis dans son \u00e9tat d'origine.";
  const char16_t* kNotStopped = u"il ne sera pas arr\u00eat\u00e9.";
  const char16_t* kNotRestored = u"(code 87).";
  const Case cases[] = {
      {"running", 0, true, "open 5,status,config", "close", nullptr, kNotStopped, 0ms},
      {"stopped", 0, true, "open 5,status,config,open 34,start,status,status", "stop,status,status,close",
       "started-and-restored", kRestored, 200ms},
      {"stopped", 1056, true, "open 5,status,config,open 34,start", "close", nullptr, kNotStopped, 0ms},
      {"stopped", 5, false, "open 5,status,config,open 34,start", "close", "start-failed",
       u"d\u00e9marrage refus\u00e9, acc\u00e8s refus\u00e9 (code 5).", 0ms},
      {"stopped", 0, false, nullptr, "stop,status,status,close", "start-failed", kRestored, 10s, -1},
      {"stopped", 0, true, nullptr, "stop,close", "restore-failed", u"acc\u00e8s refus\u00e9 (code 5).", 200ms, 1, 5},
      {"pending", 0, true, "open 5,status,config,status,status", "close", nullptr, kNotStopped, 200ms, 2},
      {"disabled", 0, true, "open 5,status,config,open 37,change 3,start,status,status",
       "stop,status,status,change 4,close", "started-and-restored", kRestored, 200ms},
      {"disabled", 1058, false, "open 5,status,config,open 37,change 3,start", "change 4,close", "start-failed",
       kRestored, 0ms},
      {"disabled", 0, true, nullptr, "stop,status,status,change 4,close", "restore-failed", kNotRestored, 200ms, 1,
       0, 87},
      {"missing", 0, false, "open 5", "close", "start-failed", u"n'existe pas sur cette machine (code 1060).", 0ms},
      {"denied", 0, false, "open 5", "close", "start-failed", u"acc\u00e8s refus\u00e9 (code 5).", 0ms},
  };
  for (const Case& c : cases) {
    const std::string initially = c.initially, row = initially + "/" + std::to_string(c.startStatus);
    ServiceControlDouble service;
    service.state = initially == "running" ? svc::kRunning : initially == "pending" ? svc::kStartPending : svc::kStopped;
    service.startType = initially == "disabled" ? svc::kDisabled : svc::kDemandStart;
    service.openStatus = initially == "missing" ? svc::kNoSuchService : initially == "denied" ? svc::kAccessDenied : 0;
    service.startStatus = c.startStatus;
    service.stopStatus = c.stopStatus;
    service.changeStatuses = {0, c.changeBackStatus};
    service.startQueries = c.startQueries;
    RecordingActivityLog log;
    FakeClock clock;
    std::size_t restored = 0;
    {
      RemoteRegistryStart start(service, log, u"SRV1", clock.Clock());
      EXPECT_EQ(start.Start(), c.running) << row;
      const std::size_t started = service.calls.size();
      EXPECT_EQ(c.startCalls ? Joined(service.calls, 0) : "", c.startCalls ? c.startCalls : "") << row;
      EXPECT_EQ(clock.slept, c.startWait) << row;
      const char* report = RemoteRegistryReportText(start.Restore());
      EXPECT_EQ(report ? std::string(report) : "", c.report ? c.report : "") << row;
      EXPECT_EQ(Joined(service.calls, started), c.restoreCalls) << row;
      restored = service.calls.size();
    }  // the object goes: nothing is restored twice
    EXPECT_EQ(service.calls.size(), restored) << row;
    EXPECT_TRUE(log.Lines().back().ends_with(c.lastLine)) << row << ": " << TextToUtf8(log.Lines().back());
    const bool typeBack = service.startType == (initially == "disabled" ? svc::kDisabled : svc::kDemandStart);
    EXPECT_EQ(typeBack, c.changeBackStatus == 0) << row;
  }
}

TEST(RemoteRegistryStartTest, AServiceStartedHereIsStoppedWhenTheObjectGoesWithoutARestore) {
  ServiceControlDouble service;
  RecordingActivityLog log;
  FakeClock clock;
  auto start = std::make_unique<RemoteRegistryStart>(service, log, u"SRV1", clock.Clock());
  ASSERT_TRUE(start->Start());
  const std::size_t started = service.calls.size();
  start.reset();
  EXPECT_EQ(Joined(service.calls, started), "stop,status,status,close");
}

}  // namespace
}  // namespace appcensus
