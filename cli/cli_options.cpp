#include "cli/cli_options.h"

#include <algorithm>

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

enum class Option { Format, Filter, Timeout, Output, Parallel, Classic, Help, Version };

struct OptionName {
  const char16_t* name;
  Option option;
  bool takesValue;
};

constexpr OptionName kOptions[] = {
    {u"--format", Option::Format, true},   {u"--filter", Option::Filter, true},
    {u"--timeout", Option::Timeout, true}, {u"--output", Option::Output, true},
    {u"--parallel", Option::Parallel, true}, {u"--help", Option::Help, false},
    {u"-h", Option::Help, false},          {u"/?", Option::Help, false},
    {u"--version", Option::Version, false}, {u"--classic", Option::Classic, false},
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
      options.outputPath = Text(value);
      return {};
    case Option::Parallel: {
      const auto count = WholeNumber(value, kMaxParallel);
      if (!count || *count < 1)
        return name + " attend un nombre de 1 à " + std::to_string(kMaxParallel) + ", pas " + Quoted(value);
      options.parallel = static_cast<int>(*count);
      return {};
    }
    case Option::Classic:
      options.classic = true;
      return {};
    case Option::Help:
      options.help = true;
      return {};
    case Option::Version:
      options.version = true;
      return {};
  }
  return {};
}

}  // namespace

std::vector<Text> SplitMachineList(TextView list) {
  if (list.empty()) return {u"."};
  std::vector<Text> machines;
  const std::size_t count = CountFields(list, u';');
  for (std::size_t i = 0; i < count; ++i) {
    Text machine = NthField(list, u';', i);
    if (std::find(machines.begin(), machines.end(), machine) == machines.end()) machines.push_back(std::move(machine));
  }
  return machines;
}

ParsedCommandLine ParseCommandLine(const std::vector<Text>& arguments) {
  CliOptions options;
  Text machineList;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const Text& argument = arguments[i];
    const bool looksLikeOption =
        !optionsEnded && (argument.starts_with(u"-") || argument == u"/?") && argument != u"-";
    if (!looksLikeOption) {
      if (argument.empty()) continue;
      if (!machineList.empty()) machineList += u';';
      machineList += argument;
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
      if (!option->takesValue) return {std::nullopt, TextToUtf8(name) + " ne prend pas de valeur"};
      value = argument.substr(equals + 1);
    } else if (option->takesValue) {
      if (i + 1 >= arguments.size()) return {std::nullopt, TextToUtf8(name) + " attend une valeur"};
      value = arguments[++i];
    }
    std::string error = Apply(*option, value, options);
    if (!error.empty()) return {std::nullopt, std::move(error)};
  }
  options.machines = SplitMachineList(machineList);
  // The window's job would report an empty name as a machine it cannot contact.
  if (std::find(options.machines.begin(), options.machines.end(), Text()) != options.machines.end())
    return {std::nullopt, "nom de machine vide dans la liste " + Quoted(machineList)};
  return {std::move(options), {}};
}

std::string UsageText() {
  return "Utilisation : Appcensus_cli [options] [MACHINES]\r\n"
         "\r\n"
         "MACHINES                noms de machines s\u00e9par\u00e9s par \";\" (plusieurs arguments se suivent\r\n"
         "                        dans la m\u00eame liste, sans nom vide) ; \".\" ou rien : la machine\r\n"
         "                        locale\r\n"
         "\r\n"
         "Options :\r\n"
         "  --format csv|json|tsv  format des enregistrements (csv par d\u00e9faut)\r\n"
         "  --filter TEXTE         seulement les applications dont le nom contient TEXTE,\r\n"
         "                         sans tenir compte de la casse (le filtre de la fen\u00eatre)\r\n"
         "  --timeout SECONDES     d\u00e9lai par machine, de 0 \u00e0 2147483647 ; par d\u00e9faut le d\u00e9lai\r\n"
         "                         enregistr\u00e9 par la fen\u00eatre, sinon 15\r\n"
         "  --output FICHIER       \u00e9crit les enregistrements dans FICHIER, cr\u00e9\u00e9 ou remplac\u00e9 en\r\n"
         "                         entier, au lieu de la sortie standard\r\n"
         "  --parallel N           inventorie jusqu'\u00e0 N machines de la liste \u00e0 la fois, de 1 \u00e0\r\n"
         "                         1024 (1 par d\u00e9faut : l'une apr\u00e8s l'autre)\r\n"
         "  --classic              seulement la cl\u00e9 Uninstall de la vue 64 bits, sans la vue\r\n"
         "                         32 bits ni les installations par utilisateur\r\n"
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
         "        Location (machine : vue 64 bits, machine32 : vue 32 bits, user : un utilisateur),\r\n"
         "        Sid et User (l'utilisateur d'une installation par utilisateur, null sinon)\r\n"
         "  tsv   les m\u00eames champs s\u00e9par\u00e9s par des tabulations, sous une ligne de leurs noms ;\r\n"
         "        dans une valeur, \\ tabulation CR LF s'\u00e9crivent \\\\ \\t \\r \\n\r\n"
         "  Les enregistrements et les messages restent group\u00e9s par machine, dans l'ordre de\r\n"
         "  la liste ; une machine nomm\u00e9e deux fois \u00e0 l'identique n'est lue qu'une fois. Une\r\n"
         "  machine injoignable ou hors d\u00e9lai ne donne aucun enregistrement : l'en-t\u00eate (csv,\r\n"
         "  tsv) ou le tableau vide (json) est \u00e9crit quand m\u00eame.\r\n"
         "  Les messages d'activit\u00e9 vont sur la sortie d'erreur, pr\u00e9c\u00e9d\u00e9s de leur niveau\r\n"
         "  ([info], [en cours], [termin\u00e9], [erreur]). Le d\u00e9lai enregistr\u00e9 n'est pas modifi\u00e9.\r\n"
         "\r\n"
         "Codes de sortie :\r\n"
         "  0  toutes les machines ont \u00e9t\u00e9 inventori\u00e9es\r\n"
         "  1  au moins une machine injoignable ou qui n'est pas celle nomm\u00e9e\r\n"
         "  2  ligne de commande incorrecte, ou fichier de sortie impossible \u00e0 \u00e9crire\r\n"
         "  3  d\u00e9lai d\u00e9pass\u00e9 pour au moins une machine (prime sur 1)\r\n"
         "\r\n"
         "Exemples :\r\n"
         "  Appcensus_cli . --output local.csv\r\n"
         "  Appcensus_cli \"SRV1;SRV2;SRV3\" --format json --parallel 3 --timeout 60\r\n"
         "  Appcensus_cli SRV1 --filter office --format tsv\r\n";
}

}  // namespace appcensus::cli
