// The activity log shown by the main window: a row in the activity list, the text in a
// status-bar field, the level's icon in field 0, and the progress bar in field 2.
#pragma once

#include "core/activity_log.h"
#include "ui/ui_channel.h"

namespace appcensus {

// Name of the image for a level; nullptr for None and for values outside 1..3.
const char16_t* ActivityIconName(ActivityLevel level);

// Applies one log call to the controls. icon is the level's image (0: none); hasLevelIcon
// says whether the level names an image at all (levels 1..3), even if it failed to load.
void ApplyLogActivity(Gadgets& gadgets, TextView text, NamedValue icon, bool hasLevelIcon, int statusField);
void ApplyStatusProgress(Gadgets& gadgets, int value, int maximum);

// Implements the activity log over a UI channel. Each call takes its own copy of the text and
// looks the icon up by name in the calling thread, then posts one whole work item.
class GadgetActivityLog : public ActivityLog {
 public:
  explicit GadgetActivityLog(UiChannel& channel) : channel_(channel) {}
  void LogActivity(TextView text, ActivityLevel level, int statusField) override;
  void SetStatusProgress(int value, int maximum) override;

 private:
  UiChannel& channel_;
};

}  // namespace appcensus
