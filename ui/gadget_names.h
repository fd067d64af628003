// The names under which the main window, its status bar and its gadgets are registered in
// the named-identifier registry, and the control identifier each of them carries, so that a
// tool outside the program finds a gadget as it finds any control: by its identifier.
#pragma once

namespace appcensus {

inline constexpr char16_t kMainWindow[] = u"ID_FenGeneral";
inline constexpr char16_t kStatusBar[] = u"ID_BarreDeStatus";
inline constexpr char16_t kPanel[] = u"PANEL_VisuApplications";
inline constexpr char16_t kTable[] = u"LISTE_ApplicationsUninstall";
inline constexpr char16_t kTree[] = u"TREE_ApplicationsUninstall";
inline constexpr char16_t kActivityList[] = u"LST_Activite";
inline constexpr char16_t kMachineBox[] = u"CBX_nomMachine";
inline constexpr char16_t kRequestButton[] = u"BT_Afficher";
inline constexpr char16_t kExportButton[] = u"BT_EditerInfosApplications";
inline constexpr char16_t kSearchField[] = u"TXT_RchNomApplication";
inline constexpr char16_t kSearchButton[] = u"BT_RchApplication";
inline constexpr char16_t kSearchLabel[] = u"LBL_RchNomApplication";
inline constexpr char16_t kTimeLimitField[] = u"TXT_TempAttente";
inline constexpr char16_t kStartRemoteRegistryBox[] = u"CHK_DemarrerRegistreDistant";
inline constexpr char16_t kDifferencesBox[] = u"CHK_DifferencesUniquement";

struct GadgetControl {
  const char16_t* name;
  int controlId;
};

inline constexpr GadgetControl kGadgetControls[] = {
    {kStatusBar, 1001},    {kPanel, 1002},          {kTable, 1003},         {kTree, 1004},
    {kActivityList, 1005}, {kMachineBox, 1006},     {kRequestButton, 1007}, {kExportButton, 1008},
    {kSearchField, 1009},  {kSearchButton, 1010},   {kSearchLabel, 1011},   {kTimeLimitField, 1012},
    {kStartRemoteRegistryBox, 1013},
    {kDifferencesBox, 1014},
};

// The control identifier of a registered gadget; 0 for any other name.
constexpr int GadgetControlId(const char16_t* name) {
  for (const GadgetControl& gadget : kGadgetControls) {
    const char16_t* a = gadget.name;
    const char16_t* b = name;
    while (*a != 0 && *a == *b) ++a, ++b;
    if (*a == *b) return gadget.controlId;
  }
  return 0;
}

}  // namespace appcensus
