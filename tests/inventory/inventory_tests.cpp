// The identity test and the two inventory passes against simulated machines: messages,
// progress, records, reads, several machines and verdicts that come late.
#include <gtest/gtest.h>

#include <algorithm>

#include "inventory/entry_rules.h"
#include "inventory/package_listing.h"
#include "tests/support/inventory_run.h"
#include "tests/support/memory_registry.h"
#include "tests/support/thread_signals.h"

namespace appcensus {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

// "text|level|field" for a log line, "progress value/maximum" for a progress call.
Lines Rendered(const RecordingActivityLog& log, bool withProgress = true) {
  Lines out;
  for (const auto& call : log.Calls()) {
    if (call.isProgress && withProgress) out.push_back("progress " + std::to_string(call.value) + "/" + std::to_string(call.maximum));
    if (!call.isProgress)
      out.push_back(TextToUtf8(call.text) + "|" + std::to_string(int(call.level)) + "|" + std::to_string(call.statusField));
  }
  return out;
}

const std::string kTest = "[TestMachine] : ";
const std::string kPassed = kTest + "Teste de la machine effectu\u00e9e correctement.|2|1";

class InventoryTest : public ::testing::Test {
 protected:
  static void Put(MemoryMachine& machine, TextView key, TextView value, TextView text = u"App") {
    machine.SetString(Text(kUninstallKeyPath) + u"\\" + Text(key), value, text);
  }
  static Lines Entries(const testing::InventoryRun& run) {
    Lines entries;
    for (const auto& entry : run.entries.Snapshot()) entries.push_back(TextToUtf8(entry.Machine + u"|" + entry.KeyName));
    return entries;
  }

  // No test leaves a key or a connection open.
  void TearDown() override { EXPECT_EQ(registry_.OpenHandleCount(), 0u); }

  MemoryRegistry registry_;
  MemoryMachine& srv2_ = registry_.AddMachine(u"SRV2");
  ScopedRegistryApi scope_{registry_};
};

TEST_F(InventoryTest, TheIdentityTestComparesTheActiveNameWithTheUpperCasedRequest) {
  registry_.AddMachine(u"srv9");  // a computer name stored in lower case never matches
  registry_.AddMachine(u"DENIED").DenyAccess(kActiveComputerNameKeyPath);
  const std::string start = kTest + "D\u00e9marrage du test machine sur ";
  const std::string unreachable = kTest + "Impossible de contacter la machine.|3|1";
  const std::string differs = kTest + "Le nom de machine est diff\u00e9rent de celui de la cible.|3|1";
  const std::tuple<const char16_t*, MachineVerdict, Lines> cases[] = {
      {u"srv2", MachineVerdict::Passed, {start + "SRV2|1|1", kPassed}},
      {u"ghost", MachineVerdict::Unreachable, {start + "GHOST|1|1", unreachable}},
      {u"denied", MachineVerdict::Unreachable, {start + "DENIED|1|1", unreachable}},
      {u"srv9", MachineVerdict::OtherMachine, {start + "SRV9|1|1", kTest + "Nom de machine demand\u00e9 : SRV9|0|1", kTest + "Nom de machine cible : srv9|0|1", differs}},
      {u".", MachineVerdict::Passed, {start + ".|1|1", kTest + "Machine locale, le nom de machine est conforme.|2|1"}}};
  for (const auto& [name, verdict, lines] : cases) {
    RecordingActivityLog log;
    EXPECT_EQ(TestMachine(name, log), verdict) << TextToUtf8(name);
    EXPECT_EQ(Rendered(log), lines);
  }
  EXPECT_EQ(registry_.CallCount(MemoryRegistry::kConnect), 4u);  // "." is read without a connection
  registry_.Local().SetString(kActiveComputerNameKeyPath, kActiveComputerNameValue, u"RENAMED");
  RecordingActivityLog log;
  EXPECT_EQ(TestMachine(u".", log), MachineVerdict::OtherMachine);
  EXPECT_EQ(Rendered(log).back(), differs);
}

TEST_F(InventoryTest, TheLocalMachineFromTheFirstLineToItsRecord) {
  const ApplicationRecord alpha{u"Alpha", u"2.5", u"D:\\media\\", u"31/01/2020", u"MsiExec.exe /X{A-1}", u"C:\\Alpha\\", u"{A-1}", u".", u"{A-1}"};
  const std::pair<const char16_t*, const char16_t*> values[] = {
      {u"DisplayName", u"Alpha"},         {u"DisplayVersion", u"2.5"},         {u"InstallSource", u"D:\\media\\"},
      {u"InstallLocation", u"C:\\Alpha\\"}, {u"UninstallString", u"MsiExec.exe /X{A-1}"}};
  for (const auto& [value, text] : values) Put(registry_.Local(), u"{A-1}", value, text);
  registry_.Local().SetValue(Text(kUninstallKeyPath) + u"\\{A-1}", u"InstallDate", reg::kDword, DwordData(20200131));  // read as its decimal text
  Put(registry_.Local(), u"NoName", u"DisplayVersion");  // listed and read, but no record
  Put(registry_.Local(), Text(256, u'L'), u"DisplayName");  // a name too long to list, before the others
  testing::InventoryRun run;
  EXPECT_EQ(run.Records(u"."), std::vector<ApplicationRecord>{alpha});
  EXPECT_EQ(Rendered(*run.log),
            (Lines{kTest + "D\u00e9marrage du test machine sur .|1|1",
                   kTest + "Machine locale, le nom de machine est conforme.|2|1",
                   "Connexion \u00e0 la base de registre de la machine ....|1|1", "progress 0/100", "progress 1/100",
                   "Recherches des applications effectu\u00e9es sur la machine ..|0|1", "2 Entr\u00e9es|0|3",
                   "R\u00e9cup\u00e9ration des informations de chaque applications sur la machine . (2 entr\u00e9es)...|1|1",
                   "progress 1/2", "progress 2/2",
                   "R\u00e9cup\u00e9ration des informations d'applications effectu\u00e9es. 2 entr\u00e9es trait\u00e9s.|2|1"}));
  EXPECT_EQ(run.result.verdicts, std::vector<MachineVerdict>{MachineVerdict::Passed});
}

TEST_F(InventoryTest, MachinesAreListedInTheirOrderAsTypedAndTheLastOneIsCounted) {
  Put(srv2_, u"B1", u"DisplayName");
  Put(srv2_, u"B2", u"DisplayName");
  Put(registry_.AddMachine(u"SRV1"), u"A1", u"DisplayName");
  registry_.AddMachine(u"DOWN").SetFaults({.unreachable = true});
  testing::InventoryRun run;
  EXPECT_EQ(run.Records(u"SRV2;DOWN;srv1").size(), 3u);
  EXPECT_EQ(Entries(run), (Lines{"SRV2|B1", "SRV2|B2", "srv1|A1"}));
  Lines lines = Rendered(*run.log, false);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Impossible de contacter la machine DOWN.|3|1"), 1);
  lines.erase(std::remove_if(lines.begin(), lines.end(), [](auto& line) { return line.find("Entr\u00e9es|0|3") == line.npos; }), lines.end());
  EXPECT_EQ(lines, Lines{"1 Entr\u00e9es|0|3"});  // the last machine's count, once
  EXPECT_EQ(run.log->Lines().rbegin()[1], u"R\u00e9cup\u00e9ration des informations de chaque applications sur la machine SRV2;DOWN;srv1 (3 entr\u00e9es)...");
}

// Each entry is opened once and read through its key (its command a ninth value when needed),
// locally and on a remote machine, read by up to eight readers each over a connection of its
// own, with progress that only moves forward; once abandoned, nothing more is read.
TEST_F(InventoryTest, EachEntryIsOpenedOnceItsCommandReadWhenNeededAndNothingOnceAbandoned) {
  for (MemoryMachine* machine : {&registry_.Local(), &srv2_}) {
    Put(*machine, u"E1", u"DisplayName");
    Put(*machine, u"E2", u"DisplayVersion");  // no name: read all the same
    Put(*machine, u"E3", u"DisplayName");
    Put(*machine, u"E3", u"RegistryLocation", u"HKLM\\x");
  }
  const auto calls = [&](MemoryRegistry::Kind kind) { return registry_.CallCount(kind); };
  for (const Text machine : {u".", u"SRV2"}) {
    const std::size_t queries = calls(MemoryRegistry::kQuery), opens = calls(MemoryRegistry::kOpen);
    const std::size_t connections = calls(MemoryRegistry::kConnect);
    testing::InventoryRun run;
    EXPECT_EQ(run.Records(machine).size(), 2u);
    EXPECT_EQ(calls(MemoryRegistry::kQuery) - queries, 1 + 3 * 8 + 1u);  // the identity test's, eight per entry, a command
    EXPECT_EQ(calls(MemoryRegistry::kOpen) - opens, 1 + 3 + 3 + 2u);  // the identity test, three Uninstall keys, three entries, two package lists
    // Remotely the identity test's connection, the listing's (HKEY_LOCAL_MACHINE, HKEY_USERS),
    // and one for each further reader that took an entry.
    EXPECT_LE(calls(MemoryRegistry::kConnect) - connections, machine == u"." ? 0 : 1 + 2 + 2u);
    std::vector<int> progress;
    for (const auto& call : run.log->Calls())
      if (call.isProgress && call.maximum == 3) progress.push_back(call.value);
    EXPECT_EQ(progress, (std::vector<int>{1, 2, 3}));
  }
  // Abandoned while the first entry is read: its values are all read, nothing after them.
  testing::InventoryRun abandoned;
  const std::size_t before = calls(MemoryRegistry::kQuery);
  registry_.beforeQuery = [&](const Text& value) {
    if (value == u"DisplayVersion") abandoned.gate->Abandon();
  };
  EXPECT_EQ(abandoned.Records(u".").size(), 0u);
  EXPECT_EQ(calls(MemoryRegistry::kQuery) - before, 1 + 8u);
}

// The Uninstall keys of a machine in their order: the 64-bit view, the 32-bit view, each user
// hive's (not .DEFAULT's nor a *_Classes hive's). The same key name in two of them gives two
// records; a key that is missing or refused is left out without a line, but without the
// 64-bit view's key the machine gives nothing. A 32-bit program sees the same machine. The
// packages come after them, and not with the 64-bit view's key alone.
TEST_F(InventoryTest, EveryUninstallKeyOfAMachineInItsOrder) {
  const auto hive = [](TextView sid) { return kUsersRootPath + Text(sid) + kUserUninstallSubKey; };
  const std::pair<Text, const char16_t*> entries[] = {
      {kUninstallKeyPath, u"Twin"}, {kUninstallKeyPath, u"A"},     {kUninstallKeyPath32, u"Twin"},
      {hive(u"S-1-5-21-1"), u"U"},  {hive(u".DEFAULT"), u"D"},     {hive(u"S-1-5-21-1_Classes"), u"C"},
      {hive(u"S-1-5-21-3"), u"R"}};
  for (const auto& [key, name] : entries) srv2_.SetString(key + u"\\" + name, u"DisplayName", name);
  srv2_.DenyAccess(hive(u"S-1-5-21-3"));
  srv2_.CreateKey(kUsersRootPath + Text(u"S-1-5-21-4"));  // a hive without the key
  srv2_.CreateKey(Text(kPackageUsersPath) + u"\\S-1-5-21-1\\Pkg_1.0.0.0_x64__pub");
  srv2_.CreateKey(Text(kProvisionedPackagesPath) + u"\\Prv_1.0.0.0_x64__pub");
  const Lines all = {"32|Twin", "64|A", "64|Twin", "S-1-5-21-1|Pkg_1.0.0.0_x64__pub", "S-1-5-21-1|U", "prov|Prv_1.0.0.0_x64__pub"};  // sorted
  const std::tuple<bool, bool, bool, Lines> cases[] = {
      {false, false, false, all}, {true, false, false, all}, {false, false, true, {"64|A", "64|Twin"}}, {false, true, false, {}}};
  for (const auto& [thirtyTwoBitProgram, noKey64, classic, listed] : cases) {
    registry_.thirtyTwoBitProgram = thirtyTwoBitProgram;
    if (noKey64) srv2_.DenyAccess(kUninstallKeyPath);
    testing::InventoryRun run;
    run.context.options.allLocations = !classic;
    Lines found;
    for (const auto& record : run.Records(u"SRV2")) {
      EXPECT_EQ(EntryRegistryPath(record), record.UninstallKeyPath + u"\\" + record.KeyName);
      const EntryLocation where = LocationOf(record.UninstallKeyPath);
      const Text place = where == EntryLocation::Machine     ? u"64"
                         : where == EntryLocation::Machine32 ? u"32"
                         : where == EntryLocation::Provisioned ? u"prov" : UserSidOf(record.UninstallKeyPath);
      found.push_back(TextToUtf8(place + u"|" + record.KeyName));
    }
    std::ranges::sort(found);
    EXPECT_EQ(found, listed) << thirtyTwoBitProgram;
    const Lines lines = Rendered(*run.log, false);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](auto& l) { return l.starts_with("Recherches"); }), 1);
    const auto packages = std::ranges::count_if(listed, [](auto& l) { return l.find('_') != l.npos; });
    EXPECT_EQ(lines[4], std::to_string(listed.size() - packages) + " Entr\u00e9es|0|3");
  }
}

// The packages of each user account and those provisioned for no user, by family: a bundle
// and its main package give one record (the main's), a resource none, the higher version
// wins; a plain DisplayName is the repository's (the current user's below HKEY_CURRENT_USER
// locally), an indirect one resolves locally only, else the Name; the folder falls back from
// the user's repository to the machine's, then to the provisioned manifest's.
TEST_F(InventoryTest, PackagesGiveOneRecordPerUserAndFamilyThenTheProvisionedNoUserHas) {
  const Text store = Text(kPackageUsersPath) + u"\\";
  const Text indirect = u"@{App.B_1.0.0.0_neutral_~_pub?ms-resource://App.B/Resources/Name}";
  const std::tuple<Text, const char16_t*, Text> values[] = {  // key, value, text
      {store + u"S-1-5-21-1\\App.A_2.0.0.0_x64__pub", nullptr, u""},
      {store + u"S-1-5-21-1\\App.A_2.0.0.0_neutral_~_pub", nullptr, u""},
      {store + u"S-1-5-21-1\\App.A_2.0.0.0_neutral_split.scale-100_pub", nullptr, u""},
      {store + u"S-1-5-21-1\\App.B_1.0.0.0_neutral_~_pub", nullptr, u""},
      {store + u"S-1-5-21-1\\App.C_1.0.0.0_x64_pub", nullptr, u""},
      {store + u"S-1-5-21-1\\App.D_1.10.0.0_x64__pub", nullptr, u""},
      {store + u"S-1-5-21-1\\App.D_1.9.0.0_x64__pub", nullptr, u""},
      {store + u"S-1-5-21-2\\App.A_1.0.0.0_x64__pub", nullptr, u""},
      {store + u"S-1-5-18\\Sys.E_1.0.0.0_x64__pub", nullptr, u""},
      {store + u"Config\\Cfg.F_1.0.0.0_x64__pub", nullptr, u""},
      {Text(kProvisionedPackagesPath) + u"\\App.A_2.0.0.0_neutral_~_pub", u"Path", u"C:\\WA\\A\\AppxManifest.xml"},
      {Text(kProvisionedPackagesPath) + u"\\Prov.P_3.0.0.0_neutral_~_pub", u"Path", u"C:\\WA\\P\\AppxManifest.xml"},
      {Text(kProvisionedPackagesPath) + u"\\Prov.P_3.0.0.0_neutral_split.scale-125_pub", u"Path", u"C:\\WA\\R\\x.xml"},
      {u"HKEY_USERS\\S-1-5-21-1_Classes" + Text(kUserRepositorySubKey) + u"\\App.A_2.0.0.0_x64__pub", u"DisplayName", u"Appli A"},
      {u"HKEY_USERS\\S-1-5-21-1_Classes" + Text(kUserRepositorySubKey) + u"\\App.A_2.0.0.0_x64__pub", u"PackageRootFolder", u"C:\\WA\\A"},
      {u"HKEY_USERS\\S-1-5-21-1_Classes" + Text(kUserRepositorySubKey) + u"\\App.B_1.0.0.0_neutral_~_pub", u"DisplayName", indirect},
      {Text(kCurrentUserClassesPath) + kUserRepositorySubKey + u"\\App.A_1.0.0.0_x64__pub", u"DisplayName", u"Appli A, HKCU"},
      {Text(kMachineRepositoryPath) + u"\\App.B_1.0.0.0_neutral_~_pub", u"Path", u"C:\\WA\\B"}};
  for (MemoryMachine* machine : {&registry_.Local(), &srv2_})
    for (const auto& [key, value, text] : values)
      value ? machine->SetString(key, value, text) : machine->CreateKey(key);
  // Locally the program runs as S-1-5-21-2, and only the indirect name of App.B resolves.
  const LocalUser local{[] { return Text(u"s-1-5-21-2"); },
                        [&](TextView text) { return text == indirect ? std::optional<Text>(u"Appli B") : std::nullopt; }};
  const auto sid = [](TextView name) { return u"|" + Text(kPackageUsersPath) + u"\\" + Text(name); };
  const std::pair<Text, std::vector<Text>> cases[] = {
      {u".", {u"Appli A|2.0.0.0|C:\\WA\\A" + sid(u"S-1-5-21-1\\App.A_2.0.0.0_x64__pub"),
              u"Appli B|1.0.0.0|C:\\WA\\B" + sid(u"S-1-5-21-1\\App.B_1.0.0.0_neutral_~_pub"),
              u"App.D|1.10.0.0| - " + sid(u"S-1-5-21-1\\App.D_1.10.0.0_x64__pub"),
              u"Appli A, HKCU|1.0.0.0| - " + sid(u"S-1-5-21-2\\App.A_1.0.0.0_x64__pub"),
              u"Prov.P|3.0.0.0|C:\\WA\\P|" + Text(kProvisionedPackagesPath) + u"\\Prov.P_3.0.0.0_neutral_~_pub"}},
      {u"SRV2", {u"Appli A|2.0.0.0|C:\\WA\\A" + sid(u"S-1-5-21-1\\App.A_2.0.0.0_x64__pub"),
                 u"App.B|1.0.0.0|C:\\WA\\B" + sid(u"S-1-5-21-1\\App.B_1.0.0.0_neutral_~_pub"),
                 u"App.D|1.10.0.0| - " + sid(u"S-1-5-21-1\\App.D_1.10.0.0_x64__pub"),
                 u"App.A|1.0.0.0| - " + sid(u"S-1-5-21-2\\App.A_1.0.0.0_x64__pub"),
                 u"Prov.P|3.0.0.0|C:\\WA\\P|" + Text(kProvisionedPackagesPath) + u"\\Prov.P_3.0.0.0_neutral_~_pub"}}};
  for (const auto& [machine, expected] : cases) {
    RegistrySession session(registry_, machine);
    const std::vector<ApplicationRecord> records = ReadPackageRecords(session, machine, local, nullptr, 8);
    std::vector<Text> found;
    for (const auto& r : records) found.push_back(r.DisplayName + u"|" + r.DisplayVersion + u"|" + r.InstallLocation + u"|" + EntryRegistryPath(r));
    EXPECT_EQ(found, expected) << TextToUtf8(machine);
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records[0], (ApplicationRecord{u"Appli A", u"2.0.0.0", u" - ", u" - ", u"", u"C:\\WA\\A", u" - ", machine,
                                             u"App.A_2.0.0.0_x64__pub", store + u"S-1-5-21-1", {}, 0b10110}));
  }
}

// A lost connection is made again once and the read retried; when that fails too, the value
// reads as missing. One entry, so that the connection is lost under one reader only.
TEST_F(InventoryTest, ALostConnectionIsMadeAgainOnceAndAFailedRetryReadsAsMissing) {
  Put(srv2_, u"E1", u"DisplayName");
  for (const bool reconnects : {true, false}) {
    std::atomic<bool> dropped{false};
    registry_.beforeQuery = [&](const Text& value) {
      if (value != u"DisplayName" || dropped.exchange(true)) return;
      srv2_.DropConnections();
      if (!reconnects) srv2_.SetFaults({.unreachable = true});
    };
    testing::InventoryRun run;
    EXPECT_EQ(run.Records(u"SRV2").size(), reconnects ? 1u : 0u);
  }
}

// A long list of a remote machine, read by several readers, keeps its order without the name
// too long to read; when no helper can connect, the machine's own connection reads it all.
TEST_F(InventoryTest, ALongRemoteListKeepsItsOrderWhateverItsHelpersCanDo) {
  Lines listed;
  for (int i = 10; i < 40; ++i) {
    Put(srv2_, u"E" + DecimalText(i), u"DisplayName");
    listed.push_back("SRV2|E" + std::to_string(i));
  }
  Put(srv2_, u"E2" + Text(255, u'L'), u"DisplayName");  // between E29 and E30
  for (const bool helpersConnect : {true, false}) {
    std::atomic<int> connections{0};
    registry_.beforeConnect = [&](const Text&) {  // after the identity test's and the listing's two
      if (++connections > 3 && !helpersConnect) srv2_.SetFaults({.unreachable = true});
    };
    testing::InventoryRun run;
    EXPECT_EQ(run.Records(u"SRV2").size(), 30u);
    EXPECT_EQ(Entries(run), listed);
    srv2_.SetFaults({});
  }
}

TEST_F(InventoryTest, ALateVerdictNeverCountsForTheNextMachine) {
  // SLOW and HELD both answer rightly, but only after their waits. SLOW's test passes while
  // HELD's test still runs, so a verdict shared between tests would let HELD be listed.
  Put(srv2_, u"A", u"DisplayName");
  for (const char16_t* name : {u"SLOW", u"HELD"}) Put(registry_.AddMachine(name), u"A", u"DisplayName");
  testing::Latch slowGoesOn, heldGoesOn;
  std::atomic<int> heldConnections{0};
  testing::InventoryRun run(50ms);
  registry_.beforeConnect = [&](const Text& machine) {
    if (machine == u"SLOW") slowGoesOn.Wait();
    if (machine != u"HELD" || heldConnections++ > 0) return;  // only HELD's identity test waits
    slowGoesOn.Open();
    run.IdentityTests().at(0).WaitFor(20s);  // SLOW's verdict is in
    heldGoesOn.Wait();
  };
  EXPECT_EQ(run.Records(u"SLOW;HELD;SRV2").size(), 1u);
  EXPECT_EQ(Entries(run), Lines{"SRV2|A"});
  heldGoesOn.Open();
  for (const auto& test : run.IdentityTests()) ASSERT_TRUE(test.WaitFor(20s));
  const Lines lines = Rendered(*run.log, false);
  for (const std::string machine : {"SLOW", "HELD"})
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Impossible de contacter la machine " + machine + ".|3|1"), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), kPassed), 3);  // late tests still report while the job runs
}

}  // namespace
}  // namespace appcensus
