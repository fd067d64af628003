#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ui/activity_view.h"
#include "ui/image_names.h"
#include "tests/support/recording_gadgets.h"

namespace appcensus {
namespace {

class ActivityViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetNamedIdsForTesting();
    NamedValue value = 500;
    for (const IconImage& icon : kIcons) RegisterNamedId(icon.name, 0, value++, u"");
    channel.Attach(gadgets, [] { return true; });
  }
  void TearDown() override {
    channel.Detach();
    ResetNamedIdsForTesting();
  }

  RecordingGadgets gadgets;
  UiChannel channel;
  GadgetActivityLog log{channel};
};

TEST_F(ActivityViewTest, LevelsPickTheirIconAndNoneKeepsTheLastOne) {
  log.LogActivity(u"Connexion", ActivityLevel::InProgress, 1);
  EXPECT_EQ(gadgets.statusIcon, NamedId(u"ICO_ActionEnCours"));
  log.LogActivity(u"Impossible de contacter la machine SRV2", ActivityLevel::Error, 1);
  EXPECT_EQ(gadgets.statusIcon, NamedId(u"ICO_ActionErreur"));
  log.LogActivity(u"12 Entrées", ActivityLevel::None, 1);
  EXPECT_EQ(gadgets.statusIcon, NamedId(u"ICO_ActionErreur"));  // kept
  EXPECT_EQ(gadgets.statusTexts[1], u"12 Entrées");
  log.LogActivity(u"Fini", ActivityLevel::Done, 1);
  EXPECT_EQ(gadgets.statusIcon, NamedId(u"ICO_ActionTermine"));
  log.LogActivity(u"Niveau inconnu", static_cast<ActivityLevel>(4), 1);
  log.LogActivity(u"Niveau négatif", static_cast<ActivityLevel>(-1), 1);
  EXPECT_EQ(gadgets.statusIcon, NamedId(u"ICO_ActionTermine"));

  ASSERT_EQ(gadgets.activityRows.size(), 6u);
  const NamedValue rowImages[] = {NamedId(u"ICO_ActionEnCours"), NamedId(u"ICO_ActionErreur"), 0,
                                  NamedId(u"ICO_ActionTermine"), 0, 0};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(gadgets.activityRows[i].image, rowImages[i]) << i;
  EXPECT_EQ(gadgets.statusTexts[1], u"Niveau négatif");
}

TEST_F(ActivityViewTest, TextGoesToItsFieldAndAnEmptyTextEmptiesIt) {
  log.LogActivity(u"45 Entrées", ActivityLevel::None, 3);
  log.LogActivity(u"Texte", ActivityLevel::None, 1);
  EXPECT_EQ(gadgets.statusTexts[3], u"45 Entrées");
  EXPECT_EQ(gadgets.statusTexts[1], u"Texte");
  log.LogActivity(u"", ActivityLevel::None, 3);
  EXPECT_EQ(gadgets.statusTexts[3], u"");
  EXPECT_EQ(gadgets.statusTexts[1], u"Texte");
  ASSERT_EQ(gadgets.activityRows.size(), 3u);
  EXPECT_EQ(gadgets.activityRows[2].text, u"");
  // A field the status bar does not have: the row is still added, no field changes.
  log.LogActivity(u"hors champ", ActivityLevel::None, 7);
  EXPECT_EQ(gadgets.activityRows.size(), 4u);
  EXPECT_EQ(gadgets.statusTexts[1], u"Texte");
  EXPECT_EQ(gadgets.statusTexts[3], u"");
}

TEST_F(ActivityViewTest, TextInFieldTwoHidesTheProgressBarUntilTheNextProgress) {
  log.SetStatusProgress(30, 200);
  EXPECT_TRUE(gadgets.progressVisible);
  EXPECT_EQ(gadgets.progressValue, 30);
  EXPECT_EQ(gadgets.progressMaximum, 200);
  log.LogActivity(u"152", ActivityLevel::None, 2);
  EXPECT_FALSE(gadgets.progressVisible);
  EXPECT_EQ(gadgets.statusTexts[2], u"152");
  log.LogActivity(u"autre", ActivityLevel::None, 1);
  EXPECT_FALSE(gadgets.progressVisible);
  log.SetStatusProgress(0, 100);
  EXPECT_TRUE(gadgets.progressVisible);
  EXPECT_EQ(gadgets.progressMaximum, 100);
}

TEST_F(ActivityViewTest, AnIconThatFailedToLoadLeavesFieldZeroAlone) {
  log.LogActivity(u"a", ActivityLevel::Done, 1);
  RegisterNamedId(u"ICO_ActionErreur", 0, 0, u"");
  log.LogActivity(u"b", ActivityLevel::Error, 1);
  EXPECT_EQ(gadgets.statusIcon, NamedId(u"ICO_ActionTermine"));
  EXPECT_EQ(gadgets.activityRows.back().image, 0);
}

TEST_F(ActivityViewTest, CallsFromOtherThreadsArriveWholeAndInEachThreadsOrder) {
  // The window thread is this one; four callers post while it is busy elsewhere, then it drains.
  std::atomic<int> wakes{0};
  channel.Attach(gadgets, [&] {
    ++wakes;
    return true;
  });
  constexpr int kThreads = 4;
  constexpr int kCalls = 500;
  std::vector<std::thread> callers;
  for (int t = 0; t < kThreads; ++t) {
    callers.emplace_back([this, t] {
      for (int i = 0; i < kCalls; ++i) log.LogActivity(u"T" + DecimalText(t) + u":" + DecimalText(i), ActivityLevel::None, 1);
    });
  }
  for (auto& caller : callers) caller.join();
  EXPECT_TRUE(gadgets.activityRows.empty());  // nothing touched the controls from those threads
  EXPECT_EQ(wakes.load(), 1);                 // at most one wake-up pending
  channel.Drain();
  ASSERT_EQ(gadgets.activityRows.size(), static_cast<std::size_t>(kThreads * kCalls));
  EXPECT_EQ(gadgets.updates, 1);  // one batch
  int next[kThreads] = {};
  for (const auto& row : gadgets.activityRows) {
    const int t = row.text[1] - u'0';
    EXPECT_EQ(row.text, u"T" + DecimalText(t) + u":" + DecimalText(next[t]));
    ++next[t];
  }
  // After the drain a new call asks for a new wake-up.
  std::thread([this] { log.SetStatusProgress(1, 2); }).join();
  EXPECT_EQ(wakes.load(), 2);
}

TEST_F(ActivityViewTest, CallsMadeOnTheWindowThreadApplyAtOnceAfterQueuedOnes) {
  std::thread([this] { log.LogActivity(u"from worker", ActivityLevel::None, 1); }).join();
  EXPECT_TRUE(gadgets.activityRows.empty());
  log.LogActivity(u"from window", ActivityLevel::None, 1);
  ASSERT_EQ(gadgets.activityRows.size(), 2u);
  EXPECT_EQ(gadgets.activityRows[0].text, u"from worker");
  EXPECT_EQ(gadgets.activityRows[1].text, u"from window");
}

TEST_F(ActivityViewTest, WorkQueuedBeforeTheWindowExistsWaitsForIt) {
  UiChannel early;
  GadgetActivityLog earlyLog(early);
  earlyLog.LogActivity(u"avant", ActivityLevel::None, 1);
  RecordingGadgets later;
  bool woken = false;
  early.Attach(later, [&] { return woken = true; });
  EXPECT_TRUE(later.activityRows.empty());
  early.Drain();
  ASSERT_EQ(later.activityRows.size(), 1u);
  EXPECT_EQ(later.activityRows[0].text, u"avant");
  early.Detach();
}

}  // namespace
}  // namespace appcensus
