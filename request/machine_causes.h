// Why a machine gave nothing: one cause chosen from what the request saw of it (the
// reachability check, the registry's failed connection or open, the identity test, the time
// limit), with the French line that tells the user what to do and the status of the console
// report. Portable, no state: callable from any thread.
#pragma once

#include "core/text.h"
#include "inventory/machine_test.h"
#include "request/reachability.h"

namespace appcensus {

// In the order of precedence: the first that applies is the cause. Unreachable stands for a
// machine that could not be contacted for none of the reasons before it (the local machine,
// or a registry status that says nothing more).
enum class MachineCause {
  None,
  NameUnknown,
  NoAnswer,
  Refused,
  NoRemoteRegistry,
  AccessDenied,
  LogonFailure,
  OtherMachine,
  TimeOut,
  Unreachable,
};

// What the request saw of one machine.
struct MachineFailure {
  Reachability reachability = Reachability::NotChecked;
  long connectStatus = 0;  // of the registry connection that failed, 0 when none failed
  long openStatus = 0;     // of the key open that failed, 0 when none failed
  MachineVerdict verdict = MachineVerdict::Passed;  // of the identity test
  bool timedOut = false;   // the machine's time limit passed
};

// The cause, by precedence: the name does not resolve; no answer on the port; the port
// refused; the port answered but the connection failed with 53, 2, 1722 or 1727; access
// denied (5, at the connection or an open); a logon failure (1326, 1327, 1330, 1331, 1907);
// the identity test read another name; the time limit passed; the identity test got no
// answer. None when nothing failed.
MachineCause ChooseMachineCause(const MachineFailure& failure);

struct MachineCauseText {
  const char* reportStatus;  // of the console report; nullptr for None
  const char16_t* message;   // one French line, what to do (an error line); nullptr for None
};
MachineCauseText DescribeMachineCause(MachineCause cause);

}  // namespace appcensus
