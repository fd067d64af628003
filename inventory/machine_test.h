// The identity test of a machine: does it answer under the name given, and is it really
// that machine? The test reads the machine's active computer name and compares it with the
// requested name, upper-cased. Its messages go to status field 1.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "core/activity_log.h"
#include "inventory/write_gate.h"
#include "core/task_thread.h"
#include "core/text.h"

namespace appcensus {

// Where the active computer name is read.
inline constexpr char16_t kActiveComputerNameKeyPath[] =
    u"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ActiveComputerName";
inline constexpr char16_t kActiveComputerNameValue[] = u"ComputerName";

inline constexpr std::chrono::milliseconds kIdentityTestWait{3000};

// What the test found: the machine answered under that name, did not answer (or not in
// time), or another machine answered.
enum class MachineVerdict { Passed, Unreachable, OtherMachine };

// The machine a typed name stands for: the name without the "\\" that Windows tools write
// before a machine's name ("\\VM" is VM), any other name as it is. The identity test
// compares this name, and every list that merges machine names must count a name and this
// form of it as one machine (with "." and the computer's name, letter case ignored).
Text MachineNameOf(TextView name);

// The test itself, on the calling thread: the four rules in order, every message logged.
MachineVerdict TestMachine(TextView requestedName, ActivityLog& log);

// How a job runs the test for one machine name.
struct IdentityTestRun {
  // The job's log and gate: the test logs through them, also after its caller stopped
  // waiting, and logs nothing once the job has been abandoned.
  std::shared_ptr<ActivityLog> log;
  std::shared_ptr<WriteGate> gate;
  std::chrono::milliseconds wait = kIdentityTestWait;
  // Told of every test thread started (tests use it to wait for late tests at the end).
  std::function<void(const TaskThread&)> started;
};

// Starts TestMachine on a thread of its own with a copy of the name and waits for it at
// most run.wait; the thread is never stopped. The verdict of that very test when it ended
// within the wait, else Unreachable: each test hands its verdict back through a result of
// its own, so a test that ends late changes nothing that a later test's caller reads.
MachineVerdict AwaitMachineTest(TextView requestedName, const IdentityTestRun& run);

}  // namespace appcensus
