// The fourteen images the program carries, in the order LoadIcons decodes and registers them.
#pragma once

#include "core/text.h"

namespace appcensus {

struct IconSpec {
  const char16_t* name;
  int size;   // width and height in pixels
  bool grey;  // stored as grey with alpha instead of colour with alpha
};

inline constexpr IconSpec kIcons[14] = {
    {u"ICO_Application", 16, false},
    {u"ICO_CodeProduit", 16, true},
    {u"ICO_VersionApplication", 16, false},
    {u"ICO_DestinationApplication", 16, false},
    {u"ICO_DateInstallationApplication", 16, false},
    {u"ICO_SourceApplication", 16, false},
    {u"ICO_CommandeDesinstallationApplication", 16, false},
    {u"ICO_EmplacementBaseDeRegistre", 16, false},
    {u"ICO_NomMachineApplication", 32, false},
    {u"ICO_Rechercher", 32, false},
    {u"ICO_LancerActionMachine", 32, false},
    {u"ICO_ActionTermine", 16, false},
    {u"ICO_ActionEnCours", 16, false},
    {u"ICO_ActionErreur", 16, false},
};

}  // namespace appcensus
