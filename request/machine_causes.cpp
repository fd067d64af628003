#include "request/machine_causes.h"

#include <algorithm>
#include <span>

#include "registry/registry_api.h"

namespace appcensus {

namespace {

bool OneOf(long status, std::span<const long> statuses) {
  return status != 0 && std::find(statuses.begin(), statuses.end(), status) != statuses.end();
}

// The registry connection statuses of a machine that answers on the file-sharing port but
// has no registry to connect to: network path not found, file not found, RPC server
// unavailable, remote procedure call failed and did not execute.
constexpr long kNoRegistry[] = {reg::kBadNetPath, reg::kFileNotFound, reg::kServerUnavailable,
                              reg::kCallFailedDidNotExecute};
// Logon failure, account restriction, password expired, account disabled, password must change.
constexpr long kLogonFailure[] = {1326, 1327, 1330, 1331, 1907};

}  // namespace

MachineCause ChooseMachineCause(const MachineFailure& f) {
  switch (f.reachability) {
    case Reachability::NameUnknown:
      return MachineCause::NameUnknown;
    case Reachability::NoAnswer:
      return MachineCause::NoAnswer;
    case Reachability::Refused:
      return MachineCause::Refused;
    case Reachability::Answered:
      if (OneOf(f.connectStatus, kNoRegistry)) return MachineCause::NoRemoteRegistry;
      break;
    case Reachability::NotChecked:
      break;
  }
  if (f.connectStatus == reg::kAccessDenied || f.openStatus == reg::kAccessDenied) return MachineCause::AccessDenied;
  if (OneOf(f.connectStatus, kLogonFailure) || OneOf(f.openStatus, kLogonFailure)) return MachineCause::LogonFailure;
  if (f.verdict == MachineVerdict::OtherMachine) return MachineCause::OtherMachine;
  if (f.timedOut) return MachineCause::TimeOut;
  if (f.verdict == MachineVerdict::Unreachable) return MachineCause::Unreachable;
  return MachineCause::None;
}

MachineCauseText DescribeMachineCause(MachineCause cause) {
  switch (cause) {
    case MachineCause::None:
      return {nullptr, nullptr};
    case MachineCause::NameUnknown:
      return {"unresolved",
              u"Nom de machine inconnu : v\u00e9rifiez le nom saisi et sa d\u00e9claration dans le DNS (essayez le nom "
              u"complet ou l'adresse IP)."};
    case MachineCause::NoAnswer:
      return {"unreachable",
              u"La machine ne r\u00e9pond pas sur le port 445 : v\u00e9rifiez qu'elle est allum\u00e9e et que son "
              u"pare-feu laisse passer le partage de fichiers (SMB)."};
    case MachineCause::Refused:
      return {"refused",
              u"La machine refuse les connexions sur le port 445 : activez le partage de fichiers et d'imprimantes "
              u"sur cette machine, ou autorisez-le dans son pare-feu."};
    case MachineCause::NoRemoteRegistry:
      return {"no-remote-registry",
              u"Le service Registre \u00e0 distance ne r\u00e9pond pas sur la machine : d\u00e9marrez-le sur cette "
              u"machine, ou cochez \u00ab D\u00e9marrer le service Registre \u00e0 distance si n\u00e9cessaire \u00bb "
              u"(--start-remote-registry en ligne de commande)."};
    case MachineCause::AccessDenied:
      return {"access-denied",
              u"Acc\u00e8s refus\u00e9 au registre de la machine : lancez le programme sous un compte administrateur "
              u"de cette machine (runas /netonly), et v\u00e9rifiez les droits de la cl\u00e9 "
              u"SecurePipeServers\\winreg ; pour un compte local, voir LocalAccountTokenFilterPolicy."};
    case MachineCause::LogonFailure:
      return {"logon-failure",
              u"Ouverture de session refus\u00e9e par la machine : compte ou mot de passe inconnu, compte "
              u"d\u00e9sactiv\u00e9 ou restreint, mot de passe expir\u00e9 ou \u00e0 changer ; lancez le programme "
              u"sous un compte valide sur cette machine (runas /netonly)."};
    case MachineCause::OtherMachine:
      return {"other-machine",
              u"Une autre machine a r\u00e9pondu sous ce nom : v\u00e9rifiez le nom saisi et l'adresse que le DNS "
              u"donne pour lui."};
    case MachineCause::TimeOut:
      return {"timeout",
              u"Le temps d'attente de la machine est d\u00e9pass\u00e9 : augmentez-le, ou r\u00e9essayez quand la "
              u"machine ou le r\u00e9seau sera moins charg\u00e9."};
    case MachineCause::Unreachable:
      return {"unreachable",
              u"Impossible de contacter la machine : v\u00e9rifiez son nom, qu'elle est allum\u00e9e et que le "
              u"service Registre \u00e0 distance y fonctionne."};
  }
  return {nullptr, nullptr};
}

}  // namespace appcensus
