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

struct Case {
  std::string initially;  // running, stopped, pending, disabled, missing, denied
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

// Each case twice: restored by Restore() and again by the object's going (which does nothing
// more), then by the object's going alone.
TEST(RemoteRegistryStartTest, WhatWasStartedOrChangedIsPutBackOnceAndNothingElse) {
  const char16_t *kRestored = u"remis dans son \u00e9tat d'origine.", *kNotStopped = u"il ne sera pas arr\u00eat\u00e9.";
  const Case cases[] = {
      {"running", 0, true, "open 5,status,config", "close", nullptr, kNotStopped, 0ms},
      {"stopped", 0, true, "open 5,status,config,open 52,start,status,status", "stop,status,status,close",
       "started-and-restored", kRestored, 200ms},
      {"stopped", 1056, true, "open 5,status,config,open 52,start", "close", nullptr, kNotStopped, 0ms},
      {"stopped", 5, false, "open 5,status,config,open 52,start", "close", "start-failed",
       u"d\u00e9marrage refus\u00e9, acc\u00e8s refus\u00e9 (code 5).", 0ms},
      {"stopped", 0, false, nullptr, "stop,status,status,close", "start-failed", kRestored, 10s, -1},
      {"pending", 0, true, "open 5,status,config,status,status", "close", nullptr, kNotStopped, 200ms, 2},
      {"disabled", 0, true, "open 5,status,config,open 55,change 3,start,status,status",
       "stop,status,status,change 4,close", "started-and-restored", kRestored, 200ms},
      {"disabled", 1058, false, "open 5,status,config,open 55,change 3,start", "change 4,close", "start-failed",
       kRestored, 0ms},
      {"disabled", 0, true, nullptr, "stop,status,status,change 4,close", "restore-failed", u"(code 87).", 200ms, 1,
       0, 87},
      {"disabled", 0, true, nullptr, "stop,change 4,close", "restore-failed", u"acc\u00e8s refus\u00e9 (code 5).", 200ms,
       1, 5},  // not stopped, yet its start type goes back
      {"missing", 0, false, "open 5", "close", "start-failed", u"n'existe pas sur cette machine (code 1060).", 0ms},
      {"denied", 0, false, "open 5", "close", "start-failed", u"acc\u00e8s refus\u00e9 (code 5).", 0ms},
  };
  for (const Case& c : cases) {
    for (const bool explicitRestore : {true, false}) {
      const std::string row = c.initially + "/" + std::to_string(c.startStatus) + (explicitRestore ? "" : "/gone");
      ServiceControlDouble service;
      service.state = c.initially == "running" ? svc::kRunning
                      : c.initially == "pending" ? svc::kStartPending : svc::kStopped;
      service.startType = c.initially == "disabled" ? svc::kDisabled : svc::kDemandStart;
      service.openStatus = c.initially == "missing" ? svc::kNoSuchService : c.initially == "denied" ? 5 : 0;
      service.startStatus = c.startStatus, service.stopStatus = c.stopStatus;
      service.changeBackStatus = c.changeBackStatus, service.startQueries = c.startQueries;
      RecordingActivityLog log;
      auto now = std::chrono::steady_clock::time_point();
      std::chrono::milliseconds slept{0};
      std::size_t started = 0;
      {
        RemoteRegistryStart start(service, log, u"SRV1", {[&] { return now; }, [&](auto wait) { now += wait, slept += wait; }});
        EXPECT_EQ(start.Start(), c.running) << row;
        started = service.calls.size();
        EXPECT_EQ(c.startCalls ? Joined(service.calls, 0) : "", c.startCalls ? c.startCalls : "") << row;
        EXPECT_EQ(slept, c.startWait) << row;
        const char* report = explicitRestore ? RemoteRegistryReportText(start.Restore()) : c.report;
        EXPECT_EQ(report ? std::string(report) : "", c.report ? c.report : "") << row;
      }  // a restore that ran twice would show twice
      EXPECT_EQ(Joined(service.calls, started), c.restoreCalls) << row;
      EXPECT_TRUE(log.Lines().back().ends_with(c.lastLine)) << row << ": " << TextToUtf8(log.Lines().back());
      const bool typeBack = service.startType == (c.initially == "disabled" ? svc::kDisabled : svc::kDemandStart);
      EXPECT_EQ(typeBack, c.changeBackStatus == 0) << row;
    }
  }
}

}  // namespace
}  // namespace appcensus
