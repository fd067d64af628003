#include "inventory/machine_test.h"

#include <atomic>

#include "registry/registry_layer.h"

namespace appcensus {

namespace {

constexpr char16_t kPrefix[] = u"[TestMachine] : ";

void Log(ActivityLog& log, TextView message, ActivityLevel level) {
  log.LogActivity(Text(kPrefix) + Text(message), level, 1);
}

}  // namespace

Text MachineNameOf(TextView name) { return Text(name.starts_with(u"\\\\") ? name.substr(2) : name); }

MachineVerdict TestMachine(TextView requestedName, ActivityLog& log) {
  const Text name = UpperCase(MachineNameOf(requestedName));
  Log(log, u"Démarrage du test machine sur " + name, ActivityLevel::InProgress);
  const Text target = ReadRegistryValue(kActiveComputerNameKeyPath, kActiveComputerNameValue, name);

  if (target == name) {
    Log(log, u"Teste de la machine effectuée correctement.", ActivityLevel::Done);
    return MachineVerdict::Passed;
  }
  if (target.empty()) {
    Log(log, u"Impossible de contacter la machine.", ActivityLevel::Error);
    return MachineVerdict::Unreachable;
  }
  if (name == u"." && target == LocalComputerName()) {
    Log(log, u"Machine locale, le nom de machine est conforme.", ActivityLevel::Done);
    return MachineVerdict::Passed;
  }
  Log(log, u"Nom de machine demandé : " + name, ActivityLevel::None);
  Log(log, u"Nom de machine cible : " + target, ActivityLevel::None);
  Log(log, u"Le nom de machine est différent de celui de la cible.", ActivityLevel::Error);
  return MachineVerdict::OtherMachine;
}

MachineVerdict AwaitMachineTest(TextView requestedName, const IdentityTestRun& run) {
  // Everything the thread uses is its own or shared with it, so it may outlive the caller.
  auto verdict = std::make_shared<std::atomic<MachineVerdict>>(MachineVerdict::Unreachable);
  TaskThread thread;
  const bool startedThread = thread.Start([name = Text(requestedName), verdict, log = run.log, gate = run.gate] {
    GatedActivityLog gatedLog(*log, gate);
    verdict->store(TestMachine(name, gatedLog));
  });
  if (!startedThread) return MachineVerdict::Unreachable;
  if (run.started) run.started(thread);
  // An ended wait orders the thread's store before this read; a late verdict is never read.
  return thread.WaitFor(run.wait) ? verdict->load() : MachineVerdict::Unreachable;
}

}  // namespace appcensus
