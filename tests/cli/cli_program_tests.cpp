// The console program against simulated machines: records as the window's export writes
// them, grouped per machine in list order, the name filter, the time limit and its abandon
// rule, exit codes, the output file and the progress line.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>

#include "cli/cli_options.h"
#include "cli/cli_program.h"
#include "cli/record_output.h"
#include "core/name_filter.h"
#include "export/csv_format.h"
#include "inventory/inventory_passes.h"
#include "json_reader.h"
#include "tests/support/memory_registry.h"
#include "settings/stored_settings.h"
#include "tests/support/inventory_run.h"
#include "tests/support/recording_activity_log.h"

namespace appcensus::cli {
namespace {

using namespace std::chrono_literals;

void PutApp(MemoryMachine& machine, TextView keyName, TextView displayName, TextView version = u"1.0") {
  const Text path = Text(kUninstallKeyPath) + u"\\" + Text(keyName);
  machine.SetString(path, u"DisplayName", displayName);
  machine.SetString(path, u"DisplayVersion", version);
  machine.SetString(path, u"InstallDate", u"20240315");
}

void PutApps(MemoryMachine& machine, int count) {
  for (int i = 0; i < count; ++i) {
    const Text n = DecimalText(i);
    PutApp(machine, u"{0000000" + n + u"-AAAA-BBBB-CCCC-DDDDEEEEFFFF}", machine.ComputerName() + u" app " + n);
  }
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

std::ptrdiff_t IndexOf(const std::vector<std::string>& lines, const std::string& line) {
  const auto found = std::find(lines.begin(), lines.end(), line);
  return found == lines.end() ? -1 : found - lines.begin();
}

class CliProgramTest : public ::testing::Test {
 protected:
  ~CliProgramTest() override { WaitForLateWork(); }

  void WaitForLateWork() {
    if (!program_) return;
    EXPECT_TRUE(program_->WaitForLateWork(20s));
  }

  int Run(std::vector<Text> arguments, bool console = false, std::chrono::milliseconds perLimitSecond = 1000ms) {
    WaitForLateWork();
    out_.clear();
    err_.clear();
    CliEnvironment environment;
    environment.writeOutput = [this](std::string_view bytes) {
      std::lock_guard lock(mutex_);
      out_ += bytes;
    };
    environment.writeError = [this](std::string_view bytes) {
      std::lock_guard lock(mutex_);
      err_ += bytes;
    };
    environment.errorIsConsole = console;
    environment.writeFile = [this](TextView path, std::string_view bytes) {
      std::lock_guard lock(mutex_);
      if (fileWritable_) files_[Text(path)] = std::string(bytes);
      return fileWritable_;
    };
    environment.perLimitSecond = perLimitSecond;
    environment.identityWait = 20s;
    program_ = std::make_unique<CliProgram>(environment);
    return program_->Run(arguments);
  }

  std::string Err() {
    std::lock_guard lock(mutex_);
    return err_;
  }

  // The same request through the inventory passes directly, on a table of its own.
  std::vector<ApplicationRecord> InventoryOf(TextView machine) { return testing::InventoryRun().Records(machine); }

  MemoryRegistry registry_{u"LOCALPC"};
  ScopedRegistryApi scope_{registry_};
  std::mutex mutex_;
  std::string out_;
  std::string err_;
  std::map<Text, std::string> files_;
  bool fileWritable_ = true;
  std::unique_ptr<CliProgram> program_;
};

TEST_F(CliProgramTest, LocalMachineCsvIsTheExportOfTheSameRequest) {
  PutApp(registry_.Local(), u"{6C2F1A40-3B7E-4D21-9A55-0E1B7C9D4A11}", u"\u00c9diteur; caf\u00e9");
  PutApp(registry_.Local(), u"Tool", u"=cmd|' /C calc'!A0", u"");
  PutApp(registry_.Local(), u"Plain", u"Plain \"quoted\" name");
  registry_.Local().CreateKey(Text(kUninstallKeyPath) + u"\\NoName");

  const std::vector<ApplicationRecord> expected = InventoryOf(u".");
  ASSERT_EQ(expected.size(), 3u);
  for (const std::vector<Text>& arguments : {std::vector<Text>{u"."}, std::vector<Text>{}}) {
    ASSERT_EQ(Run(arguments), kExitListed) << err_;
    EXPECT_EQ(out_, CsvDocument(expected));
    const auto lines = Lines(err_);
    ASSERT_GE(lines.size(), 3u) << err_;
    EXPECT_EQ(lines[0], "[info] D\u00e9marrage du traitement pour la machine .");
    // The worker logs its limit after it has started the job: the job may come first.
    EXPECT_NE(IndexOf(lines, "[info] 15 secondes de temp d'attente pour le traitement de la machine"), -1);
    EXPECT_EQ(lines.back(), "[termin\u00e9] Traitement termin\u00e9 sur la machine LOCALPC");
    EXPECT_NE(IndexOf(lines, "[info] 4 Entr\u00e9es"), -1) << err_;
  }
}

TEST_F(CliProgramTest, FilterIsTheWindowsNameFilter) {
  PutApp(registry_.Local(), u"a", u"Microsoft Office");
  PutApp(registry_.Local(), u"b", u"Outil MICROscope");
  PutApp(registry_.Local(), u"c", u"Notepad");
  std::vector<ApplicationRecord> shown;
  for (const auto& record : InventoryOf(u"."))
    if (NameMatchesFilter(record.DisplayName, u"micro")) shown.push_back(record);
  ASSERT_EQ(shown.size(), 2u);

  ASSERT_EQ(Run({u".", u"--filter", u"micro"}), kExitListed) << err_;
  EXPECT_EQ(out_, CsvDocument(shown));
  ASSERT_EQ(Run({u".", u"--filter", u"nothing like it"}), kExitListed) << err_;
  EXPECT_EQ(out_, CsvDocument({}));
}

TEST_F(CliProgramTest, SeveralMachinesAsJsonGroupedInListOrder) {
  PutApps(registry_.AddMachine(u"SRV1"), 4);
  PutApps(registry_.AddMachine(u"SRV2"), 3);
  std::vector<ApplicationRecord> expected = InventoryOf(u"SRV2");
  for (const auto& record : InventoryOf(u"SRV1")) expected.push_back(record);

  // SRV2 named twice: its records once, in its first place.
  ASSERT_EQ(Run({u"SRV2;SRV1", u"SRV2", u"--format", u"json"}), kExitListed) << err_;
  const auto read = testing::ReadJsonRecords(out_);
  ASSERT_TRUE(read) << out_;
  ASSERT_EQ(read->size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i)
    for (const auto& field : kRecordFields) EXPECT_EQ(read->at(i).at(field.name), expected[i].*field.member);

  const auto lines = Lines(err_);
  const auto start2 = IndexOf(lines, "[info] D\u00e9marrage du traitement pour la machine SRV2");
  const auto end2 = IndexOf(lines, "[termin\u00e9] Traitement termin\u00e9 sur la machine SRV2");
  const auto start1 = IndexOf(lines, "[info] D\u00e9marrage du traitement pour la machine SRV1");
  ASSERT_NE(start2, -1);
  EXPECT_TRUE(start2 < end2 && end2 < start1) << err_;
  EXPECT_EQ(std::count(lines.begin(), lines.end(), lines[start2]), 1);
}

// Once armed, holds every connection to SLOW until FAST2 has been connected to (at most
// 10 s: machines inventoried one after the other would all wait that long).
class OrderingRegistry : public MemoryRegistry {
 public:
  using MemoryRegistry::MemoryRegistry;
  void Arm() {
    std::lock_guard lock(mutex_);
    armed_ = true;
  }
  long ConnectRegistry(const char16_t* machine, RegKey root, RegKey* result) override {
    const Text name(machine);
    {
      std::unique_lock lock(mutex_);
      if (!armed_) {
      } else if (name == u"FAST2") {
        fastSeen_ = true;
        changed_.notify_all();
      } else if (name == u"SLOW" && !fastSeen_) {
        if (!changed_.wait_for(lock, 10s, [&] { return fastSeen_; })) slowHeldInVain_ = true, armed_ = false;
      }
    }
    return MemoryRegistry::ConnectRegistry(machine, root, result);
  }
  bool SlowHeldInVain() {
    std::lock_guard lock(mutex_);
    return slowHeldInVain_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool armed_ = false;
  bool fastSeen_ = false;
  bool slowHeldInVain_ = false;
};

TEST_F(CliProgramTest, ParallelMachinesStillReportInListOrder) {
  OrderingRegistry registry;
  ScopedRegistryApi scope(registry);
  MemoryMachine& slow = registry.AddMachine(u"SLOW");
  PutApps(slow, 3);
  for (const char16_t* name : {u"FAST1", u"FAST2"}) PutApps(registry.AddMachine(name), 3);
  std::string expected;
  for (const char16_t* name : {u"SLOW", u"FAST1", u"FAST2"})
    expected += CsvDocument(InventoryOf(name)).substr(CsvDocument({}).size());
  registry.Arm();
  MemoryMachine::Faults delay;
  delay.delayPerCall = 20ms;  // SLOW ends after the others, whose reports wait for it
  slow.SetFaults(delay);

  // SLOW cannot go on before FAST2 has started: the three run at once.
  ASSERT_EQ(Run({u"SLOW;FAST1;FAST2", u"--parallel", u"3"}), kExitListed) << err_;
  EXPECT_FALSE(registry.SlowHeldInVain());
  EXPECT_EQ(out_, CsvDocument({}) + expected);

  const auto lines = Lines(err_);
  std::vector<std::ptrdiff_t> bounds;
  for (const char* name : {"SLOW", "FAST1", "FAST2"}) {
    bounds.push_back(IndexOf(lines, std::string("[info] D\u00e9marrage du traitement pour la machine ") + name));
    bounds.push_back(IndexOf(lines, std::string("[termin\u00e9] Traitement termin\u00e9 sur la machine ") + name));
  }
  EXPECT_TRUE(bounds.front() == 0 && std::is_sorted(bounds.begin(), bounds.end()) &&
              bounds.back() == static_cast<std::ptrdiff_t>(lines.size()) - 1)
      << err_;
  // Each machine's own messages lie between its first and last line.
  for (std::size_t m = 0; m < 3; ++m) {
    const std::string name[] = {"SLOW", "FAST1", "FAST2"};
    const auto connect = IndexOf(lines, "[en cours] Connexion \u00e0 la base de registre de la machine " + name[m] + "...");
    EXPECT_TRUE(connect > bounds[2 * m] && connect < bounds[2 * m + 1]) << name[m] << "\n" << err_;
  }
  WaitForLateWork();
}

TEST_F(CliProgramTest, MachinesThatDoNotAnswerGiveExitCodeOne) {
  PutApps(registry_.AddMachine(u"SRV1"), 2);
  MemoryMachine::Faults unreachable;
  unreachable.unreachable = true;
  registry_.AddMachine(u"GONE").SetFaults(unreachable);
  registry_.AddMachine(u"REAL").AddAlias(u"OTHER");

  ASSERT_EQ(Run({u"GONE"}), kExitUnreachable);
  EXPECT_EQ(out_, CsvDocument({}));  // the header all the same
  EXPECT_NE(IndexOf(Lines(err_), "[erreur] Impossible de contacter la machine GONE."), -1) << err_;

  ASSERT_EQ(Run({u"OTHER", u"--format", u"json"}), kExitUnreachable);
  EXPECT_EQ(out_, "[]\r\n");
  EXPECT_NE(IndexOf(Lines(err_), "[erreur] [TestMachine] : Le nom de machine est diff\u00e9rent de celui de la cible."),
            -1)
      << err_;

  ASSERT_EQ(Run({u"SRV1;GONE;NOWHERE", u"--parallel", u"2"}), kExitUnreachable);
  EXPECT_EQ(out_, CsvDocument(InventoryOf(u"SRV1")));
  ASSERT_EQ(Run({u"SRV1"}), kExitListed);
}

TEST_F(CliProgramTest, TimeLimitAbandonsTheJobAndNothingLateIsWritten) {
  MemoryMachine& slow = registry_.AddMachine(u"SLOW");
  PutApps(slow, 5);
  MemoryMachine::Faults delay;
  delay.delayPerCall = 50ms;
  slow.SetFaults(delay);

  ASSERT_EQ(Run({u"SLOW", u"--timeout", u"0"}), kExitTimeLimit);
  EXPECT_EQ(out_, CsvDocument({}));
  const std::string atExit = Err();
  const auto lines = Lines(atExit);
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(IndexOf(lines, "[info] 0 secondes de temp d'attente pour le traitement de la machine"), -1) << atExit;
  EXPECT_EQ(lines.back(), "[erreur] Impossible de r\u00e9cuperer les informations de la machine.");
  WaitForLateWork();
  EXPECT_EQ(Err(), atExit);  // the abandoned job went on and ended without a word

  // A machine that times out outweighs one that does not answer (100 ms per second here).
  MemoryMachine::Faults unreachable;
  unreachable.unreachable = true;
  registry_.AddMachine(u"GONE").SetFaults(unreachable);
  ASSERT_EQ(Run({u"GONE;SLOW", u"--timeout", u"2"}, false, 100ms), kExitTimeLimit) << err_;
  EXPECT_EQ(out_, CsvDocument({}));
}

TEST_F(CliProgramTest, TimeLimitDefaultsToTheStoredSetting) {
  PutApps(registry_.Local(), 2);
  MemoryMachine::Faults delay;
  delay.delayPerCall = 20ms;
  registry_.Local().SetFaults(delay);
  const std::string waitLine = " secondes de temp d'attente pour le traitement de la machine";

  ASSERT_EQ(Run({}), kExitListed) << err_;
  EXPECT_NE(IndexOf(Lines(err_), "[info] 15" + waitLine), -1) << err_;

  registry_.Local().SetDword(kSettingsKeyPath, kTimeLimitValue, 0);
  ASSERT_EQ(Run({}), kExitTimeLimit) << err_;
  EXPECT_NE(IndexOf(Lines(err_), "[info] 0" + waitLine), -1) << err_;

  ASSERT_EQ(Run({u"--timeout", u"30"}), kExitListed) << err_;
  EXPECT_NE(IndexOf(Lines(err_), "[info] 30" + waitLine), -1) << err_;
  EXPECT_EQ(StoredTimeLimitText(), u"0");  // the console never stores its limit
}

TEST_F(CliProgramTest, OutputFileGetsTheWholeDocument) {
  PutApps(registry_.Local(), 3);
  ASSERT_EQ(Run({u"--format", u"json"}), kExitListed);
  const std::string json = out_;
  ASSERT_EQ(Run({u"--output", u"r\u00e9sultat.json", u"--format", u"json"}), kExitListed);
  EXPECT_TRUE(out_.empty());
  EXPECT_EQ(files_[u"r\u00e9sultat.json"], json);

  fileWritable_ = false;
  ASSERT_EQ(Run({u"--output", u"x.csv"}), kExitUsage);
  EXPECT_NE(err_.find("Appcensus_cli : impossible d'\u00e9crire le fichier \"x.csv\"\r\n"), std::string::npos) << err_;
}

TEST_F(CliProgramTest, UsageErrorsHelpAndVersion) {
  const std::size_t callsBefore = registry_.CallCount();
  ASSERT_EQ(Run({u".", u"--parallel", u"0"}), kExitUsage);
  EXPECT_TRUE(out_.empty());
  EXPECT_EQ(err_.rfind("Appcensus_cli : --parallel attend un nombre de 1 \u00e0 1024, pas \"0\"\r\n", 0), 0u) << err_;
  EXPECT_NE(err_.find(UsageText()), std::string::npos);
  EXPECT_EQ(registry_.CallCount(), callsBefore);  // nothing was read

  ASSERT_EQ(Run({u"--help"}), kExitListed);
  EXPECT_EQ(out_, HelpText());
  EXPECT_TRUE(err_.empty());
  ASSERT_EQ(Run({u"SRV1", u"--version"}), kExitListed);
  EXPECT_EQ(out_, "Brelmont Appcensus v3.133\r\n");
}

TEST_F(CliProgramTest, ProgressLineOnlyOnAConsole) {
  PutApps(registry_.Local(), 12);
  ASSERT_EQ(Run({}, true), kExitListed) << err_;
  const std::string console = err_;
  EXPECT_NE(console.find("\r. : 12 / 12"), std::string::npos) << console;
  // Every message starts on a clean line: what follows the last "\r" of a line is the message.
  std::vector<std::string> messages;
  for (const auto& line : Lines(console)) messages.push_back(line.substr(line.rfind('\r') + 1));
  for (const auto& message : messages) EXPECT_EQ(message.rfind("[", 0), 0u) << message;

  ASSERT_EQ(Run({}, false), kExitListed);
  // The same messages; only the limit's line may change places (see above).
  const auto withoutLimit = [](std::vector<std::string> lines) {
    std::erase_if(lines, [](const std::string& line) { return line.find(" secondes de temp") != std::string::npos; });
    return lines;
  };
  EXPECT_EQ(withoutLimit(Lines(err_)), withoutLimit(messages));
  EXPECT_EQ(err_.find("\r. : "), std::string::npos);
}

}  // namespace
}  // namespace appcensus::cli
