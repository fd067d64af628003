// The console program: its command line and machine lists, its output formats, and the whole
// program against simulated machines (exit codes, the report, the records chosen and sorted,
// output errors, grouping per machine with --parallel, the progress line).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
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

TEST(CliOptions, EveryOptionInBothSpellingsAndAnyPlace) {
  const auto parsed = ParseCommandLine({u"a;B;a", u"--format", u"JSON", u"--filter=Off ice", u"", u"--timeout", u"0",
                                        u"b;.;\\\\A", u"--output=C:\\\u00e9.json", u"--parallel", u"1024", u"--report=r.json",
                                        u"--timeout=2147483647", u"-h", u"/?", u"--version", u"--quiet", u"--visible-only",
                                        u"--start-remote-registry", u"--sort", u"NAME", u"--compare=a.json", u"--", u"--help", u"-", u"@x"});
  ASSERT_TRUE(parsed.options) << parsed.error;
  const CliOptions& options = *parsed.options;
  // Lists as in the machine box, each machine once (letter case and a leading \\ ignored); after "--" an
  // option's or a list's name is a machine's.
  EXPECT_EQ(options.machines, (std::vector<Text>{u"a", u"B", u".", u"--help", u"-", u"@x"}));
  EXPECT_EQ(options.format, OutputFormat::Json);
  EXPECT_EQ(options.filter, u"Off ice");
  EXPECT_EQ(options.timeoutSeconds, 2147483647);  // the last one given
  EXPECT_EQ(options.outputPath, Text(u"C:\\\u00e9.json"));
  EXPECT_EQ(options.reportPath, Text(u"r.json"));
  EXPECT_EQ(options.comparePath, Text(u"a.json"));
  EXPECT_EQ(options.parallel, 1024);
  EXPECT_TRUE(options.help && options.version && options.quiet && options.visibleOnly && options.sortByName &&
              options.startRemoteRegistry);
  EXPECT_EQ(ParseCommandLine({u"--format=tsv"}).options.value().format, OutputFormat::Tsv);
  EXPECT_FALSE(ParseCommandLine({}).options.value().startRemoteRegistry);
  EXPECT_EQ(ParseCommandLine({}).options.value().machines, std::vector<Text>{u"."});  // no machine: this one
}

TEST(CliOptions, MachineListsInEitherEncodingWithComments) {
  using namespace std::string_literals;
  const std::pair<std::string, std::vector<Text>> lists[] = {  // bytes, names
      {"a b;;c\r\n\r\n# d e\n \td#e;f\n\vg", {u"a", u"b", u"c", u"d", u"g"}},
      {"\xEF\xBB\xBF" "caf\xC3\xA9 x;", {u"caf\u00e9", u"x"}},
      {"\xFF\xFE" "\xE9\0 \0\x16\x04\r\0\n\0#\0y\0\n\0z\0"s, {u"\u00e9", u"\u0416", u"z"}},  // UTF-16, either byte order
      {"# none\r\n", {}}, {"d1 # c\rd2\rd3\r", {u"d1", u"d2", u"d3"}}};  // CR alone ends a line
  for (const auto& [bytes, names] : lists) EXPECT_EQ(MachineListNames(bytes), names) << bytes;
}

TEST(CliOptions, RefusesBadCommandLinesWithOneLineReasons) {
  const char* const seconds = "--timeout attend un nombre de secondes";
  const char* const oneTo1024 = "--parallel attend un nombre de 1 \u00e0 1024";
  using namespace std::string_literals;
  // An empty list, one in UTF-16 without its byte-order mark; standard input closed.
  const MachineSources sources{[](TextView path) { return path == u"missing.txt" ? std::nullopt : std::optional(path == u"empty.txt" ? "# none"s : "V\0M\0"s); },
                               [] { return std::optional<std::string>(); }, {}};
  const std::pair<std::vector<Text>, const char*> cases[] = {  // the reason is part of the error line
      {{u"--bogus"}, "option inconnue \"--bogus\""},
      {{u"SRV1", u"--timeout"}, "--timeout attend une valeur"},
      {{u"--format", u"xml"}, "format inconnu \"xml\""},
      {{u"--timeout", u""}, seconds}, {{u"--timeout", u"-1"}, seconds}, {{u"--timeout", u"2147483648"}, seconds},
      {{u"--parallel", u"0"}, oneTo1024}, {{u"--parallel", u"1025"}, oneTo1024},
      {{u"--parallel", u"18446744073709551617"}, oneTo1024},
      {{u"--output="}, "--output attend un nom de fichier non vide"},
      {{u"--report", u"-"}, "--report attend un nom de fichier"}, {{u"--compare="}, "--compare attend un nom de fichier"},
      {{u"--sort", u"size"}, "--sort attend \"name\", pas \"size\""},
      {{u"--help=yes"}, "--help ne prend pas de valeur"},
      {{u"SRV1", u";SRV2"}, "nom de machine vide dans la liste \";SRV2\""},
      {{u"SRV1", u"@missing.txt"}, "impossible de lire la liste de machines \"missing.txt\""},
      {{u"SRV1", u"-"}, "impossible de lire la liste de machines de l'entr\u00e9e standard"},
      {{u"SRV1", u"@utf16.txt"}, "le nom n\u00b0 1 de la liste \"utf16.txt\" contient le caract\u00e8re interdit U+0000"},
      {{u"--quiet", u"SRV1;S\uFFFD"}, "le nom n\u00b0 2 de l'argument n\u00b0 2 contient le caract\u00e8re interdit U+FFFD"},
      {{u"@empty.txt"}, "aucun nom de machine dans les listes"},
  };
  for (const auto& [arguments, reason] : cases) {
    const auto parsed = ParseCommandLine(arguments, sources);
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
  // account resolves on SRV2 only), a user's package, a provisioned one.
  const AccountNames accounts = [](TextView machine, TextView sid) {
    return machine == u"SRV2" && sid == u"S-1-5-21-7" ? Text(u"CORP\\ana") : Text();
  };
  ApplicationRecord record{u"Tab\there", u"-2", u"", u"", u"", u"", u"", u"SRV2", u"Key\\x"};
  std::vector<ApplicationRecord> records(4, record);
  records[1].UninstallKeyPath = kUninstallKeyPath32;
  records[2].UninstallKeyPath = Text(kUsersRootPath) + u"S-1-5-21-7" + kUserUninstallSubKey;
  records[3] = records[2];
  records[3].Machine = u"SRV3";
  records.push_back(record);
  records[4].UninstallKeyPath = Text(kPackageUsersPath) + u"\\S-1-5-21-7";
  records[4].KeyName = u"App.A_2.0.0.0_x64__pub";
  records.push_back(records[4]);
  records[5].UninstallKeyPath = kProvisionedPackagesPath;
  records[5].KeyName = u"App.B_1.0.0.0_neutral_~_pub";
  RecordOutput tsv(OutputFormat::Tsv, accounts);
  EXPECT_EQ(tsv.Opening(), "DisplayName\tDisplayVersion\tInstallSource\tInstallDate\tUninstallString\tInstallLocation\t"
                           "ProductCode\tMachine\tKeyName\tLocation\tSid\tUser\tPackageFullName\tPackageFamilyName\tArchitecture\tPublisher\tEstimatedSize\tSystemComponent\t"
                           "ParentKeyName\tReleaseType\tWindowsInstaller\tQuietUninstallString\tDisplayIcon\tUpdate\r\n");
  records[2].Extras = {u"Brelmont", u"4294967295", u"1", u"", u"Hotfix", u"0", u"q.exe", u"q.ico"};
  EXPECT_EQ(tsv.Records({records[0], records[2]}),
            "Tab\\there\t-2\t\t\t\t\t\tSRV2\tKey\\\\x\tmachine\t\t\t\t\t\t\t\t\t\t\t\t\t\t\r\n"
            "Tab\\there\t-2\t\t\t\t\t\tSRV2\tKey\\\\x\tuser\tS-1-5-21-7\tCORP\\\\ana\t\t\t\tBrelmont\t4294967295\ttrue\t\t"
            "Hotfix\tfalse\tq.exe\tq.ico\ttrue\r\n");
  RecordOutput json(OutputFormat::Json, accounts);
  const auto objects = nlohmann::json::parse(json.Opening() + json.Records(records) + json.Closing());
  const std::tuple<const char*, nlohmann::json, nlohmann::json, nlohmann::json, nlohmann::json> where[] = {
      {"machine", nullptr, nullptr, nullptr, nullptr}, {"machine32", nullptr, nullptr, nullptr, nullptr},
      {"user", "S-1-5-21-7", "CORP\\ana", nullptr, nullptr}, {"user", "S-1-5-21-7", nullptr, nullptr, nullptr},
      {"package", "S-1-5-21-7", "CORP\\ana", "App.A_pub", "x64"}, {"provisioned", nullptr, nullptr, "App.B_pub", "neutral"}};
  for (std::size_t i = 0; i < std::size(where); ++i) {
    EXPECT_EQ(objects[i]["Location"], std::get<0>(where[i])) << i;
    EXPECT_EQ(objects[i]["Sid"], std::get<1>(where[i])) << i;
    EXPECT_EQ(objects[i]["User"], std::get<2>(where[i])) << i;
    EXPECT_EQ(objects[i]["PackageFamilyName"], std::get<3>(where[i])) << i;
    EXPECT_EQ(objects[i]["Architecture"], std::get<4>(where[i])) << i;
    EXPECT_EQ(objects[i]["PackageFullName"], std::get<3>(where[i]).is_null() ? nullptr : nlohmann::json(TextToUtf8(records[i].KeyName))) << i;
  }
}

TEST(RecordOutput, JsonGivesNumbersFlagsAndNullForAbsentValues) {
  // A name and a date that are the text " - ", a version and a folder that the entry does not have.
  ApplicationRecord record{u" - ", u"", u"", kPlaceholder, u"", u"", kPlaceholder, u"M", u"K"};
  SetAbsent(record, &ApplicationRecord::DisplayVersion);
  SetAbsent(record, &ApplicationRecord::InstallLocation);
  const std::pair<EntryExtras, const char*> cases[] = {  // extras, fields expected
      {{}, R"({"DisplayName":" - ","DisplayVersion":null,"InstallDate":" - ","InstallLocation":null,"UninstallString":null,
              "Publisher":null,"EstimatedSize":null,"SystemComponent":null,"Update":null})"},
      {{u"Brelmont", u"2048", u"1", u"", u"", u"0", u"q.exe", u"i.ico"},
       R"({"Publisher":"Brelmont","EstimatedSize":2048,"SystemComponent":true,"WindowsInstaller":false,"DisplayIcon":"i.ico"})"},
      {{u"", u"18446744073709551615", u"2", u"{P}", u"Feature", u"", u"", u""},
       R"({"EstimatedSize":18446744073709551615,"SystemComponent":true,"Update":true})"},
      {{u"", u"12 Mo", u"", u"", u"SECURITY update", u"", u"", u""}, R"({"EstimatedSize":null,"Update":true})"},
      {{u"", u"", u"", u"", u"Update Rollup", u"", u"", u""}, R"({"ReleaseType":"Update Rollup","Update":false})"}};
  for (const auto& [extras, fields] : cases) {
    record.Extras = extras;
    const auto object = nlohmann::json::parse(RecordOutput(OutputFormat::Json).Records({record}).substr(2));
    const auto expected = nlohmann::json::parse(fields);
    for (const auto& [name, value] : expected.items()) EXPECT_EQ(object.at(name), value) << name;
  }
}

MemoryMachine& PutApps(MemoryMachine& machine, std::vector<Text> names) {
  for (const Text& name : names) machine.SetString(Text(kUninstallKeyPath) + u"\\{" + name + u"}", u"DisplayName", name);
  return machine;
}

// The program's environment in memory: standard input, list and written files, outputs.
struct Console {
  // Runs the program against the registry in place and waits for the jobs it abandoned.
  int Run(const std::vector<Text>& arguments, bool errorIsConsole = false) {
    CliEnvironment environment;
    environment.writeOutput = [&](std::string_view bytes) { return !outputFails && (out += bytes, true); };
    environment.writeError = [&](std::string_view bytes) { err += bytes; };
    environment.errorIsConsole = errorIsConsole;
    environment.canWriteFile = [&](TextView path) { return path != u"x.csv"; };  // in a folder that does not exist
    environment.writeFile = [&](TextView path, std::string_view bytes) { return files[Text(path)] = bytes, true; };
    environment.sameFile = [](TextView first, TextView second) { return LowerCase(first) == LowerCase(second); };
    environment.readFile = [&](TextView path) { return files.contains(Text(path)) ? std::optional(files[Text(path)]) : std::nullopt; };
    environment.readInput = [&] { return in; };
    environment.identityWait = 20s;
    CliProgram program(environment);
    const int exitCode = program.Run(arguments);
    EXPECT_TRUE(program.WaitForLateWork(20s));
    return exitCode;
  }
  std::map<Text, std::string> files;
  bool outputFails = false;
  std::string in, out, err;
};

// The local machine; machines that answer, do not, answer late, answer to another one's name.
class CliProgramTest : public ::testing::Test {
 protected:
  CliProgramTest() {
    PutApps(registry_.Local(), {u"a", u"b"});
    PutApps(registry_.AddMachine(u"SRV1"), {u"a"});
    registry_.AddMachine(u"GONE").SetFaults({.unreachable = true});
    registry_.AddMachine(u"REAL").AddAlias(u"OTHER");
    PutApps(registry_.AddMachine(u"LATE"), {u"a", u"b", u"c", u"d"}).SetFaults({.roundTrip = 50ms});
  }
  MemoryRegistry registry_{u"LocalPC"};
  ScopedRegistryApi scope_{registry_};
};

TEST_F(CliProgramTest, ExitCodesWithTheirMessages) {
  // The window's stored time limit, which is not a number, is not the program's.
  registry_.Local().SetString(kSettingsKeyPath, kTimeLimitValue, u"x");

  const std::tuple<std::vector<Text>, int, const char*> cases[] = {  // arguments, exit code, part of the output
      {{u"SRV1"}, kExitListed, "[info] 15 secondes de temp d'attente pour le traitement de la machine\r\n"},
      {{u"SRV1"}, kExitListed, "[termin\u00e9] Traitement termin\u00e9 sur la machine SRV1\r\n"},
      {{u"LATE", u"--timeout=1"}, kExitTimeLimit, "[info] 1 secondes de temp d'attente pour le traitement de la machine\r\n"},
      {{u"LATE", u"--timeout", u"0"}, kExitTimeLimit, "[info] 0 secondes de temp d'attente pour le traitement"},
      // The time limit outweighs a machine that does not answer.
      {{u"GONE;LATE", u"--timeout=1"}, kExitTimeLimit, "[erreur] Impossible de r\u00e9cuperer les informations de la machine.\r\n"},
      {{u"SRV1", u"--parallel", u"0"}, kExitUsage, "Appcensus_cli : --parallel attend un nombre de 1 \u00e0 1024"},
      {{u"--help"}, kExitListed, "Utilisation : Appcensus_cli"},
  };
  for (const auto& [arguments, code, shown] : cases) {
    Console console;
    EXPECT_EQ(console.Run(arguments), code) << console.err;
    EXPECT_NE((console.out + console.err).find(shown), std::string::npos) << console.out << console.err;
    EXPECT_EQ(std::ranges::count(console.err, '\r'), std::ranges::count(console.err, '\n')) << "a progress line off a console";
  }
}

TEST_F(CliProgramTest, TheReportGivesEachMachineItsStatusInListOrderAndTheLocalOneItsName) {
  Console console;
  // Names on the command line, in a list file and on standard input; "." and the computer's name are one machine.
  console.files[u"list.txt"] = "OTHER # another machine answers\r\n. SRV1;GONE";
  console.in = "LATE \\\\localpc";
  EXPECT_EQ(console.Run({u"GONE", u"@list.txt", u"-", u"--report", u"r.json", u"--timeout=1", u"--parallel=5", u"--format=json"}), kExitTimeLimit);
  auto report = nlohmann::json::parse(console.files[u"r.json"]);
  for (auto& machine : report) EXPECT_TRUE(machine["seconds"].is_number() && machine.erase("seconds"));
  EXPECT_EQ(report, nlohmann::json::parse(R"([
      {"machine":"GONE","status":"unreachable","records":0,"message":"[TestMachine] : Impossible de contacter la machine."},
      {"machine":"OTHER","status":"other-machine","records":0,"message":"[TestMachine] : Le nom de machine est diff\u00e9rent de celui de la cible."},
      {"machine":"LocalPC","status":"ok","records":2}, {"machine":"SRV1","status":"ok","records":1},
      {"machine":"LATE","status":"timeout","records":0,"message":"Impossible de r\u00e9cuperer les informations de la machine."}])"));
  EXPECT_EQ(nlohmann::json::parse(console.out).at(0)["Machine"], "LocalPC");
}

TEST_F(CliProgramTest, VisibleOnlyAndSortNameChooseAndOrderTheRecords) {
  const std::tuple<const char16_t*, const char16_t*, std::uint32_t, std::vector<std::uint8_t>> entries[] = {  // name, a value
      {u"beta", u"Publisher", reg::kSz, StringData(u"P")}, {u"Alpha", u"SystemComponent", reg::kDword, DwordData(2)},
      {u"Zeta", u"ParentKeyName", reg::kSz, StringData(u"P")}, {u"gamma", u"ReleaseType", reg::kSz, StringData(u"Security Update")},
      {u"delta", u"UninstallString", reg::kSz, StringData(u"")}, {u"Eta", u"ReleaseType", reg::kSz, StringData(u"Feature")}};
  for (MemoryMachine* machine : {&registry_.AddMachine(u"SRV2"), &registry_.AddMachine(u"ABC")})
    for (const auto& [name, value, type, data] : entries) {
      PutApps(*machine, {name}).SetString(Text(kUninstallKeyPath) + u"\\{" + name + u"}", u"UninstallString", u"u.exe");
      machine->SetValue(Text(kUninstallKeyPath) + u"\\{" + name + u"}", value, type, data);
    }
  Console console;
  EXPECT_EQ(console.Run({u"SRV2;abc", u"--visible-only", u"--sort=name", u"--format=json"}), kExitListed);
  std::string shown;  // by machine and name, letter case ignored
  for (const auto& record : nlohmann::json::parse(console.out)) shown += record.value("Machine", "") + " " + record.value("DisplayName", "") + "|";
  EXPECT_EQ(shown, "abc beta|abc Eta|SRV2 beta|SRV2 Eta|");
}

TEST_F(CliProgramTest, CompareGivesWhatChangedOnTheMachinesListedNowInTheOrderOfSortName) {
  Console first;
  ASSERT_EQ(first.Run({u".;SRV1", u"--format=json"}), kExitListed);
  using File = nlohmann::ordered_json;
  const File before = File::parse(first.out);  // LocalPC a, b; SRV1 a
  const auto copy = [](File& file, const char* field, const char* value) {
    file.push_back(file[2]);
    file.back()[field] = value;
  };
  const std::tuple<std::vector<Text>, std::function<void(File&)>, const char*> cases[] = {  // machines now, edit of
      // the earlier file, differences then the machines of the report
      {{u"SRV1;."}, [&](File& f) { f[2]["DisplayVersion"] = "0.9", copy(f, "KeyName", "{z}"), f.erase(1); },
       "added LocalPC {b} machine|changed SRV1 {a} machine [\"DisplayVersion\"] {\"DisplayVersion\":\"0.9\"}|"
       "removed SRV1 {z} machine|SRV1 LocalPC"},
      {{u"SRV1"}, [](File& f) { f[2]["Publisher"] = "Old", f[2]["EstimatedSize"] = 12; },
       "changed SRV1 {a} machine [\"Publisher\",\"EstimatedSize\"] {\"Publisher\":\"Old\",\"EstimatedSize\":12}|SRV1"},
      {{u"SRV1"}, [&](File& f) { copy(f, "Location", "machine32"); }, "removed SRV1 {a} machine32|SRV1"},  // the same key
      {{u"SRV1"}, [&](File& f) { copy(f, "Location", "provisioned"), copy(f, "Location", "package"), f.back()["Sid"] = "S-1-5-21-7"; },
       "removed SRV1 {a} provisioned|removed SRV1 {a} package|SRV1"},  // the packages' places
      {{u"srv1"}, [](File& f) { f[2]["Machine"] = "Srv1"; }, "srv1"},                            // names' letter case
      {{u"."}, [](File& f) { f[0]["Machine"] = f[1]["Machine"] = "."; }, "LocalPC"},  // "." and the computer's
      {{u"."}, [](File&) {}, "LocalPC"},                                              // name are one; SRV1 left out
      {{u"SRV1;GONE"}, [&](File& f) { copy(f, "Machine", "GONE"); }, "SRV1 GONE not compared"},  // failed now
      {{u"SRV1", u"--filter=A"}, [&](File& f) { copy(f, "KeyName", "{o}"), f.back()["DisplayName"] = "o"; }, "SRV1"},
  };
  for (auto [arguments, edit, expected] : cases) {
    Console console;
    File file = before;
    edit(file);
    console.files[u"f.json"] = file.dump();
    const bool failed = arguments[0].ends_with(u"GONE");
    arguments.insert(arguments.end(), {u"--compare", u"f.json", u"--format=json", u"--report=r.json"});
    EXPECT_EQ(console.Run(arguments), failed ? kExitUnreachable : kExitListed);
    std::string shown;
    for (const auto& o : File::parse(console.out))
      shown += o.value("Change", "") + " " + o.value("Machine", "") + " " + o.value("KeyName", "") + " " + o.value("Location", "") +
               (o.contains("Fields") ? " " + o["Fields"].dump() + " " + o["Previous"].dump() : "") + "|";
    for (const auto& machine : File::parse(console.files[u"r.json"]))
      shown += (shown.empty() || shown.ends_with('|') ? "" : " ") + machine.value("machine", "") +
               (machine.value("compared", false) ? "" : " not compared");
    EXPECT_EQ(shown, expected) << TextToUtf8(arguments[0]);
  }
  Console csv;
  csv.files[u"f.json"] = "[]";
  EXPECT_EQ(csv.Run({u"SRV1", u"--compare=f.json"}), kExitListed);
  EXPECT_EQ(csv.out, "Change;" + CsvDocument({}) + "added;a; - ;{a}; - ; - ; - ;;" + TextToUtf8(kUninstallKeyPath) + "\\{a};SRV1\r\n");
}

TEST_F(CliProgramTest, NumbersAndFlagsAreReadFromDwordsAndQwordsOnly) {
  const std::tuple<std::uint32_t, std::vector<std::uint8_t>, nlohmann::json, nlohmann::json> cases[] = {
      // EstimatedSize and SystemComponent of this type and data; their json
      {reg::kDword, DwordData(2048), 2048, true}, {reg::kDword, DwordData(0), 0, false},
      {reg::kQword, {0, 0, 0, 0, 2, 0, 0, 0}, 8589934592, true}, {reg::kBinary, {0x12, 0x34, 0x56, 0x78}, nullptr, nullptr},
      {reg::kBinary, {1}, nullptr, nullptr}, {reg::kSz, StringData(u"1"), nullptr, nullptr}};
  for (const auto& [type, data, size, flag] : cases) {
    for (const char16_t* value : {u"EstimatedSize", u"SystemComponent"})
      registry_.Local().SetValue(Text(kUninstallKeyPath) + u"\\{a}", value, type, data);
    Console console;
    ASSERT_EQ(console.Run({u".", u"--format=json"}), kExitListed) << console.err;
    const auto records = nlohmann::json::parse(console.out);
    const auto a = std::ranges::find(records, "a", [](const auto& record) { return record["DisplayName"]; });
    ASSERT_NE(a, records.end());
    EXPECT_EQ((*a)["EstimatedSize"], size) << type;
    EXPECT_EQ((*a)["SystemComponent"], flag) << type;
  }
}

TEST_F(CliProgramTest, OutputErrorsEndWithCode2AndAMessageAndQuietLeavesOnlyErrors) {
  const std::string created = "Appcensus_cli : impossible de cr\u00e9er le fichier \"x.csv\"\r\n";
  const auto refused = [](std::string file, std::string reason) {  // as the program's json, before the first machine
    return "Appcensus_cli : le fichier \"" + file + "\" n'est pas une sortie json d'Appcensus_cli : " + reason + "\r\n";
  };
  const std::tuple<std::vector<Text>, bool, int, std::string, bool> cases[] = {  // arguments, standard output fails,
      // exit code, standard error, machines read
      {{u"SRV1", u"--quiet"}, true, kExitUsage, "Appcensus_cli : impossible d'\u00e9crire sur la sortie standard\r\n", true},
      {{u"SRV1", u"--output", u"x.csv"}, false, kExitUsage, created, false},  // found out before the first machine
      {{u"SRV1", u"--output=r.json", u"--report", u"R.json"}, false, kExitUsage,
       "Appcensus_cli : --output et --report nomment le m\u00eame fichier \"R.json\"\r\n", false},
      {{u"SRV1;GONE", u"--quiet", u"--output=y.csv", u"--output", u"-"}, false, kExitUnreachable,
       "[erreur] [TestMachine] : Impossible de contacter la machine.\r\n[erreur] Impossible de contacter la machine GONE.\r\n"
       "[erreur] Impossible de contacter la machine : v\u00e9rifiez son nom, qu'elle est allum\u00e9e et que le service "
       "Registre \u00e0 distance y fonctionne.\r\n", true},
      {{u"SRV1", u"--compare", u"none.json"}, false, kExitUsage, "Appcensus_cli : impossible de lire le fichier \"none.json\"\r\n", false},
      {{u"--compare=t.json"}, false, kExitUsage, refused("t.json", "ce n'est pas du JSON (erreur \u00e0 l'octet 1)"), false},
      {{u"--compare=o.json"}, false, kExitUsage, refused("o.json", "ce n'est pas un tableau d'enregistrements"), false},
      {{u"--compare=k.json"}, false, kExitUsage, refused("k.json", "l'\u00e9l\u00e9ment 2 du tableau n'a pas de champ KeyName correct"), false},
      {{u"--compare=d.json"}, false, kExitUsage, refused("d.json", "l'\u00e9l\u00e9ment 1 du tableau est une diff\u00e9rence, pas un enregistrement"), false}};
  for (const auto& [arguments, outputFails, code, errors, reads] : cases) {
    Console console;
    const std::string record = R"({"DisplayName":"a","Machine":"M","KeyName":"K","Location":"machine"})";
    console.files = {{u"t.json", "SRV1;SRV2"}, {u"o.json", record}, {u"k.json", "[" + record + R"(,{"DisplayName":"a","Machine":"M"}])"},
                     {u"d.json", R"([{"Change":"added","DisplayName":"a","Machine":"M","KeyName":"K","Location":"machine"}])"}};
    console.outputFails = outputFails;
    const std::size_t connections = registry_.CallCount(MemoryRegistry::kConnect);
    EXPECT_EQ(console.Run(arguments), code);
    EXPECT_EQ(console.err, errors);
    EXPECT_EQ(registry_.CallCount(MemoryRegistry::kConnect) > connections, reads);
    EXPECT_EQ(console.out.ends_with(";SRV1\r\n"), code == kExitUnreachable) << console.out;
  }
}

TEST(CliProgram, ParallelMachinesReportGroupedInListOrderAsJsonWithTheProgressLineOnAConsole) {
  // Each connection to SLOW waits until FAST2 has been connected to (20 s at most): SLOW ends
  // within its limit (15 s) only when the machines are inventoried at once.
  MemoryRegistry registry;
  std::counting_semaphore<> fast2Connected{0};
  registry.beforeConnect = [&](const Text& machine) {
    if (machine == u"FAST2") fast2Connected.release();
    if (machine == u"SLOW" && fast2Connected.try_acquire_for(20s)) fast2Connected.release();
  };
  ScopedRegistryApi scope(registry);
  PutApps(registry.AddMachine(u"SLOW"), {u"a", u"b"}).SetFaults({.roundTrip = 5ms});  // ends after the others
  PutApps(registry.AddMachine(u"FAST1"), {u"a", u"b"});
  PutApps(registry.AddMachine(u"FAST2"), {u"a", u"b"});
  Console console;
  ASSERT_EQ(console.Run({u"SLOW;FAST1;FAST2", u"--parallel", u"3", u"--format=json"}, true), kExitListed) << console.err;
  const std::string& err = console.err;
  EXPECT_NE(err.find("\rSLOW : 2 / 2"), std::string::npos) << err;
  // The progress line is wiped before each message: what follows a line's last CR is the message.
  for (std::size_t start = 0, end; (end = err.find("\r\n", start)) != std::string::npos; start = end + 2) {
    const std::string line = err.substr(start, end - start);
    EXPECT_EQ(line.substr(line.rfind('\r') + 1).front(), '[') << line;
  }

  std::vector<ApplicationRecord> expected;
  for (const char16_t* name : {u"SLOW", u"FAST1", u"FAST2"})
    for (const auto& record : testing::InventoryRun().Records(name)) expected.push_back(record);
  RecordOutput json(OutputFormat::Json);
  const std::string records = json.Opening() + json.Records(expected);
  EXPECT_EQ(console.out, records + json.Closing());
  EXPECT_EQ(nlohmann::json::parse(console.out).size(), expected.size());  // which refuses malformed JSON and UTF-8
  // The machines named in the messages and progress, one after the other: never back to an earlier one.
  std::string named;
  const std::regex machine("SLOW|FAST1|FAST2");
  for (std::sregex_iterator it(err.begin(), err.end(), machine), end; it != end; ++it)
    if (!named.ends_with(it->str() + " ")) named += it->str() + " ";
  EXPECT_EQ(named, "SLOW FAST1 FAST2 ") << err;
}

}  // namespace
}  // namespace appcensus::cli
