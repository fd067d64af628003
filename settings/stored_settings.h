// The values the program keeps between runs, in the current user's registry on the local
// machine: the machine history, the window's inner size, the time limit per machine and
// whether the Remote Registry service may be started.
// Every access goes through the registry access layer; nothing is cached.
#pragma once

#include <optional>
#include <utility>
#include <vector>

#include "core/text.h"

namespace appcensus {

inline constexpr char16_t kSettingsKeyPath[] = u"HKEY_CURRENT_USER\\Software\\Brelmont\\Appcensus";
inline constexpr char16_t kHistoryValue[] = u"CBX_Machines";
inline constexpr char16_t kHeightValue[] = u"HauteurFenetre";
inline constexpr char16_t kWidthValue[] = u"LargeurFenetre";
inline constexpr char16_t kTimeLimitValue[] = u"TempAttenteTraitementMachine";
inline constexpr char16_t kStartRemoteRegistryValue[] = u"DemarrerRegistreDistant";
inline constexpr char16_t kDefaultTimeLimit[] = u"15";

// The longest history the registry layer can read back.
inline constexpr std::size_t kHistoryMaxLength = 254;

// What the settings need from the window: the machine box, the time-limit field and the
// window's inner size.
class SettingsWindow {
 public:
  virtual ~SettingsWindow() = default;
  virtual Text MachineBoxText() = 0;
  virtual void SetMachineBoxText(TextView text) = 0;
  virtual void ClearMachineBoxItems() = 0;
  virtual void AppendMachineBoxItem(TextView item) = 0;
  virtual Text TimeLimitText() = 0;
  virtual void SetTimeLimitText(TextView text) = 0;
  // The inner size the window has when neither maximised nor minimised; false when there is
  // no main window.
  virtual bool InnerSize(int* width, int* height) = 0;
};

// The history after adding `name` to the stored `history`: the name upper-cased in front,
// no bar at either end, and the oldest names dropped so that the text stays at most
// kHistoryMaxLength characters. Unchanged when one of its names is `name` (whole, letter case
// ignored) or when the name alone is longer than that.
Text HistoryWithName(TextView history, TextView name);

void SaveMachineHistory(TextView name);
void LoadMachineHistory(SettingsWindow& window);
void SaveWindowSize(SettingsWindow& window);
// The stored inner size (width, height), when both values are readable: the window opens at it.
std::optional<std::pair<int, int>> StoredWindowSize();
// Stores the time-limit field's text (read as a number) when the settings key exists.
void SaveTimeLimitSetting(TextView timeLimitText);
void LoadTimeLimitSetting(SettingsWindow& window);
// Whether the Remote Registry service may be started when a machine has none running: true
// only for a stored 1; a missing or unreadable value, or any other, counts as 0. Any thread.
bool LoadStartRemoteRegistrySetting();
// Stores 0 or 1 as a DWORD, the settings key created when needed.
void SaveStartRemoteRegistrySetting(bool start);

}  // namespace appcensus
