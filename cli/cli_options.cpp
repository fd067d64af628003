#include "cli/cli_options.h"

#include <algorithm>

#include "inventory/machine_test.h"

namespace appcensus::cli {

namespace {

std::string Quoted(TextView text) { return "\"" + TextToUtf8(text) + "\""; }

// A whole number made of decimal digits only, at most `maximum`.
std::optional<std::int64_t> WholeNumber(TextView text, std::int64_t maximum) {
  if (text.empty()) return std::nullopt;
  std::int64_t value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c - u'0');
    if (value > maximum) return std::nullopt;
  }
  return value;
}

enum class Option { Format, Filter, Timeout, Output, Report, Parallel, Sort, Compare, Flag };

struct OptionName {
  const char16_t* name;
  Option option;
  bool CliOptions::*flag = nullptr;  // the option without a value that it sets
};

constexpr OptionName kOptions[] = {
    {u"--format", Option::Format},   {u"--filter", Option::Filter},
    {u"--timeout", Option::Timeout}, {u"--output", Option::Output},
    {u"--report", Option::Report},   {u"--parallel", Option::Parallel},
    {u"--sort", Option::Sort},       {u"--classic", Option::Flag, &CliOptions::classic},
    {u"--compare", Option::Compare},
    {u"--visible-only", Option::Flag, &CliOptions::visibleOnly}, {u"--quiet", Option::Flag, &CliOptions::quiet},
    {u"--start-remote-registry", Option::Flag, &CliOptions::startRemoteRegistry},
    {u"--help", Option::Flag, &CliOptions::help}, {u"-h", Option::Flag, &CliOptions::help},
    {u"/?", Option::Flag, &CliOptions::help},     {u"--version", Option::Flag, &CliOptions::version},
};

const OptionName* FindOption(TextView name) {
  for (const auto& option : kOptions)
    if (name == option.name) return &option;
  return nullptr;
}

// Applies one option and its value; the error line, or the empty text.
std::string Apply(const OptionName& option, TextView value, CliOptions& options) {
  const std::string name = TextToUtf8(option.name);
  switch (option.option) {
    case Option::Format: {
      const Text format = LowerCase(value);
      if (format == u"csv")
        options.format = OutputFormat::Csv;
      else if (format == u"json")
        options.format = OutputFormat::Json;
      else if (format == u"tsv")
        options.format = OutputFormat::Tsv;
      else
        return "format inconnu " + Quoted(value) + " (csv, json ou tsv)";
      return {};
    }
    case Option::Filter:
      options.filter = Text(value);
      return {};
    case Option::Timeout: {
      const auto seconds = WholeNumber(value, kMaxTimeoutSeconds);
      if (!seconds)
        return name + " attend un nombre de secondes de 0 à " + std::to_string(kMaxTimeoutSeconds) + ", pas " +
               Quoted(value);
      options.timeoutSeconds = static_cast<std::int32_t>(*seconds);
      return {};
    }
    case Option::Output:
      if (value.empty()) return name + " attend un nom de fichier non vide";
      options.outputPath = value == u"-" ? std::nullopt : std::optional(Text(value));
      return {};
    case Option::Report:
      if (value.empty() || value == u"-") return name + " attend un nom de fichier";
      options.reportPath = Text(value);
      return {};
    case Option::Parallel: {
      const auto count = WholeNumber(value, kMaxParallel);
      if (!count || *count < 1)
        return name + " attend un nombre de 1 à " + std::to_string(kMaxParallel) + ", pas " + Quoted(value);
      options.parallel = static_cast<int>(*count);
      return {};
    }
    case Option::Sort:
      if (LowerCase(value) != u"name") return name + " attend \"name\", pas " + Quoted(value);
      options.sortByName = true;
      return {};
    case Option::Compare:
      if (value.empty() || value == u"-") return name + " attend un nom de fichier";
      options.comparePath = Text(value);
      return {};
    case Option::Flag:
      options.*option.flag = true;
      return {};
  }
  return {};
}

// The first character of a name that no machine name holds, as a list in another encoding
// or binary data gives it: a control character or U+FFFD; none when there is none.
std::optional<char16_t> ForbiddenCharacter(TextView name) {
  const auto forbidden = std::ranges::find_if(name, [](char16_t c) { return c < u' ' || c == u'\uFFFD'; });
  return forbidden == name.end() ? std::nullopt : std::optional(*forbidden);
}

// Adds the machines of one machine argument, the `number`-th of the command line (see
// ParseCommandLine); the error line, or the empty text.
std::string AddMachineArgument(const Text& argument, std::size_t number, bool readsLists,
                               const MachineSources& sources, MachineList& machines) {
  std::vector<Text> names;
  std::string list = "l'argument n\u00b0 " + std::to_string(number);
  if (readsLists && argument == u"-") {
    list = "l'entr\u00e9e standard";
    const std::optional<std::string> bytes = sources.readInput ? sources.readInput() : std::string();
    if (!bytes) return "impossible de lire la liste de machines de " + list;
    names = MachineListNames(*bytes);
  } else if (readsLists && argument.starts_with(u'@')) {
    const TextView path = TextView(argument).substr(1);
    list = "la liste " + Quoted(path);
    const std::optional<std::string> bytes = sources.readFile ? sources.readFile(path) : std::nullopt;
    if (!bytes) return "impossible de lire la liste de machines " + Quoted(path);
    names = MachineListNames(*bytes);
  } else {
    const std::size_t count = argument.empty() ? 0 : CountFields(argument, u';');
    for (std::size_t i = 0; i < count; ++i) names.push_back(NthField(argument, u';', i));
  }
  // Each name is checked before any is added: the window's job would report an empty name
  // as a machine it cannot contact, and a name holding NUL would reach the local registry.
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (MachineNameOf(names[i]).empty()) return "nom de machine vide dans la liste " + Quoted(argument);
    if (const auto c = ForbiddenCharacter(names[i])) {
      const char hex[] = "0123456789ABCDEF";
      return "le nom n\u00b0 " + std::to_string(i + 1) + " de " + list + " contient le caract\u00e8re interdit U+" +
             std::string{hex[*c >> 12], hex[*c >> 8 & 15], hex[*c >> 4 & 15], hex[*c & 15]};
    }
  }
  for (const Text& name : names) machines.Add(name);
  return {};
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<Text>& arguments, const MachineSources& sources) {
  CliOptions options;
  MachineList machines(sources.computerName);
  bool machineNamed = false;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const Text& argument = arguments[i];
    const bool looksLikeOption =
        !optionsEnded && (argument.starts_with(u"-") || argument == u"/?") && argument != u"-";
    if (!looksLikeOption) {
      std::string error = AddMachineArgument(argument, i + 1, !optionsEnded, sources, machines);
      if (!error.empty()) return {std::nullopt, std::move(error)};
      machineNamed = machineNamed || !argument.empty();
      continue;
    }
    if (argument == u"--") {
      optionsEnded = true;
      continue;
    }
    const std::size_t equals = argument.find(u'=');
    const TextView name = TextView(argument).substr(0, equals);
    const OptionName* option = FindOption(name);
    if (option == nullptr) return {std::nullopt, "option inconnue " + Quoted(name)};

    Text value;
    if (equals != Text::npos) {
      if (option->option == Option::Flag) return {std::nullopt, TextToUtf8(name) + " ne prend pas de valeur"};
      value = argument.substr(equals + 1);
    } else if (option->option != Option::Flag) {
      if (i + 1 >= arguments.size()) return {std::nullopt, TextToUtf8(name) + " attend une valeur"};
      value = arguments[++i];
    }
    std::string error = Apply(*option, value, options);
    if (!error.empty()) return {std::nullopt, std::move(error)};
  }
  if (!machineNamed) machines.Add(u".");
  if (machines.Names().empty()) return {std::nullopt, "aucun nom de machine dans les listes"};
  options.machines = machines.Names();
  return {std::move(options), {}};
}

std::string UsageText() {
  return "Utilisation : Appcensus_cli [options] [MACHINES | @FICHIER | -]...\r\n"
         "\r\n"
         "MACHINES                noms de machines s\u00e9par\u00e9s par \";\", sans nom vide ; \".\" ou rien :\r\n"
         "                        la machine locale\r\n"
         "@FICHIER                les noms de machines du fichier FICHIER (UTF-8, ou UTF-16 avec\r\n"
         "                        sa marque d'ordre des octets) : un ou plusieurs par ligne,\r\n"
         "                        s\u00e9par\u00e9s par \";\" ou des blancs ; \"#\" commence un commentaire\r\n"
         "-                       les noms de machines de l'entr\u00e9e standard, lus de m\u00eame\r\n"
         "                        Les listes se suivent dans l'ordre donn\u00e9 ; une machine d\u00e9j\u00e0\r\n"
         "                        nomm\u00e9e (sans tenir compte de la casse ni d'un \\\\ initial, ou\r\n"
         "                        \".\" et le nom de l'ordinateur) n'est lue qu'une fois ; un nom\r\n"
         "                        qui contient un caract\u00e8re de contr\u00f4le ou U+FFFD est refus\u00e9\r\n"
         "\r\n"
         "Options :\r\n"
         "  --format csv|json|tsv  format des enregistrements (csv par d\u00e9faut)\r\n"
         "  --filter TEXTE         seulement les applications dont le nom contient TEXTE,\r\n"
         "                         sans tenir compte de la casse (le filtre de la fen\u00eatre)\r\n"
         "  --visible-only         seulement les entr\u00e9es que la liste des applications de\r\n"
         "                         Windows montre : ni composant syst\u00e8me (SystemComponent non nul),\r\n"
         "                         ni mise \u00e0 jour (Update vrai), avec une commande de\r\n"
         "                         d\u00e9sinstallation\r\n"
         "  --sort name            enregistrements tri\u00e9s par machine, nom puis chemin dans le\r\n"
         "                         registre, tous \u00e9crits \u00e0 la fin (deux fichiers se comparent\r\n"
         "                         ligne \u00e0 ligne)\r\n"
         "  --timeout SECONDES     d\u00e9lai par machine, de 0 \u00e0 2147483647 (15 par d\u00e9faut) ; il\r\n"
         "                         court d\u00e8s que l'inventaire de la machine commence\r\n"
         "  --output FICHIER       \u00e9crit les enregistrements dans FICHIER, cr\u00e9\u00e9 ou remplac\u00e9 en\r\n"
         "                         entier \u00e0 la fin (v\u00e9rifi\u00e9 avant la premi\u00e8re machine) ; \"-\" :\r\n"
         "                         la sortie standard (par d\u00e9faut)\r\n"
         "  --report FICHIER       \u00e9crit dans FICHIER le compte rendu de chaque machine (voir\r\n"
         "                         plus bas), de la m\u00eame fa\u00e7on\r\n"
         "  --compare FICHIER      \u00e9crit, au lieu des enregistrements, ce qui a chang\u00e9 depuis\r\n"
         "                         FICHIER, une sortie json ant\u00e9rieure (voir plus bas)\r\n"
         "  --parallel N           inventorie jusqu'\u00e0 N machines de la liste \u00e0 la fois, de 1 \u00e0\r\n"
         "                         1024 (1 par d\u00e9faut : l'une apr\u00e8s l'autre) ; au-del\u00e0 de 64,\r\n"
         "                         64 \u00e0 la fois\r\n"
         "  --classic              seulement la cl\u00e9 Uninstall de la vue 64 bits, sans la vue\r\n"
         "                         32 bits, ni les installations par utilisateur, ni les packages\r\n"
         "  --start-remote-registry\r\n"
         "                         d\u00e9marre le service Registre \u00e0 distance d'une machine qui\r\n"
         "                         ne l'a pas en marche (de d\u00e9sactiv\u00e9, il passe en manuel), le\r\n"
         "                         temps de la lire, puis le remet dans son \u00e9tat d'origine\r\n"
         "  --quiet                seulement les erreurs sur la sortie d'erreur\r\n"
         "  --help                 affiche cette aide\r\n"
         "  --version              affiche la version\r\n";
}

std::string HelpText() {
  return "Appcensus_cli : les applications install\u00e9es sur une ou plusieurs machines, lues comme\r\n"
         "les lit Appcensus_multi.exe.\r\n"
         "\r\n" +
         UsageText() +
         "\r\n"
         "Sortie :\r\n"
         "  csv   les lignes de l'export de la fen\u00eatre, en-t\u00eate compris (UTF-8, fins de ligne CR LF)\r\n"
         "  json  un tableau d'objets aux champs DisplayName, DisplayVersion, InstallSource,\r\n"
         "        InstallDate, UninstallString, InstallLocation, ProductCode, Machine, KeyName,\r\n"
         "        Location (machine : vue 64 bits, machine32 : vue 32 bits, user : un utilisateur,\r\n"
         "        package : un package d'un utilisateur, provisioned : un package provisionn\u00e9\r\n"
         "        pour tout nouvel utilisateur), Sid et User (l'utilisateur d'une installation par\r\n"
         "        utilisateur ou d'un package), PackageFullName, PackageFamilyName et Architecture\r\n"
         "        (d'un package), Publisher (jamais pour un package),\r\n"
         "        EstimatedSize (taille en kilo-octets, un nombre), SystemComponent (bool\u00e9en),\r\n"
         "        ParentKeyName, ReleaseType, WindowsInstaller (bool\u00e9en), QuietUninstallString,\r\n"
         "        DisplayIcon et Update (bool\u00e9en : vrai pour une mise \u00e0 jour d'un autre produit,\r\n"
         "        qui a un ParentKeyName ou un ReleaseType Update, Hotfix ou Security Update) ;\r\n"
         "        une valeur absente vaut null\r\n"
         "  tsv   les m\u00eames champs s\u00e9par\u00e9s par des tabulations, sous une ligne de leurs noms ;\r\n"
         "        une valeur absente est un champ vide, un bool\u00e9en s'\u00e9crit true ou false ;\r\n"
         "        dans une valeur, \\ tabulation CR LF s'\u00e9crivent \\\\ \\t \\r \\n\r\n"
         "  Le champ Machine de la machine locale est le nom de l'ordinateur.\r\n"
         "  Les enregistrements et les messages restent group\u00e9s par machine, dans l'ordre de\r\n"
         "  la liste. Une machine injoignable ou hors d\u00e9lai ne donne aucun enregistrement :\r\n"
         "  l'en-t\u00eate (csv, tsv) ou le tableau vide (json) est \u00e9crit quand m\u00eame.\r\n"
         "  Les messages d'activit\u00e9 vont sur la sortie d'erreur, pr\u00e9c\u00e9d\u00e9s de leur niveau\r\n"
         "  ([info], [en cours], [termin\u00e9], [erreur]).\r\n"
         "\r\n"
         "Compte rendu (--report) :\r\n"
         "  un tableau JSON d'un objet par machine, dans l'ordre de la liste : machine (le nom\r\n"
         "  de l'ordinateur pour \".\"), status, records (le nombre d'enregistrements \u00e9crits pour\r\n"
         "  elle), seconds (la dur\u00e9e de son inventaire), sauf pour ok message (ce qu'il faut\r\n"
         "  faire), et remoteRegistry quand le service Registre \u00e0 distance a \u00e9t\u00e9 touch\u00e9\r\n"
         "  (started-and-restored, start-failed, restore-failed). Il est \u00e9crit aussi quand\r\n"
         "  aucune machine n'a pu \u00eatre inventori\u00e9e. Les status :\r\n"
         "    ok                  inventori\u00e9e\r\n"
         "    unresolved          nom inconnu\r\n"
         "    unreachable         pas de r\u00e9ponse sur le port 445 en 2 s, ou injoignable\r\n"
         "    refused             le port 445 refuse la connexion\r\n"
         "    no-remote-registry  le port 445 r\u00e9pond, mais pas le Registre \u00e0 distance\r\n"
         "    access-denied       acc\u00e8s refus\u00e9 (code 5)\r\n"
         "    logon-failure       ouverture de session refus\u00e9e (compte, mot de passe)\r\n"
         "    other-machine       une autre machine a r\u00e9pondu\r\n"
         "    timeout             d\u00e9lai d\u00e9pass\u00e9\r\n"
         "\r\n"
         "Comparaison (--compare) :\r\n"
         "  une entr\u00e9e est sa machine (sans tenir compte de la casse ; \".\" et le nom de\r\n"
         "  l'ordinateur sont une machine) et son chemin dans le registre. Change vaut added\r\n"
         "  (lue maintenant, absente de FICHIER), removed (dans FICHIER, pas lue maintenant) ou\r\n"
         "  changed (une autre valeur d'un champ : en json, Fields les nomme et Previous donne\r\n"
         "  leurs valeurs de FICHIER) ; csv et tsv ont Change en premi\u00e8re colonne, json un\r\n"
         "  champ Change en t\u00eate de chaque objet (les champs de maintenant, ceux de FICHIER\r\n"
         "  pour removed). Tri\u00e9 par machine, nom puis chemin dans le registre. Seules les\r\n"
         "  machines inventori\u00e9es maintenant sont compar\u00e9es (compared dans le compte\r\n"
         "  rendu) ; les autres machines de FICHIER sont laiss\u00e9es de c\u00f4t\u00e9, et --filter et\r\n"
         "  --visible-only valent aussi pour les entr\u00e9es de FICHIER.\r\n"
         "\r\n"
         "Codes de sortie :\r\n"
         "  0  toutes les machines ont \u00e9t\u00e9 inventori\u00e9es\r\n"
         "  1  au moins une machine non inventori\u00e9e pour une autre raison qu'un d\u00e9lai\r\n"
         "  2  ligne de commande incorrecte, fichier de sortie ou de compte rendu impossible \u00e0\r\n"
         "     cr\u00e9er ou \u00e0 \u00e9crire, ou \u00e9criture \u00e9chou\u00e9e sur la sortie standard (prime sur tout) ;\r\n"
         "     FICHIER de --compare illisible ou qui n'est pas une sortie json (avant toute machine)\r\n"
         "  3  d\u00e9lai d\u00e9pass\u00e9 pour au moins une machine (prime sur 1)\r\n"
         "\r\n"
         "Exemples :\r\n"
         "  Appcensus_cli . --output local.csv\r\n"
         "  Appcensus_cli \"SRV1;SRV2;SRV3\" --format json --parallel 3 --timeout 60\r\n"
         "  Appcensus_cli @parc.txt --format json --report rapport.json --quiet --sort name\r\n"
         "  Appcensus_cli SRV1 --filter office --format tsv --visible-only\r\n"
         "  Appcensus_cli @parc.txt --compare hier.json --format json --output changements.json\r\n";
}

}  // namespace appcensus::cli
