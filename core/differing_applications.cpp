#include "core/differing_applications.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <unordered_set>

namespace appcensus {

std::vector<ApplicationRecord> DifferingApplications(std::vector<ApplicationRecord> records) {
  std::unordered_set<Text> machines;
  for (const ApplicationRecord& record : records) machines.insert(LowerCase(record.Machine));
  if (machines.size() < 2) return records;

  // Each application's versions on each machine that has it.
  const auto applicationOf = [](const ApplicationRecord& record) {
    return LowerCase(record.DisplayName) + u'\0' + static_cast<char16_t>(LocationOf(record.UninstallKeyPath));
  };
  std::unordered_map<Text, std::map<Text, std::vector<Text>>> versions;
  for (const ApplicationRecord& record : records)
    versions[applicationOf(record)][LowerCase(record.Machine)].push_back(record.DisplayVersion);
  std::unordered_set<Text> common;
  for (auto& [application, byMachine] : versions) {
    for (auto& [machine, list] : byMachine) std::ranges::sort(list);
    const auto& first = byMachine.begin()->second;
    if (byMachine.size() == machines.size() &&
        std::ranges::all_of(byMachine, [&](const auto& entry) { return entry.second == first; }))
      common.insert(application);
  }
  std::erase_if(records, [&](const ApplicationRecord& record) { return common.contains(applicationOf(record)); });
  return records;
}

}  // namespace appcensus
