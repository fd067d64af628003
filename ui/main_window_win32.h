// The main window: its creation with every gadget, and the window procedure that hands each
// event to its handler and applies the work other threads hand over.
#pragma once

#include <windows.h>

namespace appcensus {

class Win32Gadgets;

// Posted by the UI channel to have the queued work applied on the window thread.
inline constexpr UINT kApplyUiWorkMessage = WM_APP + 1;

// Loads the icons, opens the window with its status bar, panel, table and gadgets, registers
// them by name and sets LayoutReady. When the window cannot be opened it stops early:
// ID_FenGeneral stays unregistered and LayoutReady false.
void CreateMainWindow();
// Once the window shows: the views of the hidden pages (the tree and the activity list) and
// the buttons' tooltips, which nothing needs before. Called before any work handed over by
// other threads is applied.
void CompleteMainWindow();

// The gadgets of the window made by CreateMainWindow (nullptr before), window thread only.
Win32Gadgets* MainWindowGadgets();

}  // namespace appcensus
