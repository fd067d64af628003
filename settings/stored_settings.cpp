#include "settings/stored_settings.h"

#include "registry/registry_api.h"
#include "registry/registry_layer.h"

namespace appcensus {

namespace {

constexpr char16_t kLocal[] = u".";

Text TrimBars(TextView text) {
  std::size_t start = 0, end = text.size();
  while (start < end && text[start] == u'|') ++start;
  while (end > start && text[end - 1] == u'|') --end;
  return Text(text.substr(start, end - start));
}

// Keeps the newest names whole while the text fits the readable length.
Text DropOldestNames(const Text& history) {
  if (history.size() <= kHistoryMaxLength) return history;
  const std::size_t cut = history.rfind(u'|', kHistoryMaxLength);
  return cut == Text::npos ? Text() : TrimBars(history.substr(0, cut));
}

bool HistoryHolds(TextView history, TextView name) {
  const Text upper = UpperCase(name);
  const std::size_t count = CountFields(history, u'|');
  for (std::size_t i = 0; i < count; ++i)
    if (UpperCase(NthField(history, u'|', i)) == upper) return true;
  return false;
}

// A whole number of seconds from 0 up, as the time-limit field holds it.
bool IsSecondsCount(TextView text) {
  if (text.empty() || text.size() > 10) return false;
  for (char16_t c : text)
    if (c < u'0' || c > u'9') return false;
  return text.size() < 10 || text <= TextView(u"2147483647");
}

}  // namespace

Text HistoryWithName(TextView history, TextView name) {
  if (HistoryHolds(history, name)) return Text(history);
  const Text upper = UpperCase(name);
  if (upper.size() > kHistoryMaxLength) return Text(history);
  return DropOldestNames(TrimBars(upper + u"|" + Text(history)));
}

void SaveMachineHistory(TextView name) {
  if (name.empty() || name == kLocal) return;
  if (RegistryValueExists(kSettingsKeyPath, kHistoryValue, kLocal) == 1) {
    const Text history = ReadRegistryValue(kSettingsKeyPath, kHistoryValue, kLocal);
    const Text updated = HistoryWithName(history, name);
    if (updated != history) SetRegistryValue(kSettingsKeyPath, kHistoryValue, updated, reg::kSz, kLocal);
    return;
  }
  // A name that could never be read back would make the history unreadable for good.
  if (name.size() > kHistoryMaxLength) return;
  CreateRegistryKey(kSettingsKeyPath, kLocal);
  WriteRegistryValue(kSettingsKeyPath, kHistoryValue, name, reg::kSz, kLocal);
}

void LoadMachineHistory(SettingsWindow& window) {
  if (RegistryValueExists(kSettingsKeyPath, kHistoryValue, kLocal) == 0) return;
  const Text history = ReadRegistryValue(kSettingsKeyPath, kHistoryValue, kLocal);
  const Text typed = window.MachineBoxText();
  window.ClearMachineBoxItems();
  const std::size_t count = CountFields(history, u'|');
  for (std::size_t i = 0; i < count; ++i) window.AppendMachineBoxItem(NthField(history, u'|', i));
  window.SetMachineBoxText(typed);
}

void SaveWindowSize(SettingsWindow& window) {
  int width = 0, height = 0;
  if (!window.InnerSize(&width, &height)) return;
  CreateRegistryKey(kSettingsKeyPath, kLocal);
  WriteRegistryValue(kSettingsKeyPath, kHeightValue, DecimalText(height), reg::kDword, kLocal);
  WriteRegistryValue(kSettingsKeyPath, kWidthValue, DecimalText(width), reg::kDword, kLocal);
}

std::optional<std::pair<int, int>> StoredWindowSize() {
  if (RegistryKeyExists(kSettingsKeyPath, kLocal) == 0) return std::nullopt;
  const Text heightText = ReadRegistryValue(kSettingsKeyPath, kHeightValue, kLocal);
  const Text widthText = ReadRegistryValue(kSettingsKeyPath, kWidthValue, kLocal);
  if (heightText.empty() || widthText.empty()) return std::nullopt;
  return std::pair(LeadingNumber(widthText), LeadingNumber(heightText));
}

void SaveTimeLimitSetting(TextView timeLimitText) {
  SetRegistryValue(kSettingsKeyPath, kTimeLimitValue, timeLimitText, reg::kDword, kLocal);
}

void LoadTimeLimitSetting(SettingsWindow& window) {
  Text text = ReadRegistryValue(kSettingsKeyPath, kTimeLimitValue, kLocal);
  // A stored limit that is not a whole number of seconds (-1, a text) counts as absent.
  if (!IsSecondsCount(text)) text = kDefaultTimeLimit;
  window.SetTimeLimitText(text);
}

bool LoadStartRemoteRegistrySetting() {
  return ReadRegistryValue(kSettingsKeyPath, kStartRemoteRegistryValue, kLocal) == u"1";
}

void SaveStartRemoteRegistrySetting(bool start) {
  CreateRegistryKey(kSettingsKeyPath, kLocal);
  WriteRegistryValue(kSettingsKeyPath, kStartRemoteRegistryValue, start ? u"1" : u"0", reg::kDword, kLocal);
}

}  // namespace appcensus
