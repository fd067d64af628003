// Texts, number reading and the shared application table.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "core/application_table.h"

namespace appcensus {
namespace {

TEST(TextTest, Utf8ConversionsReplaceWhatTheyCannotCarry) {
  const std::pair<Text, std::string> both = {u"Caf\u00e9 \U0001F600", "Caf\xC3\xA9 \xF0\x9F\x98\x80"};  // either way
  const std::pair<Text, std::string> toUtf8[] = {both, {Text(1, char16_t(0xD800)) + u"x", "\xEF\xBF\xBDx"},  // unpaired
                                                 {Text(1, char16_t(0xDC00)), "\xEF\xBF\xBD"}};
  const std::pair<Text, std::string> toText[] = {both, {u"\uFFFD", "\xC3"},           // truncated sequence
                                                 {u"\uFFFD\uFFFD", "\xC0\xAF"},        // overlong form
                                                 {u"\uFFFD\uFFFD\uFFFD", "\xED\xA0\x80"}};  // encoded surrogate
  for (const auto& [text, utf8] : toText) EXPECT_EQ(Utf8ToText(utf8), text) << utf8;
  for (const auto& [text, utf8] : toUtf8) EXPECT_EQ(TextToUtf8(text), utf8);
}

TEST(TextTest, LetterCaseMapsOneCharacterAtATime) {
  const std::tuple<const char16_t*, const char16_t*, const char16_t*> cases[] = {
      {u"pc01-\u00e9t\u00e9", u"PC01-\u00c9T\u00c9", u"pc01-\u00e9t\u00e9"},
      {u"MICRO Soft \u00c9", u"MICRO SOFT \u00c9", u"micro soft \u00e9"},
      {u"\u00df", u"\u00df", u"\u00df"},  // no one-character upper form
      {u"\u0416\u0436", u"\u0416\u0416", u"\u0436\u0436"}};
  for (const auto& [text, upper, lower] : cases) {
    EXPECT_EQ(UpperCase(text), upper);
    EXPECT_EQ(LowerCase(text), lower);
  }
}

TEST(TextTest, LeadingNumberReadsBlanksSignPrefixAndDigits) {
  // Blanks in front, signs and numbers past 32 bits: the fuzz target of the registry layer.
  const std::pair<const char16_t*, std::int32_t> cases[] = {{u"15", 15},   {u"abc", 0},  {u"$1F", 31}, {u"$1f", 31},
                                                            {u"%101", 5},  {u"%102", 2}, {u"- 3", 0},  {u"12 34", 12},
                                                            {u"$", 0}};
  for (const auto& [text, number] : cases) EXPECT_EQ(LeadingNumber(text), number) << TextToUtf8(text);
}

TEST(TextTest, EverySeparatorStartsAField) {
  const std::tuple<const char16_t*, std::size_t, std::size_t, const char16_t*> cases[] = {
      {u"a;b;;c", 4, 2, u""}, {u"a;b;;c", 4, 3, u"c"}, {u"a;b;;c", 4, 0, u"a"}, {u"", 1, 0, u""}, {u";", 2, 1, u""}};
  for (const auto& [text, count, index, field] : cases) {
    EXPECT_EQ(CountFields(text, u';'), count);
    EXPECT_EQ(NthField(text, u';', index), field) << index;
  }
}

TEST(ApplicationTableTest, KeysAreExactStoresOverwriteInPlaceAndReadersSeeWholeRecords) {
  ApplicationTable table;
  UninstallEntryList list;
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    while (!stop)
      for (const auto& record : table.Snapshot()) ASSERT_EQ(record.Machine.size(), 1u) << list.Snapshot().size();
  });
  for (int i = 0; i < 3000; ++i) {
    table.Store(ApplicationRecord{u"First", {}, {}, {}, {}, {}, {}, u"M", DecimalText(i)});
    table.Store(ApplicationRecord{u"Second", {}, {}, {}, {}, {}, {}, i % 2 ? u"M" : u"m", DecimalText(i)});
    list.Append(UninstallEntry{DecimalText(i), u"M"});
  }
  stop = true;
  reader.join();
  const auto records = table.Snapshot();
  EXPECT_EQ(records, table.Snapshot());  // the same order each time
  std::set<Text> keys;
  for (const auto& record : records) keys.insert(ApplicationTable::KeyOf(record) + u"=" + record.DisplayName);
  EXPECT_EQ(keys.size(), 4500u);  // "m" is another machine than "M"
  EXPECT_EQ(table.Count(), 4500u);
  EXPECT_EQ(keys.count(u"M_7=Second") + keys.count(u"m_8=Second") + keys.count(u"M_8=First"), 3u);
  EXPECT_EQ(list.Snapshot()[2999].KeyName, u"2999");
  table.Clear();
  EXPECT_TRUE(table.Snapshot().empty());
}

}  // namespace
}  // namespace appcensus
