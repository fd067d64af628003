// The console program: its command line, its output formats, and the whole program against
// simulated machines (exit codes, grouping per machine with --parallel, progress line).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>
#include <semaphore>

#include "cli/cli_program.h"
#include "cli/record_output.h"
#include "export/csv_format.h"
#include "settings/stored_settings.h"
#include "tests/support/inventory_run.h"
#include "tests/support/memory_registry.h"

namespace appcensus::cli {
namespace {

using namespace std::chrono_literals;

// The options read, as one line.
std::string Shown(const CliOptions& options) {
  std::string text = "format " + std::to_string(static_cast<int>(options.format)) + ", parallel " +
                     std::to_string(options.parallel) + ", machines";
  for (const Text& machine : options.machines) text += " " + TextToUtf8(machine);
  if (!options.filter.empty()) text += ", filter " + TextToUtf8(options.filter);
  if (options.timeoutSeconds) text += ", timeout " + std::to_string(*options.timeoutSeconds);
  if (options.outputPath) text += ", output " + TextToUtf8(*options.outputPath);
  return text + (options.help ? ", help" : "") + (options.version ? ", version" : "");
}

TEST(CliOptions, EveryOptionInBothSpellingsAndAnyPlace) {
  const std::pair<std::vector<Text>, const char*> cases[] = {  // format 0 csv, 1 json, 2 tsv
      {{u""}, "format 0, parallel 1, machines ."},
      // Lists as in the machine box: exact duplicates once, in first place.
      {{u"a;B;a", u"b;."}, "format 0, parallel 1, machines a B b ."},
      {{u"SRV1", u"--format", u"JSON", u"--filter=Off ice", u"--timeout", u"0", u"SRV2", u"--output=C:\\\u00e9.json",
        u"--parallel", u"1024", u"--timeout=2147483647"},
       "format 1, parallel 1024, machines SRV1 SRV2, filter Off ice, timeout 2147483647, output C:\\\u00e9.json"},
      {{u"--format=tsv", u"--filter", u"", u"--timeout", u"0"}, "format 2, parallel 1, machines ., timeout 0"},
      {{u"-h", u"/?", u"--help", u"--version"}, "format 0, parallel 1, machines ., help, version"},
      // After "--" an argument that looks like an option is a machine name.
      {{u"--", u"-odd", u"--help"}, "format 0, parallel 1, machines -odd --help"},
  };
  for (const auto& [arguments, options] : cases) {
    const auto parsed = ParseCommandLine(arguments);
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(Shown(*parsed.options), options);
  }
}

TEST(CliOptions, RefusesBadCommandLinesWithOneLineReasons) {
  const std::pair<std::vector<Text>, const char*> cases[] = {  // the reason is part of the error line
      {{u"--bogus"}, "option inconnue \"--bogus\""},
      {{u"SRV1", u"--timeout"}, "--timeout attend une valeur"},
      {{u"--format", u"xml"}, "format inconnu \"xml\""},
      {{u"--timeout", u""}, "--timeout attend un nombre de secondes"},
      {{u"--timeout", u"-1"}, "--timeout attend un nombre de secondes"},
      {{u"--timeout", u"2147483648"}, "--timeout attend un nombre de secondes"},
      {{u"--parallel", u"0"}, "--parallel attend un nombre de 1 \u00e0 1024"},
      {{u"--parallel", u"1025"}, "--parallel attend un nombre de 1 \u00e0 1024"},
      {{u"--parallel", u"18446744073709551617"}, "--parallel attend un nombre de 1 \u00e0 1024"},
      {{u"--output="}, "--output attend un nom de fichier non vide"},
      {{u"--help=yes"}, "--help ne prend pas de valeur"},
      {{u"SRV1", u";SRV2"}, "nom de machine vide dans la liste \"SRV1;;SRV2\""},
  };
  for (const auto& [arguments, reason] : cases) {
    const auto parsed = ParseCommandLine(arguments);
    EXPECT_FALSE(parsed.options) << reason;
    EXPECT_NE(parsed.error.find(reason), std::string::npos) << parsed.error;
    EXPECT_EQ(parsed.error.find_first_of("\r\n"), std::string::npos) << parsed.error;
  }
}

TEST(RecordOutput, JsonAndTsvEscapes) {
  const struct {
    Text value;
    std::string json;
    std::string tsv;
  } cases[] = {
      {u"caf\u00e9 \U0001D11E", "\"caf\xc3\xa9 \xf0\x9d\x84\x9e\"", "caf\xc3\xa9 \xf0\x9d\x84\x9e"},
      {u"a\"b\\c/d", "\"a\\\"b\\\\c/d\"", "a\"b\\\\c/d"},
      {u"\b\f\n\r\t", "\"\\b\\f\\n\\r\\t\"", "\b\f\\n\\r\\t"},
      {Text(u"\x01\x1f\0\x7f", 4), "\"\\u0001\\u001f\\u0000\x7f\"", std::string("\x01\x1f\0\x7f", 4)},
      // Unpaired surrogates: the replacement character, as in the csv format.
      {Text(1, char16_t(0xD800)) + u"x", "\"\xef\xbf\xbdx\"", "\xef\xbf\xbdx"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JsonString(c.value), c.json);
    EXPECT_EQ(TsvValue(c.value), c.tsv);
  }
}

// The pieces of one output: opening, the records of each machine, closing.
std::string Joined(OutputFormat format, const std::vector<std::vector<ApplicationRecord>>& machines) {
  RecordOutput output(format);
  std::string out = output.Opening();
  for (const auto& records : machines) out += output.Records(records);
  return out + output.Closing();
}

TEST(RecordOutput, EveryFormatHoldsTheRecordsOfAllMachinesInOneDocument) {
  const ApplicationRecord a{u"\u00c9diteur; \"pro\"", u"=1+1", u" - ", u"06/06/2011", u"", u"C:\\A\\", u"", u"S1", u"{6C}"};
  const ApplicationRecord b{u"Tab\there\r\nnext", u"-2", u"", u"", u"", u"", u"", u"SRV2", u"Key\\x"};
  EXPECT_EQ(Joined(OutputFormat::Csv, {{a}, {}, {b}}), CsvDocument({a, b}));
  EXPECT_EQ(Joined(OutputFormat::Json, {{}, {}}), "[]\r\n");
  // Read back by nlohmann-json, which refuses malformed JSON and invalid UTF-8.
  std::vector<ApplicationRecord> read;
  for (const auto& object : nlohmann::json::parse(Joined(OutputFormat::Json, {{a}, {}, {b}}))) {
    ApplicationRecord& record = read.emplace_back();
    for (const auto& field : kRecordFields) record.*field.member = Utf8ToText(object.at(field.name).get<std::string>());
  }
  EXPECT_EQ(read, (std::vector{a, b}));
  EXPECT_EQ(Joined(OutputFormat::Tsv, {{b}}),
            "DisplayName\tDisplayVersion\tInstallSource\tInstallDate\tUninstallString\tInstallLocation\t"
            "ProductCode\tMachine\tKeyName\r\nTab\\there\\r\\nnext\t-2\t\t\t\t\t\tSRV2\tKey\\\\x\r\n");
}

MemoryMachine& PutApps(MemoryMachine& machine, std::vector<Text> names) {
  for (const Text& name : names) machine.SetString(Text(kUninstallKeyPath) + u"\\{" + name + u"}", u"DisplayName", name);
  return machine;
}

// Holds each connection to SLOW until FAST2 has been connected to (10 s at most): SLOW ends
// within its limit only when the machines are inventoried at once.
class OrderingRegistry : public MemoryRegistry {
 public:
  long ConnectRegistry(const char16_t* machine, RegKey root, RegKey* result) override {
    if (Text(machine) == u"FAST2") fast2Connected_.release();
    if (Text(machine) == u"SLOW" && fast2Connected_.try_acquire_for(10s)) fast2Connected_.release();
    return MemoryRegistry::ConnectRegistry(machine, root, result);
  }

 private:
  std::counting_semaphore<> fast2Connected_{0};
};

struct Outcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs the program against the registry in place, and waits for the jobs it abandoned.
Outcome RunProgram(const std::vector<Text>& arguments, bool errorIsConsole = false) {
  Outcome outcome;
  CliEnvironment environment;
  environment.writeOutput = [&](std::string_view bytes) { outcome.out += bytes; };
  environment.writeError = [&](std::string_view bytes) { outcome.err += bytes; };
  environment.errorIsConsole = errorIsConsole;
  environment.writeFile = [](TextView, std::string_view) { return false; };  // a file that cannot be written
  environment.identityWait = 20s;
  CliProgram program(environment);
  outcome.exitCode = program.Run(arguments);
  EXPECT_TRUE(program.WaitForLateWork(20s));
  return outcome;
}

TEST(CliProgram, ExitCodesWithTheirMessages) {
  MemoryRegistry registry;
  ScopedRegistryApi scope(registry);
  PutApps(registry.AddMachine(u"SRV1"), {u"a", u"b"});
  registry.AddMachine(u"GONE").SetFaults({.unreachable = true});
  registry.AddMachine(u"REAL").AddAlias(u"OTHER");
  PutApps(registry.AddMachine(u"LATE"), {u"a", u"b", u"c", u"d"}).SetFaults({.delayPerCall = 50ms});
  // The window's stored time limit: 1 second, unless --timeout says otherwise.
  registry.Local().SetDword(kSettingsKeyPath, kTimeLimitValue, 1);

  const struct {
    std::vector<Text> arguments;
    int exitCode;
    const char* shown;  // part of standard output or error
  } cases[] = {
      {{u"SRV1"}, kExitListed, "[termin\u00e9] Traitement termin\u00e9 sur la machine SRV1\r\n"},
      {{u"GONE"}, kExitUnreachable, "[erreur] Impossible de contacter la machine GONE.\r\n"},
      {{u"OTHER", u"--parallel", u"2"}, kExitUnreachable, "[erreur] [TestMachine] : Le nom de machine est diff"},
      {{u"LATE"}, kExitTimeLimit, "[info] 1 secondes de temp d'attente pour le traitement de la machine\r\n"},
      {{u"SRV1", u"--timeout", u"0"}, kExitTimeLimit, "Impossible de r\u00e9cuperer les informations de la machine."},
      {{u"GONE;LATE"}, kExitTimeLimit, "[en cours] "},  // the time limit outweighs a machine that does not answer
      {{u"SRV1", u"--parallel", u"0"}, kExitUsage, "Appcensus_cli : --parallel attend un nombre de 1 \u00e0 1024"},
      {{u"SRV1", u"--output", u"x.csv"}, kExitUsage, "Appcensus_cli : impossible d'\u00e9crire le fichier \"x.csv\"\r\n"},
      {{u"--help"}, kExitListed, "Utilisation : Appcensus_cli"},
  };
  for (const auto& c : cases) {
    const Outcome outcome = RunProgram(c.arguments);
    EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.err;
    EXPECT_NE((outcome.out + outcome.err).find(c.shown), std::string::npos) << outcome.out << outcome.err;
  }
}

TEST(CliProgram, ParallelMachinesReportGroupedInListOrder) {
  OrderingRegistry registry;
  ScopedRegistryApi scope(registry);
  PutApps(registry.AddMachine(u"SLOW"), {u"a", u"b"}).SetFaults({.delayPerCall = 5ms});  // ends after the others
  PutApps(registry.AddMachine(u"FAST1"), {u"a", u"b"});
  PutApps(registry.AddMachine(u"FAST2"), {u"a", u"b"});
  const Outcome outcome = RunProgram({u"SLOW;FAST1;FAST2", u"--parallel", u"3", u"--timeout", u"8"});
  ASSERT_EQ(outcome.exitCode, kExitListed) << outcome.err;

  std::vector<ApplicationRecord> expected;
  for (const char16_t* name : {u"SLOW", u"FAST1", u"FAST2"})
    for (const auto& record : testing::InventoryRun().Records(name)) expected.push_back(record);
  EXPECT_EQ(outcome.out, CsvDocument(expected));
  // The machines named in the messages, one after the other: never back to an earlier one.
  std::string named;
  const std::regex machine("SLOW|FAST1|FAST2");
  for (std::sregex_iterator it(outcome.err.begin(), outcome.err.end(), machine), end; it != end; ++it)
    if (!named.ends_with(it->str() + " ")) named += it->str() + " ";
  EXPECT_EQ(named, "SLOW FAST1 FAST2 ") << outcome.err;
}

TEST(CliProgram, ProgressLineOnlyOnAConsole) {
  MemoryRegistry registry;
  ScopedRegistryApi scope(registry);
  PutApps(registry.Local(), {u"a", u"b", u"c", u"d", u"e", u"f", u"g", u"h", u"i", u"j", u"k", u"l"});
  const std::string console = RunProgram({}, true).err;
  EXPECT_NE(console.find("\r. : 12 / 12"), std::string::npos) << console;
  // The progress line is wiped before each message: what follows a line's last CR is the message.
  for (std::size_t start = 0, end; (end = console.find("\r\n", start)) != std::string::npos; start = end + 2) {
    const std::string line = console.substr(start, end - start);
    EXPECT_EQ(line.substr(line.rfind('\r') + 1).front(), '[') << line;
  }
  EXPECT_EQ(RunProgram({}, false).err.find("\r. : "), std::string::npos);
}

}  // namespace
}  // namespace appcensus::cli
