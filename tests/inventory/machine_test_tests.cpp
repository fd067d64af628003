// The identity test: its four rules, its messages, and verdicts that arrive too late.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>

#include "inventory/machine_test.h"
#include "registry/memory_registry.h"
#include "tests/inventory/inventory_test_support.h"

namespace appcensus {
namespace {

using testing::Rendered;
using testing::WatchingRegistry;
using Lines = std::vector<std::string>;

class MachineTestTest : public ::testing::Test {
 protected:
  ~MachineTestTest() override {
    watching_.ReleaseAll();
    for (const auto& thread : threads_) EXPECT_TRUE(thread.WaitFor(std::chrono::seconds(20)));
  }

  Lines Run(TextView name) {
    RecordingActivityLog log;
    verdict_ = TestMachine(name, log);
    return Rendered(log.Calls());
  }
  IdentityTestRun Threaded(std::chrono::milliseconds wait) {
    IdentityTestRun run{log_, gate_, wait, [this](const TaskThread& thread) { threads_.push_back(thread); }};
    return run;
  }

  MemoryRegistry registry_{u"LOCALPC"};
  MemoryMachine& srv2_ = registry_.AddMachine(u"SRV2");
  WatchingRegistry watching_{registry_};
  ScopedRegistryApi scope_{watching_};
  bool verdict_ = false;
  std::shared_ptr<RecordingActivityLog> log_ = std::make_shared<RecordingActivityLog>();
  std::shared_ptr<JobGate> gate_ = std::make_shared<JobGate>();
  std::vector<TaskThread> threads_;  // only touched on the test's own thread
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

TEST_F(MachineTestTest, AnotherNameOfTheMachineFailsByRuleFourWithBothNames) {
  srv2_.AddAlias(u"10.0.0.2");
  srv2_.AddAlias(u"srv2.corp.local");
  EXPECT_EQ(Run(u"10.0.0.2"), (Lines{"[TestMachine] : Démarrage du test machine sur 10.0.0.2|1|1",
                                     "[TestMachine] : Nom de machine demandé : 10.0.0.2|0|1",
                                     "[TestMachine] : Nom de machine cible : SRV2|0|1",
                                     "[TestMachine] : Le nom de machine est différent de celui de la cible.|3|1"}));
  EXPECT_FALSE(verdict_);
  EXPECT_EQ(Run(u"srv2.corp.local")[1], "[TestMachine] : Nom de machine demandé : SRV2.CORP.LOCAL|0|1");
  EXPECT_FALSE(verdict_);
}

TEST_F(MachineTestTest, ThreadedTestGivesItsVerdictWithinTheWait) {
  EXPECT_TRUE(AwaitMachineTest(u"srv2", Threaded(std::chrono::seconds(20))));
  EXPECT_FALSE(AwaitMachineTest(u"ghost", Threaded(std::chrono::seconds(20))));
  EXPECT_EQ(log_->Lines().size(), 4u);
}

TEST_F(MachineTestTest, LateVerdictCountsForNobodyButItsMessagesArrive) {
  // The second test starts while the first still waits for its machine; the first then
  // passes before the second ends, and the second must still see only its own failure.
  std::mutex mutex;
  TaskThread late;
  watching_.beforeConnect = [&](TextView machine) {
    if (machine != u"GHOST") return;
    watching_.Release(u"SRV2");
    std::lock_guard lock(mutex);
    EXPECT_TRUE(late.WaitFor(std::chrono::seconds(20)));
  };
  watching_.Hold(u"SRV2");
  EXPECT_FALSE(AwaitMachineTest(u"srv2", Threaded(std::chrono::milliseconds(20))));
  {
    std::lock_guard lock(mutex);
    late = threads_.front();
  }
  EXPECT_FALSE(AwaitMachineTest(u"ghost", Threaded(std::chrono::seconds(20))));
  const auto lines = Rendered(log_->Calls());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "[TestMachine] : Teste de la machine effectuée correctement.|2|1"),
            lines.end());
}

TEST_F(MachineTestTest, TestOfAnAbandonedJobLogsNothingMore) {
  watching_.Hold(u"SRV2");
  EXPECT_FALSE(AwaitMachineTest(u"srv2", Threaded(std::chrono::milliseconds(20))));
  gate_->Abandon();
  watching_.Release(u"SRV2");
  ASSERT_TRUE(threads_.front().WaitFor(std::chrono::seconds(20)));
  EXPECT_EQ(Rendered(log_->Calls()), (Lines{"[TestMachine] : Démarrage du test machine sur SRV2|1|1"}));
}

}  // namespace
}  // namespace appcensus
