#include "ui/activity_view.h"

#include "ui/image_names.h"

namespace appcensus {

const char16_t* ActivityIconName(ActivityLevel level) {
  switch (level) {
    case ActivityLevel::InProgress: return kImageInProgress;
    case ActivityLevel::Done: return kImageDone;
    case ActivityLevel::Error: return kImageError;
    default: return nullptr;
  }
}

void ApplyLogActivity(Gadgets& gadgets, TextView text, NamedValue icon, bool hasLevelIcon, int statusField) {
  // A level whose image failed to load behaves like a level without icon.
  if (hasLevelIcon && icon != 0) gadgets.SetStatusIcon(icon);
  gadgets.AppendActivityRow(text, icon);
  if (statusField < 0 || statusField > 3) return;
  if (statusField == 2) gadgets.SetProgressVisible(false);  // until the next progress call
  gadgets.SetStatusText(statusField, text);
}

void ApplyStatusProgress(Gadgets& gadgets, int value, int maximum) {
  gadgets.SetStatusProgress(value, maximum);
  gadgets.SetProgressVisible(true);
}

void GadgetActivityLog::LogActivity(TextView text, ActivityLevel level, int statusField) {
  const char16_t* iconName = ActivityIconName(level);
  const NamedValue icon = iconName ? NamedId(iconName, 0) : 0;
  channel_.Post([copy = Text(text), icon, hasIcon = iconName != nullptr, statusField](Gadgets& gadgets) {
    ApplyLogActivity(gadgets, copy, icon, hasIcon, statusField);
  });
}

void GadgetActivityLog::SetStatusProgress(int value, int maximum) {
  // Only the latest value counts: one still waiting is replaced.
  channel_.PostLatest([value, maximum](Gadgets& gadgets) { ApplyStatusProgress(gadgets, value, maximum); });
}

}  // namespace appcensus
