// The user's commands on the main window: request a machine, filter by name, export, move
// between the table and the tree, copy the selected entry. Window thread only; each is
// called by the main window's procedure for one event.
#pragma once

#include <windows.h>

namespace appcensus {

// A button was clicked.
void OnGadgetClicked(HWND control);
// A click or double-click in the application table or tree (NM_* code of the view).
void OnViewMouseEvent(HWND view, UINT code);
// The window's inner size changed (not minimised) while the layout is ready.
void OnWindowResized();

// Puts the name of the selected application, or the text of the selected tree node, from
// the view that has the keyboard focus onto the clipboard.
void CopySelectionToClipboard();

// The timer that empties the progress bar a while after a request ended.
inline constexpr UINT_PTR kProgressResetTimer = 1;
inline constexpr UINT kProgressResetDelayMs = 2000;
// Starts that timer again (any thread: handed to the window thread).
void ScheduleProgressReset();
void OnProgressResetTimer();

// The settings loaded into the new window, in order: machine history, time limit, window
// size, the Remote Registry box.
void LoadStoredSettingsIntoWindow();
// Reloads the machine box from the stored history; callable from any thread (the reload is
// handed to the window thread).
void RequestMachineHistoryReload();

}  // namespace appcensus
