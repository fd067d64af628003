// Texts, number reading, the shared table and list, threads that can be waited for.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "core/application_table.h"
#include "core/shared_state.h"
#include "core/task_thread.h"
#include "core/text.h"

namespace appcensus {
namespace {

TEST(ProductTest, TitleAndVersion) {
  EXPECT_EQ(ProductVersion(), u"3.133");
  EXPECT_EQ(WindowTitle(), u"Brelmont Appcensus v3.133");
}

TEST(TextTest, Utf8RoundTripsAndReplacesUnpairedSurrogates) {
  EXPECT_EQ(TextToUtf8(u"\u00e9"), "\xC3\xA9");
  EXPECT_EQ(TextToUtf8(u"a\U0001F600"), "a\xF0\x9F\x98\x80");
  EXPECT_EQ(TextToUtf8(Text(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
  EXPECT_EQ(TextToUtf8(Text(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf8ToText("Caf\xC3\xA9 \xF0\x9F\x98\x80"), u"Caf\u00e9 \U0001F600");
  EXPECT_EQ(Utf8ToText("\xC3"), u"\uFFFD");
  EXPECT_EQ(Utf8ToText("\xC0\xAF"), u"\uFFFD\uFFFD");  // overlong form
  EXPECT_EQ(Utf8ToText("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
}

TEST(TextTest, LetterCaseMapsLatinLetters) {
  EXPECT_EQ(UpperCase(u"pc01-\u00e9t\u00e9"), u"PC01-\u00c9T\u00c9");
  EXPECT_EQ(LowerCase(u"MICRO Soft \u00c9"), u"micro soft \u00e9");
  EXPECT_EQ(UpperCase(u"\u00df"), u"\u00df");  // no one-character upper form
  EXPECT_EQ(LowerCase(u"\u0416"), u"\u0436");
}

TEST(TextTest, LeadingNumberReadsSignPrefixAndDigits) {
  EXPECT_EQ(LeadingNumber(u"15"), 15);
  EXPECT_EQ(LeadingNumber(u"0"), 0);
  EXPECT_EQ(LeadingNumber(u"abc"), 0);
  EXPECT_EQ(LeadingNumber(u"$1F"), 31);
  EXPECT_EQ(LeadingNumber(u"$1f"), 31);
  EXPECT_EQ(LeadingNumber(u"%101"), 5);
  EXPECT_EQ(LeadingNumber(u"%102"), 2);
  EXPECT_EQ(LeadingNumber(u" -3"), -3);
  EXPECT_EQ(LeadingNumber(u"\t+42x"), 42);
  EXPECT_EQ(LeadingNumber(u"- 3"), 0);
  EXPECT_EQ(LeadingNumber(u"000"), 0);
  EXPECT_EQ(LeadingNumber(u"2147483648"), -2147483647 - 1);
  EXPECT_EQ(LeadingNumber(u"4294967296"), 0);
  EXPECT_EQ(LeadingNumber(u"99999999999999999999999"), -159383553);  // 10^23 - 1 modulo 2^32, signed
  EXPECT_EQ(LeadingNumber(u"12 34"), 12);
}

TEST(TextTest, FieldsSplitOnEverySeparator) {
  EXPECT_EQ(CountFields(u"a;b;;c", u';'), 4u);
  EXPECT_EQ(CountFields(u"", u';'), 1u);
  EXPECT_EQ(NthField(u"a;b;;c", u';', 0), u"a");
  EXPECT_EQ(NthField(u"a;b;;c", u';', 2), u"");
  EXPECT_EQ(NthField(u"a;b;;c", u';', 3), u"c");
  EXPECT_EQ(NthField(u";", u';', 1), u"");
}

ApplicationRecord Record(TextView machine, TextView key, TextView name = u"App") {
  ApplicationRecord r;
  r.Machine = Text(machine);
  r.KeyName = Text(key);
  r.DisplayName = Text(name);
  return r;
}

TEST(ApplicationTableTest, KeysAreExactAndStoringAgainOverwritesInPlace) {
  ApplicationTable table;
  table.Store(Record(u".", u"{A}", u"First"));
  table.Store(Record(u"SRV", u"{A}"));
  table.Store(Record(u"srv", u"{A}"));
  table.Store(Record(u".", u"{A}", u"Second"));
  EXPECT_EQ(table.Count(), 3u);
  int seen = 0;
  for (const auto& r : table.Snapshot()) {
    if (r.Machine == u".") {
      EXPECT_EQ(r.DisplayName, u"Second");
      ++seen;
    }
  }
  EXPECT_EQ(seen, 1);
  EXPECT_EQ(ApplicationTable::KeyOf(Record(u".", u"X")), u"._X");
  EXPECT_EQ(EntryRegistryPath(Record(u"M", u"{ABC}")),
            u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{ABC}");
  table.Clear();
  EXPECT_EQ(table.Count(), 0u);
  EXPECT_TRUE(table.Snapshot().empty());
}

TEST(ApplicationTableTest, IterationVisitsEveryRecordOnceInTheSameOrderEachTime) {
  ApplicationTable table;
  for (int i = 0; i < 3000; ++i) table.Store(Record(u"M", u"Key" + DecimalText(i)));
  const auto first = table.Snapshot();
  const auto second = table.Snapshot();
  ASSERT_EQ(first.size(), 3000u);
  EXPECT_EQ(first, second);
  std::set<Text> keys;
  for (const auto& r : first) keys.insert(r.KeyName);
  EXPECT_EQ(keys.size(), 3000u);
}

TEST(ApplicationTableTest, ConcurrentStoresAndSnapshotsStayConsistent) {
  ApplicationTable table;
  UninstallEntryList list;
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    while (!stop) {
      const auto snapshot = table.Snapshot();
      for (const auto& r : snapshot) ASSERT_EQ(r.DisplayName, u"App");
      list.Snapshot();
    }
  });
  for (int i = 0; i < 2000; ++i) {
    table.Store(Record(u"M", DecimalText(i % 500)));
    list.Append(UninstallEntry{DecimalText(i), u"M"});
  }
  stop = true;
  reader.join();
  EXPECT_EQ(table.Count(), 500u);
  EXPECT_EQ(list.Count(), 2000u);
  EXPECT_EQ(list.Snapshot()[1999].KeyName, u"1999");
}

TEST(SharedStateTest, StartsEmpty) {
  SharedState state;
  EXPECT_EQ(state.applicationTable.Count(), 0u);
  EXPECT_EQ(state.uninstallEntryList.Count(), 0u);
  EXPECT_EQ(state.pendingMachineRequest.Get(), u"");
  EXPECT_EQ(state.lastMachineName.Get(), u"");
  EXPECT_FALSE(state.machineTestPassed);
  EXPECT_FALSE(state.layoutReady);
  state.pendingMachineRequest.Set(u"SRV2");
  EXPECT_FALSE(state.pendingMachineRequest.CompareAndSet(u"X", u""));
  EXPECT_TRUE(state.pendingMachineRequest.CompareAndSet(u"SRV2", u""));
  EXPECT_EQ(state.pendingMachineRequest.Get(), u"");
}

TEST(TaskThreadTest, WaitEndsWithTheWorkOrTheLimit) {
  TaskThread quick;
  std::atomic<bool> ran{false};
  ASSERT_TRUE(quick.Start([&] { ran = true; }));
  EXPECT_TRUE(quick.WaitFor(std::chrono::seconds(10)));
  EXPECT_TRUE(ran);
  EXPECT_FALSE(quick.Running());

  std::mutex gate;
  std::unique_lock hold(gate);
  TaskThread blocked;
  ASSERT_TRUE(blocked.Start([&gate] { std::lock_guard wait(gate); }));
  EXPECT_FALSE(blocked.WaitFor(std::chrono::milliseconds(30)));
  EXPECT_TRUE(blocked.Running());
  hold.unlock();
  EXPECT_TRUE(blocked.WaitFor(std::chrono::seconds(10)));
  EXPECT_FALSE(blocked.Running());

  TaskThread never;
  EXPECT_FALSE(never.Running());
}

}  // namespace
}  // namespace appcensus
