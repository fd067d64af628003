// The identity test on the calling thread: its rules and their messages. Machines answering
// under another name, late verdicts and abandoned jobs are covered with the passes.
#include <gtest/gtest.h>

#include "inventory/machine_test.h"
#include "tests/support/memory_registry.h"
#include "tests/inventory/inventory_test_support.h"
#include "tests/support/recording_activity_log.h"

namespace appcensus {
namespace {

using testing::Rendered;
using Lines = std::vector<std::string>;

class MachineTestTest : public ::testing::Test {
 protected:
  Lines Run(TextView name) {
    RecordingActivityLog log;
    verdict_ = TestMachine(name, log);
    return Rendered(log.Calls());
  }

  MemoryRegistry registry_{u"LOCALPC"};
  MemoryMachine& srv2_ = registry_.AddMachine(u"SRV2");
  ScopedRegistryApi scope_{registry_};
  bool verdict_ = false;
};

TEST_F(MachineTestTest, RuleOneComparesTheUpperCasedRequestExactly) {
  EXPECT_EQ(Run(u"srv2"), (Lines{"[TestMachine] : Démarrage du test machine sur SRV2|1|1",
                                 "[TestMachine] : Teste de la machine effectuée correctement.|2|1"}));
  EXPECT_TRUE(verdict_);

  // The value read is compared as stored: a computer name kept in lower case never matches.
  registry_.AddMachine(u"srv9");
  const Lines lines = Run(u"srv9");
  EXPECT_FALSE(verdict_);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], "[TestMachine] : Nom de machine demandé : SRV9|0|1");
  EXPECT_EQ(lines[2], "[TestMachine] : Nom de machine cible : srv9|0|1");
}

TEST_F(MachineTestTest, UnreachableOrUnreadableMachinesFailByRuleTwo) {
  const Lines expected{"[TestMachine] : Démarrage du test machine sur GHOST|1|1",
                       "[TestMachine] : Impossible de contacter la machine.|3|1"};
  EXPECT_EQ(Run(u"ghost"), expected);
  EXPECT_FALSE(verdict_);

  srv2_.DenyAccess(kActiveComputerNameKeyPath);
  EXPECT_EQ(Run(u"SRV2")[1], expected[1]);
  EXPECT_FALSE(verdict_);
}

TEST_F(MachineTestTest, TheLocalMachinePassesByRuleThreeOnlyWithItsOwnName) {
  EXPECT_EQ(Run(u"."), (Lines{"[TestMachine] : Démarrage du test machine sur .|1|1",
                              "[TestMachine] : Machine locale, le nom de machine est conforme.|2|1"}));
  EXPECT_TRUE(verdict_);
  EXPECT_EQ(registry_.ConnectionCount(), 0u);  // "." is read without a connection

  registry_.Local().SetString(kActiveComputerNameKeyPath, kActiveComputerNameValue, u"RENAMED");
  EXPECT_EQ(Run(u".").back(), "[TestMachine] : Le nom de machine est différent de celui de la cible.|3|1");
  EXPECT_FALSE(verdict_);
}

}  // namespace
}  // namespace appcensus
