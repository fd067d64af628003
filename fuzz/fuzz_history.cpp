// The machine-history update (HistoryWithName) and its use by SaveMachineHistory.
//
// Properties of HistoryWithName(history, name): unchanged when the name already occurs in the
// history or when its upper case alone is longer than 254 characters; otherwise the result
// holds at most 254 characters, has no "|" at either end, begins with the upper-cased name
// (its own outer bars aside: the newest name is never lost) and is the text
// "NAME|history" with its outer bars removed, cut only at a "|" (older names are dropped
// whole, never cut), and empty only when the first name of that text is too long to keep
// (which a history read back from the registry, at most 254 characters, never leads to). Through SaveMachineHistory on a simulated registry: a readable stored
// history stays readable after the save, and afterwards holds the name (as typed when it
// created the value, else upper-cased) whenever the name could be stored at all.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "tests/support/memory_registry.h"
#include "registry/registry_layer.h"
#include "settings/stored_settings.h"

namespace {

using namespace appcensus;

TextView WithoutOuterBars(TextView text) {
  while (!text.empty() && text.front() == u'|') text.remove_prefix(1);
  while (!text.empty() && text.back() == u'|') text.remove_suffix(1);
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::TextReader reader(data, size);
  const Text history = reader.Next();
  const Text name = reader.Next();
  const bool stored = reader.Next().empty();  // whether the registry holds the history

  const Text updated = HistoryWithName(history, name);
  const Text upper = UpperCase(name);
  FUZZ_CHECK(upper.size() == name.size());
  if (history.find(name) != Text::npos || upper.size() > kHistoryMaxLength) {
    FUZZ_CHECK_TEXT(updated == history, updated, history);
  } else {
    FUZZ_CHECK(updated.size() <= kHistoryMaxLength);
    FUZZ_CHECK(updated.empty() || (updated.front() != u'|' && updated.back() != u'|'));
    FUZZ_CHECK_TEXT(updated.starts_with(WithoutOuterBars(upper)), updated, upper);
    const Text joined(WithoutOuterBars(upper + u"|" + history));
    FUZZ_CHECK_TEXT(joined.starts_with(updated), updated, joined);
    if (updated.empty()) {
      // Nothing is kept only when the first name alone is too long to keep.
      const std::size_t firstBar = joined.find(u'|');
      FUZZ_CHECK(firstBar == Text::npos ? joined.size() > kHistoryMaxLength || joined.empty()
                                        : firstBar > kHistoryMaxLength);
    } else {
      FUZZ_CHECK(updated.size() == joined.size() || joined[updated.size()] == u'|');
    }
  }

  // Through the settings, on a simulated registry whose value holds a readable history.
  if (history.size() > kHistoryMaxLength) return 0;
  MemoryRegistry registry;
  ScopedRegistryApi scoped(registry);
  if (stored) registry.Local().SetString(kSettingsKeyPath, kHistoryValue, history);
  SaveMachineHistory(name);
  FUZZ_CHECK(registry.OpenHandleCount() == 0);
  const bool ignored = name.empty() || name == u".";
  const bool exists = RegistryValueExists(kSettingsKeyPath, kHistoryValue, u".") == 1;
  if (stored) FUZZ_CHECK(exists);
  if (ignored || name.size() > kHistoryMaxLength) {
    if (!stored) FUZZ_CHECK(!exists);
    return 0;
  }
  FUZZ_CHECK(exists);
  const Text after = ReadRegistryValue(kSettingsKeyPath, kHistoryValue, u".");
  if (name.find(u'\0') != Text::npos) return 0;  // a stored NUL ends the text read back
  const Text before = history.substr(0, history.find(u'\0'));
  if (!stored)
    FUZZ_CHECK_TEXT(after == name, after, name);
  else if (before.find(name) != Text::npos)
    FUZZ_CHECK_TEXT(after == before, after, before);
  else
    FUZZ_CHECK_TEXT(after.starts_with(WithoutOuterBars(upper)), after, upper);
  return 0;
}
