// The layout rules applied to the main window's controls. Window thread only.
#pragma once

namespace appcensus {

// Fits the panel, its pages, the views and the search and export controls to the window's
// inner size.
void ApplyWindowLayout();
// Fits the panel's pages and the views on them to the panel, as ApplyWindowLayout does.
void PlacePageViews();

// Shows the panel's tab of that index (0 "Tableau", 1 "Arborescence", 2 "Activité") and
// its page.
void SelectPanelTab(int index);
// Shows the page of the tab the panel has selected, hides the others.
void ShowSelectedPage();

}  // namespace appcensus
