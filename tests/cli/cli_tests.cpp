// The console program: its command line, its output formats, and the whole program against
// simulated machines (exit codes, grouping per machine with --parallel, the progress line).
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <regex>
#include <semaphore>

#include "cli/cli_program.h"
#include "cli/record_output.h"
#include "settings/stored_settings.h"
#include "tests/support/inventory_run.h"
#include "tests/support/memory_registry.h"

namespace appcensus::cli {
namespace {

using namespace std::chrono_literals;

TEST(CliOptions, EveryOptionInBothSpellingsAndAnyPlace) {
  const auto parsed = ParseCommandLine({u"a;B;a", u"--format", u"JSON", u"--filter=Off ice", u"", u"--timeout", u"0",
                                        u"b;.", u"--output=C:\\\u00e9.json", u"--parallel", u"1024",
                                        u"--timeout=2147483647", u"-h", u"/?", u"--version", u"--", u"--help"});
  ASSERT_TRUE(parsed.options) << parsed.error;
  const CliOptions& options = *parsed.options;
  // Lists as in the machine box, exact duplicates once; after "--" an option's name is a machine's.
  EXPECT_EQ(options.machines, (std::vector<Text>{u"a", u"B", u"b", u".", u"--help"}));
  EXPECT_EQ(options.format, OutputFormat::Json);
  EXPECT_EQ(options.filter, u"Off ice");
  EXPECT_EQ(options.timeoutSeconds, 2147483647);  // the last one given
  EXPECT_EQ(options.outputPath, Text(u"C:\\\u00e9.json"));
  EXPECT_EQ(options.parallel, 1024);
  EXPECT_TRUE(options.help && options.version);
  EXPECT_EQ(ParseCommandLine({u"--format=tsv"}).options.value().format, OutputFormat::Tsv);
  EXPECT_EQ(ParseCommandLine({}).options.value().machines, std::vector<Text>{u"."});  // no machine: this one
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

TEST(RecordOutput, JsonAndTsvEscapesAndTheTsvLines) {
  const std::tuple<Text, std::string, std::string> cases[] = {  // value, json, tsv
      {u"caf\u00e9 \U0001D11E", "\"caf\xc3\xa9 \xf0\x9d\x84\x9e\"", "caf\xc3\xa9 \xf0\x9d\x84\x9e"},
      {u"a\"b\\c/d", "\"a\\\"b\\\\c/d\"", "a\"b\\\\c/d"},
      {u"\b\f\n\r\t", "\"\\b\\f\\n\\r\\t\"", "\b\f\\n\\r\\t"},
      {Text(u"\x01\x1f\0\x7f", 4), "\"\\u0001\\u001f\\u0000\x7f\"", std::string("\x01\x1f\0\x7f", 4)},
      {Text(1, char16_t(0xD800)) + u"x", "\"\xef\xbf\xbdx\"", "\xef\xbf\xbdx"},  // U+FFFD, as in the csv format
  };
  for (const auto& [value, json, tsv] : cases) {
    EXPECT_EQ(JsonString(value), json);
    EXPECT_EQ(TsvValue(value), tsv);
  }
  // Where each entry was installed: the 64-bit view, the 32-bit view, a user's hive (whose
  // account resolves on SRV2 only).
  const AccountNames accounts = [](TextView machine, TextView sid) {
    return machine == u"SRV2" && sid == u"S-1-5-21-7" ? Text(u"CORP\\ana") : Text();
  };
  ApplicationRecord record{u"Tab\there", u"-2", u"", u"", u"", u"", u"", u"SRV2", u"Key\\x"};
  std::vector<ApplicationRecord> records(4, record);
  records[1].UninstallKeyPath = kUninstallKeyPath32;
  records[2].UninstallKeyPath = Text(kUsersRootPath) + u"S-1-5-21-7" + kUserUninstallSubKey;
  records[3] = records[2];
  records[3].Machine = u"SRV3";
  RecordOutput tsv(OutputFormat::Tsv, accounts);
  EXPECT_EQ(tsv.Opening(), "DisplayName\tDisplayVersion\tInstallSource\tInstallDate\tUninstallString\tInstallLocation\t"
                           "ProductCode\tMachine\tKeyName\tLocation\tSid\tUser\r\n");
  EXPECT_EQ(tsv.Records({records[0], records[2]}),
            "Tab\\there\t-2\t\t\t\t\t\tSRV2\tKey\\\\x\tmachine\t\t\r\n"
            "Tab\\there\t-2\t\t\t\t\t\tSRV2\tKey\\\\x\tuser\tS-1-5-21-7\tCORP\\\\ana\r\n");
  RecordOutput json(OutputFormat::Json, accounts);
  const auto objects = nlohmann::json::parse(json.Opening() + json.Records(records) + json.Closing());
  const std::tuple<const char*, nlohmann::json, nlohmann::json> where[] = {
      {"machine", nullptr, nullptr}, {"machine32", nullptr, nullptr},
      {"user", "S-1-5-21-7", "CORP\\ana"}, {"user", "S-1-5-21-7", nullptr}};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(objects[i]["Location"], std::get<0>(where[i])) << i;
    EXPECT_EQ(objects[i]["Sid"], std::get<1>(where[i])) << i;
    EXPECT_EQ(objects[i]["User"], std::get<2>(where[i])) << i;
  }
}

MemoryMachine& PutApps(MemoryMachine& machine, std::vector<Text> names) {
  for (const Text& name : names) machine.SetString(Text(kUninstallKeyPath) + u"\\{" + name + u"}", u"DisplayName", name);
  return machine;
}

// Holds each connection to SLOW until FAST2 has been connected to (20 s at most): SLOW ends
// within its limit (15 s) only when the machines are inventoried at once.
class OrderingRegistry : public MemoryRegistry {
 public:
  long ConnectRegistry(const char16_t* machine, RegKey root, RegKey* result) override {
    if (Text(machine) == u"FAST2") fast2Connected_.release();
    if (Text(machine) == u"SLOW" && fast2Connected_.try_acquire_for(20s)) fast2Connected_.release();
    return MemoryRegistry::ConnectRegistry(machine, root, result);
  }
  std::counting_semaphore<> fast2Connected_{0};
};

// Runs the program against the registry in place and waits for the jobs it abandoned: its exit
// code, standard output and standard error.
std::tuple<int, std::string, std::string> RunProgram(const std::vector<Text>& arguments, bool errorIsConsole = false) {
  std::string out;
  std::string err;
  CliEnvironment environment;
  environment.writeOutput = [&](std::string_view bytes) { out += bytes; };
  environment.writeError = [&](std::string_view bytes) { err += bytes; };
  environment.errorIsConsole = errorIsConsole;
  environment.writeFile = [](TextView, std::string_view) { return false; };  // a file that cannot be written
  environment.identityWait = 20s;
  CliProgram program(environment);
  const int exitCode = program.Run(arguments);
  EXPECT_TRUE(program.WaitForLateWork(20s));
  return {exitCode, out, err};
}

TEST(CliProgram, ExitCodesWithTheirMessages) {
  MemoryRegistry registry;
  ScopedRegistryApi scope(registry);
  PutApps(registry.AddMachine(u"SRV1"), {u"a", u"b"});
  registry.AddMachine(u"GONE").SetFaults({.unreachable = true});
  PutApps(registry.AddMachine(u"LATE"), {u"a", u"b", u"c", u"d"}).SetFaults({.roundTrip = 50ms});
  // The window's stored time limit: 1 second, unless --timeout says otherwise.
  registry.Local().SetDword(kSettingsKeyPath, kTimeLimitValue, 1);

  const std::tuple<std::vector<Text>, int, const char*> cases[] = {  // arguments, exit code, part of the output
      {{u"SRV1"}, kExitListed, "[termin\u00e9] Traitement termin\u00e9 sur la machine SRV1\r\n"},
      {{u"SRV1;GONE", u"--parallel", u"2"}, kExitUnreachable, "[erreur] Impossible de contacter la machine GONE.\r\n"},
      {{u"LATE"}, kExitTimeLimit, "[info] 1 secondes de temp d'attente pour le traitement de la machine\r\n"},
      {{u"LATE", u"--timeout", u"0"}, kExitTimeLimit, "[info] 0 secondes de temp d'attente pour le traitement"},
      // The time limit outweighs a machine that does not answer.
      {{u"GONE;LATE"}, kExitTimeLimit, "[erreur] Impossible de r\u00e9cuperer les informations de la machine.\r\n"},
      {{u"SRV1", u"--parallel", u"0"}, kExitUsage, "Appcensus_cli : --parallel attend un nombre de 1 \u00e0 1024"},
      {{u"SRV1", u"--output", u"x.csv"}, kExitUsage, "Appcensus_cli : impossible d'\u00e9crire le fichier \"x.csv\"\r\n"},
      {{u"--help"}, kExitListed, "Utilisation : Appcensus_cli"},
  };
  for (const auto& [arguments, code, shown] : cases) {
    const auto [exitCode, out, err] = RunProgram(arguments);
    EXPECT_EQ(exitCode, code) << err;
    EXPECT_NE((out + err).find(shown), std::string::npos) << out << err;
    EXPECT_EQ(std::ranges::count(err, '\r'), std::ranges::count(err, '\n')) << "a progress line off a console";
  }
}

TEST(CliProgram, ParallelMachinesReportGroupedInListOrderAsJsonWithTheProgressLineOnAConsole) {
  OrderingRegistry registry;
  ScopedRegistryApi scope(registry);
  PutApps(registry.AddMachine(u"SLOW"), {u"a", u"b"}).SetFaults({.roundTrip = 5ms});  // ends after the others
  PutApps(registry.AddMachine(u"FAST1"), {u"a", u"b"});
  PutApps(registry.AddMachine(u"FAST2"), {u"a", u"b"});
  const auto [exitCode, out, err] = RunProgram({u"SLOW;FAST1;FAST2", u"--parallel", u"3", u"--format=json"}, true);
  ASSERT_EQ(exitCode, kExitListed) << err;
  EXPECT_NE(err.find("\rSLOW : 2 / 2"), std::string::npos) << err;
  // The progress line is wiped before each message: what follows a line's last CR is the message.
  for (std::size_t start = 0, end; (end = err.find("\r\n", start)) != std::string::npos; start = end + 2) {
    const std::string line = err.substr(start, end - start);
    EXPECT_EQ(line.substr(line.rfind('\r') + 1).front(), '[') << line;
  }

  std::vector<ApplicationRecord> expected;
  for (const char16_t* name : {u"SLOW", u"FAST1", u"FAST2"})
    for (const auto& record : testing::InventoryRun().Records(name)) expected.push_back(record);
  // Read back by nlohmann-json, which refuses malformed JSON and invalid UTF-8.
  std::vector<ApplicationRecord> read;
  for (const auto& object : nlohmann::json::parse(out)) {
    ApplicationRecord& record = read.emplace_back();
    for (const auto& field : kRecordFields) record.*field.member = Utf8ToText(object.at(field.name).get<std::string>());
  }
  EXPECT_EQ(read, expected);
  // The machines named in the messages and progress, one after the other: never back to an earlier one.
  std::string named;
  const std::regex machine("SLOW|FAST1|FAST2");
  for (std::sregex_iterator it(err.begin(), err.end(), machine), end; it != end; ++it)
    if (!named.ends_with(it->str() + " ")) named += it->str() + " ";
  EXPECT_EQ(named, "SLOW FAST1 FAST2 ") << err;
}

}  // namespace
}  // namespace appcensus::cli
