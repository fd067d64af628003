// The main window: creation of the window and its gadgets, the layout rules on size events,
// and the window procedure that applies the work other threads hand over.
#pragma once

#include <windows.h>

namespace appcensus {

class Win32Gadgets;

// Posted by the UI channel to have the queued work applied on the window thread.
inline constexpr UINT kApplyUiWorkMessage = WM_APP + 1;
// Name of the registered message that answers the value registered under a name; wParam is
// a global atom holding the name. It lets a test program check the named objects of a
// running window (which gadget is which, that every image was decoded).
inline constexpr wchar_t kNamedIdQueryMessageName[] = L"Appcensus.NamedIdQuery";

// Loads the icons, opens the window with its status bar, panel, views and gadgets, registers
// them by name and sets LayoutReady. When the window cannot be opened it stops early:
// ID_FenGeneral stays unregistered and LayoutReady false.
void CreateMainWindow();
// Fits the panel, the views and the search and export controls to the inner size.
void ApplyWindowLayout();

// Shows the panel's tab of that index (0 "Tableau", 1 "Arborescence", 2 "Activité").
void SelectPanelTab(int index);

// The gadgets of the window made by CreateMainWindow (nullptr before), window thread only.
Win32Gadgets* MainWindowGadgets();

}  // namespace appcensus
