#include "ui/named_ids.h"

#include <memory>
#include <mutex>
#include <unordered_map>

namespace appcensus {

namespace {

struct NamedIdEntry {
  std::int32_t kind = 0;
  NamedValue value = 0;
  Text note;
};

struct Registry {
  std::mutex mutex;  // a plain lock: lookups are short
  std::unique_ptr<std::unordered_map<Text, NamedIdEntry>> entries;  // created by the first registration
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

Text KeyOf(TextView name, std::int32_t kind) { return DecimalText(kind) + u"_" + Text(name); }

}  // namespace

void RegisterNamedId(TextView name, std::int32_t kind, NamedValue value, TextView note) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  if (!registry.entries) {
    registry.entries = std::make_unique<std::unordered_map<Text, NamedIdEntry>>();
    registry.entries->reserve(512);
  }
  NamedIdEntry& entry = (*registry.entries)[KeyOf(name, kind)];
  entry.kind = kind;
  entry.value = value;
  entry.note = Text(note);
}

NamedValue NamedId(TextView name, std::int32_t kind) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  if (!registry.entries) return 0;
  const auto it = registry.entries->find(KeyOf(name, kind));
  return it == registry.entries->end() ? 0 : it->second.value;
}

}  // namespace appcensus
