// The user's commands on the main window: request a machine, filter by name, export, move
// between the table and the tree, copy the selected entry. Window thread only; each is
// called by the main window's procedure for one event.
#pragma once

#include <windows.h>

#include "ui/row_order.h"

namespace appcensus {

// A button was clicked.
void OnGadgetClicked(HWND control);
// A click or double-click in the application table or tree (NM_* code of the view).
void OnViewMouseEvent(HWND view, UINT code);
// The window's inner size changed (not minimised) while the layout is ready.
void OnWindowResized();
// A click on the title of the table's column `column`: the rows sorted by it.
void OnColumnClicked(int column);
// A timer of the main window went off.
void OnTimer(UINT_PTR id);
// A keyboard message taken from the window thread's queue, before it is translated and
// dispatched: Return in the machine box requests, in the search field filters, on a button
// clicks it; F5 repeats the last request; Ctrl+C in the table or the tree copies. True when it
// was one of these and must go no further.
bool OnKeyMessage(const MSG& message);

// The arrow in the title of the column the table is sorted by, up or down.
void ShowSortArrow(HWND list, RowOrder order);

// Puts the name of the selected application, or the text of the selected tree node, from
// the view that has the keyboard focus onto the clipboard.
void CopySelectionToClipboard();

// The timer that empties the progress bar a while after a request ended.
inline constexpr UINT_PTR kProgressResetTimer = 1;
inline constexpr UINT kProgressResetDelayMs = 2000;
// Starts that timer again (any thread: handed to the window thread).
void ScheduleProgressReset();
void OnProgressResetTimer();

// The settings loaded into the new window, in order: machine history, time limit, the Remote
// Registry box. The window is made at its stored size (CreateMainWindow).
void LoadStoredSettingsIntoWindow();
// Reloads the machine box from the stored history; callable from any thread (the reload is
// handed to the window thread).
void RequestMachineHistoryReload();

}  // namespace appcensus
