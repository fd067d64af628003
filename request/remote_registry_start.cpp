#include "request/remote_registry_start.h"

#include <algorithm>
#include <thread>

namespace appcensus {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

Text StateName(std::uint32_t state) {
  switch (state) {
    case svc::kStopped:
      return u"arr\u00eat\u00e9";
    case svc::kStartPending:
      return u"en cours de d\u00e9marrage";
    case svc::kStopPending:
      return u"en cours d'arr\u00eat";
    case svc::kRunning:
      return u"d\u00e9marr\u00e9";
    default:
      return u"dans l'\u00e9tat " + DecimalText(state);
  }
}

Text StartTypeName(std::uint32_t startType) {
  switch (startType) {
    case svc::kAutoStart:
      return u"automatique";
    case svc::kDemandStart:
      return u"manuel";
    case svc::kDisabled:
      return u"d\u00e9sactiv\u00e9";
    default:
      return u"de type " + DecimalText(startType);
  }
}

Text Reason(long status) {
  Text reason;
  switch (status) {
    case svc::kAccessDenied:
      reason = u"acc\u00e8s refus\u00e9";
      break;
    case svc::kNoSuchService:
      reason = u"le service n'existe pas sur cette machine";
      break;
    case svc::kServiceDisabled:
      reason = u"le service est d\u00e9sactiv\u00e9";
      break;
    case svc::kRequestTimeout:
      reason = u"le service n'a pas r\u00e9pondu \u00e0 temps";
      break;
    case 53:
    case 1722:
    case 1726:
    case 1727:
      reason = u"gestionnaire de services injoignable";
      break;
    default:
      reason = u"erreur";
  }
  return reason + u" (code " + DecimalText(status) + u")";
}

}  // namespace

const char* RemoteRegistryReportText(RemoteRegistryOutcome outcome) {
  switch (outcome) {
    case RemoteRegistryOutcome::StartedAndRestored:
      return "started-and-restored";
    case RemoteRegistryOutcome::StartFailed:
      return "start-failed";
    case RemoteRegistryOutcome::RestoreFailed:
      return "restore-failed";
    case RemoteRegistryOutcome::NothingDone:
      break;
  }
  return nullptr;
}

RemoteRegistryStart::RemoteRegistryStart(ServiceControl& control, ActivityLog& log, TextView machine,
                                         ServiceWaitClock clock)
    : control_(control), log_(log), machine_(machine), clock_(std::move(clock)) {
  if (!clock_.now) clock_.now = [] { return Clock::now(); };
  if (!clock_.sleep) clock_.sleep = [](milliseconds wait) { std::this_thread::sleep_for(wait); };
}

RemoteRegistryStart::~RemoteRegistryStart() { Restore(); }

void RemoteRegistryStart::Log(TextView text, ActivityLevel level) {
  log_.LogActivity(u"Service Registre \u00e0 distance de " + machine_ + u" : " + Text(text), level, 1);
}

bool RemoteRegistryStart::Fail(TextView step, long status) {
  startFailed_ = true;
  Log(Text(step) + (status != 0 ? u", " + Reason(status) : Text()) + u".", ActivityLevel::Error);
  return false;
}

bool RemoteRegistryStart::WaitWhile(std::uint32_t pending, Clock::time_point deadline, ServiceStatus* status) {
  if (control_.QueryStatus(status) != 0) return false;
  std::uint32_t checkPoint = status->checkPoint;
  Clock::time_point progressed = clock_.now();
  while (status->state == pending) {
    const Clock::time_point now = clock_.now();
    if (now >= deadline) break;
    // A tenth of the wait hint between two queries, from 100 ms to 1 s; a service whose check
    // point stops moving for longer than its hint (1 s at least) is not waited for.
    const milliseconds hint(status->waitHintMs);
    if (now - progressed > std::max<milliseconds>(hint, milliseconds(1000))) break;
    const milliseconds left = std::chrono::duration_cast<milliseconds>(deadline - now);
    clock_.sleep(std::min({std::clamp(hint / 10, milliseconds(100), milliseconds(1000)), left}));
    if (control_.QueryStatus(status) != 0) return false;
    if (status->checkPoint != checkPoint) {
      checkPoint = status->checkPoint;
      progressed = clock_.now();
    }
  }
  return true;
}

bool RemoteRegistryStart::Start() {
  std::lock_guard lock(mutex_);
  if (!startRan_) {
    startRan_ = true;
    running_ = StartLocked();
  }
  return running_;
}

bool RemoteRegistryStart::StartLocked() {
  Log(u"d\u00e9marrage demand\u00e9.", ActivityLevel::InProgress);
  long status = control_.Open(machine_, kRemoteRegistryService, svc::kQueryStatus | svc::kQueryConfig);
  if (status != 0) return Fail(u"impossible d'ouvrir le service", status);
  ServiceStatus current;
  std::uint32_t startType = 0;
  if ((status = control_.QueryStatus(&current)) != 0) return Fail(u"impossible de lire son \u00e9tat", status);
  if ((status = control_.QueryStartType(&startType)) != 0)
    return Fail(u"impossible de lire son type de d\u00e9marrage", status);
  Log(StateName(current.state) + u", d\u00e9marrage " + StartTypeName(startType) + u".", ActivityLevel::None);

  const Clock::time_point deadline = clock_.now() + kServiceStartLimit;
  if (current.state == svc::kRunning) {
    Log(u"d\u00e9j\u00e0 d\u00e9marr\u00e9, il ne sera pas arr\u00eat\u00e9.", ActivityLevel::Done);
    return true;
  }
  if (current.state == svc::kStartPending) {
    // Started by someone else: waited for, never stopped here.
    if (!WaitWhile(svc::kStartPending, deadline, &current) || current.state != svc::kRunning)
      return Fail(u"son d\u00e9marrage en cours n'a pas abouti", svc::kRequestTimeout);
    Log(u"d\u00e9marr\u00e9 par ailleurs, il ne sera pas arr\u00eat\u00e9.", ActivityLevel::Done);
    return true;
  }
  if (current.state != svc::kStopped) return Fail(u"impossible de le d\u00e9marrer depuis cet \u00e9tat", 0);

  const bool disabled = startType == svc::kDisabled;
  const std::uint32_t rights =
      svc::kQueryStatus | svc::kStart | svc::kStop | (disabled ? svc::kQueryConfig | svc::kChangeConfig : 0);
  if ((status = control_.Open(machine_, kRemoteRegistryService, rights)) != 0)
    return Fail(u"impossible d'obtenir le droit de le d\u00e9marrer", status);
  if (disabled) {
    if ((status = control_.ChangeStartType(svc::kDemandStart)) != 0)
      return Fail(u"impossible de passer son d\u00e9marrage de d\u00e9sactiv\u00e9 \u00e0 manuel", status);
    startTypeChanged_ = true;
    originalStartType_ = startType;
    Log(u"d\u00e9marrage pass\u00e9 de d\u00e9sactiv\u00e9 \u00e0 manuel.", ActivityLevel::None);
  }
  status = control_.Start();
  if (status == svc::kAlreadyRunning) {
    Log(u"d\u00e9marr\u00e9 par ailleurs entre-temps, il ne sera pas arr\u00eat\u00e9.", ActivityLevel::Done);
    return true;
  }
  if (status != 0) return Fail(u"d\u00e9marrage refus\u00e9", status);
  startedHere_ = true;
  if (!WaitWhile(svc::kStartPending, deadline, &current)) return Fail(u"impossible de suivre son d\u00e9marrage", 0);
  if (current.state != svc::kRunning)
    return Fail(u"il n'est pas d\u00e9marr\u00e9 dans les 10 s (" + StateName(current.state) + u")",
                svc::kRequestTimeout);
  Log(u"d\u00e9marr\u00e9.", ActivityLevel::Done);
  return true;
}

RemoteRegistryOutcome RemoteRegistryStart::Restore() noexcept {
  try {
    std::lock_guard lock(mutex_);
    if (!restoreRan_) {
      restoreRan_ = true;
      outcome_ = RestoreLocked();
    }
  } catch (...) {
    // Nothing may leave a destructor; whatever was changed here counts as not put back.
    if (startedHere_ || startTypeChanged_) outcome_ = RemoteRegistryOutcome::RestoreFailed;
  }
  return outcome_;
}

RemoteRegistryOutcome RemoteRegistryStart::RestoreLocked() {
  const bool changed = startedHere_ || startTypeChanged_;
  const RemoteRegistryOutcome kept =
      startFailed_ ? RemoteRegistryOutcome::StartFailed : RemoteRegistryOutcome::NothingDone;
  if (!changed) {
    control_.Close();
    return kept;
  }
  const Clock::time_point deadline = clock_.now() + kServiceRestoreLimit;
  Text failure;
  if (startedHere_) {
    ServiceStatus current;
    const long status = control_.Stop(&current);
    if (status == svc::kNotActive) {
      // It stopped on its own.
    } else if (status != 0) {
      failure = u"impossible de l'arr\u00eater, " + Reason(status);
    } else if (!WaitWhile(svc::kStopPending, deadline, &current) || current.state != svc::kStopped) {
      failure = u"il ne s'est pas arr\u00eat\u00e9 dans les 15 s";
    } else {
      Log(u"arr\u00eat\u00e9.", ActivityLevel::None);
    }
  }
  // The start type goes back even when the stop failed: the service will not start again.
  if (startTypeChanged_) {
    const long status = control_.ChangeStartType(originalStartType_);
    if (status == 0)
      Log(u"d\u00e9marrage remis \u00e0 " + StartTypeName(originalStartType_) + u".", ActivityLevel::None);
    else
      failure += (failure.empty() ? u"" : u" ; ") + (u"impossible de remettre son d\u00e9marrage \u00e0 " +
                                                     StartTypeName(originalStartType_) + u", " + Reason(status));
  }
  control_.Close();
  if (!failure.empty()) {
    Log(u"impossible de le remettre dans son \u00e9tat d'origine : " + failure + u".", ActivityLevel::Error);
    return RemoteRegistryOutcome::RestoreFailed;
  }
  Log(u"remis dans son \u00e9tat d'origine.", ActivityLevel::Done);
  return startFailed_ ? kept : RemoteRegistryOutcome::StartedAndRestored;
}

}  // namespace appcensus
