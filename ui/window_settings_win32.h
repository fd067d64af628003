// The machine box, the time-limit field and the main window's inner size, as the stored
// settings see them. Window thread only.
#pragma once

#include "settings/stored_settings.h"

namespace appcensus {

class WindowSettings : public SettingsWindow {
 public:
  Text MachineBoxText() override;
  void SetMachineBoxText(TextView text) override;
  void ClearMachineBoxItems() override;
  void AppendMachineBoxItem(TextView item) override;
  Text TimeLimitText() override;
  void SetTimeLimitText(TextView text) override;
  bool InnerSize(int* width, int* height) override;
};

}  // namespace appcensus
