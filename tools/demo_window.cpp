// Opens the main window inside this program, fills it with a few sample applications and
// log lines, and stays until the window is closed: the screenshots show the views with data
// before the machine worker exists.
#include <windows.h>

#include "ui/main_views.h"
#include "tools/window_harness_win32.h"

using namespace appcensus;

int main() {
  testing::WindowHarness harness;
  if (!harness.Open()) return 1;
  const char16_t* names[] = {u"Microsoft Visual C++ 2019 Redistributable", u"Outil de sauvegarde", u"Lecteur PDF",
                             u"Pilote d'imprimante", u"Navigateur Web", u"Suite bureautique", u"Client VPN",
                             u"Antivirus", u"Éditeur de texte", u"Gestionnaire de mots de passe"};
  ApplicationTable table;
  int i = 0;
  for (const char16_t* name : names) {
    const Text n = DecimalText(++i);
    table.Store(ApplicationRecord{name, u"1." + n + u".0", u"\\\\depot\\setup\\" + n, u"0" + n + u"/03/2024",
                                  i % 3 ? u"MsiExec.exe /X{" + n + u"}" : u"", u"C:\\Program Files\\App" + n,
                                  u"{0000-" + n + u"}", u"SRV2", u"{KEY-" + n + u"}"});
  }
  LogActivity(u"Démarrage du traitement pour la machine SRV2", ActivityLevel::None, 1);
  LogActivity(u"Connexion à la base de registre de la machine SRV2", ActivityLevel::InProgress, 1);
  LogActivity(u"10 Entrées", ActivityLevel::None, 3);
  LogActivity(u"Impossible de contacter la machine SRV3", ActivityLevel::Error, 1);
  SetStatusProgress(60, 100);
  FillApplicationViews(table);
  LogActivity(u"Traitement terminé sur la machine SRV2", ActivityLevel::Done, 1);
  harness.WaitUntilClosed();
  return 0;
}
