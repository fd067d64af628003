// The machine history: unchanged when one of its names is the name (letter case ignored) or
// the name is over 254 characters, else "NAME|history" without outer bars, cut at a "|" to
// 254 characters at most and starting with the name. Saved through the settings, a readable history stays readable and holds the
// name whenever it could be stored.
#include "fuzz/fuzz_support.h"
#include "settings/stored_settings.h"
#include "tests/support/memory_registry.h"

using namespace appcensus;

bool Holds(TextView history, TextView name) {
  for (std::size_t i = 0; i < CountFields(history, u'|'); ++i)
    if (UpperCase(NthField(history, u'|', i)) == UpperCase(name)) return true;
  return false;
}

TextView WithoutOuterBars(TextView text) {
  text.remove_prefix(std::min(text.find_first_not_of(u'|'), text.size()));
  return text.substr(0, text.find_last_not_of(u'|') + 1);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Text history = fuzz::Part(data, size, 0), name = fuzz::Part(data, size, 1);
  const Text updated = HistoryWithName(history, name), upper = UpperCase(name);
  const Text joined(WithoutOuterBars(upper + u"|" + history));
  if (Holds(history, name) || name.size() > kHistoryMaxLength) {
    FUZZ_CHECK(updated == history);
  } else {
    FUZZ_CHECK(updated.size() <= kHistoryMaxLength && joined.starts_with(updated));
    // Older names go whole; nothing is kept only when the first name is too long to keep.
    FUZZ_CHECK(updated.empty() ? joined.substr(0, joined.find(u'|')).size() > kHistoryMaxLength || joined.empty()
                               : updated.size() == joined.size() || joined[updated.size()] == u'|');
    FUZZ_CHECK(updated.starts_with(WithoutOuterBars(upper)));
  }

  if (history.size() > kHistoryMaxLength) return 0;  // a stored history is readable
  MemoryRegistry registry;
  ScopedRegistryApi scope(registry);
  const bool stored = fuzz::Part(data, size, 2).empty();
  if (stored) registry.Local().SetString(kSettingsKeyPath, kHistoryValue, history);
  SaveMachineHistory(name);
  const bool storable = !name.empty() && name != u"." && name.size() <= kHistoryMaxLength;
  FUZZ_CHECK(RegistryValueExists(kSettingsKeyPath, kHistoryValue, u".") == (stored || storable ? 1 : 0));
  if (!storable || name.find(u'\0') != Text::npos) return 0;  // a stored NUL ends the text read back
  const Text before = history.substr(0, history.find(u'\0'));
  const Text after = ReadRegistryValue(kSettingsKeyPath, kHistoryValue, u".");
  FUZZ_CHECK(!stored ? after == name : Holds(before, name) ? after == before : after.starts_with(WithoutOuterBars(upper)));
  return 0;
}
