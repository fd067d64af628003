// The pure rules of the detail pass: date rewrite, icon folder, product code, pattern search,
// record. Their fuzz target (fuzz/fuzz_entry_rules.cpp) states the same rules as properties.
#include <gtest/gtest.h>

#include "inventory/entry_rules.h"

namespace appcensus {
namespace {

TEST(EntryRulesTest, InstallDateRewritesOnlyEightDigitsThatFormADate) {
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"20110606", u"06/06/2011"}, {u"20241231", u"31/12/2024"}, {u"20240101", u"01/01/2024"}, {u"20111306", u"20111306"},
      {u"20110006", u"20110006"},   {u"20110632", u"20110632"},   {u"20110600", u"20110600"},
      {u"2023-11-02", u"2023-11-02"}, {u"15/03/2024", u"15/03/2024"}, {u"2011", u"2011"}};
  for (const auto& [date, rewritten] : cases) EXPECT_EQ(RewriteInstallDate(date), rewritten) << TextToUtf8(date);
}

TEST(EntryRulesTest, IconFolderEndsAtTheLastSeparatorBeforeTheFirstBar) {
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"\"C:\\Program Files\\App\\app.exe\",0", u"C:\\Program Files\\App\\"},
      {u"C:\\a/b\\c.ico", u"C:\\a/b\\"},
      {u"\"app.exe\",0", u""},
      {u"C:\\One\\a.exe|D:\\Two\\b.exe", u"C:\\One\\"},
      {u"a.exe|D:\\Two\\b.exe", u""},
      {u"\"\"C:\\x\\y", u"\"C:\\x\\"}};  // only one quote is skipped
  for (const auto& [icon, folder] : cases) EXPECT_EQ(IconFolder(icon), folder) << TextToUtf8(icon);
}

TEST(EntryRulesTest, ProductCodeIsTheOneBracedGroupOfTheKeyName) {
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"Setup{ABC}.x64", u"{ABC}"},
      {u"{{a}}", u"{{a}"},  // the shortest run: the second "}" is left over
      {u"}{x}{", u"{x}"},
      {u"x{\xD800}", u"{\xFFFD}"},  // an unpaired surrogate reads as U+FFFD
      {u"Mozilla Firefox", u" - "},
      {u"{A}{B}", u" - "},
      {u"{line\nbreak}", u" - "}};  // "." stops at a line end
  const ProductCodePattern pattern;
  for (const auto& [key, code] : cases) EXPECT_EQ(pattern.Extract(key), code) << TextToUtf8(key);
}

TEST(EntryRulesTest, PatternSearchFindsEveryMatchAndStepsOverEmptyOnesByCharacter) {
  using Ranges = std::vector<std::pair<std::size_t, std::size_t>>;
  const std::tuple<const char*, const char*, Ranges> cases[] = {
      {"x*", "axxb", {{0, 0}, {1, 3}, {3, 3}, {4, 4}}},
      {"x*", "", {{0, 0}}},
      {"x*", "\xC3\xA9x", {{0, 0}, {2, 3}, {3, 3}}},  // one character on, not one byte
      {"(unclosed", "unclosed", {}},                  // an invalid pattern matches nothing
  };
  for (const auto& [pattern, subject, ranges] : cases) EXPECT_EQ(TextPattern(pattern).AllMatches(subject), ranges);
  EXPECT_FALSE(TextPattern("(unclosed").Valid());
}

TEST(EntryRulesTest, EmptyValuesTakeTheirFallbacks) {
  const ProductCodePattern pattern;
  const auto build = [&](const EntryValues& values, TextView command = u"cmd") {
    return BuildApplicationRecord(values, command, UninstallEntry{u"{K-1}", u"srv"}, pattern);
  };
  EntryValues values;
  EXPECT_EQ(build(values), std::nullopt);  // no display name: no record
  values.DisplayName = u"App";
  EXPECT_EQ(*build(values), (ApplicationRecord{u"App", u" - ", u" - ", u" - ", u"", u" - ", u"{K-1}", u"srv", u"{K-1}"}));
  // The UninstallCommand stands in only for an empty UninstallString with a RegistryLocation.
  values.RegistryLocation = u"HKLM\\x";
  EXPECT_TRUE(NeedsUninstallCommand(values));
  EXPECT_EQ(build(values)->UninstallString, u"cmd");
  values.UninstallString = u"own";
  EXPECT_FALSE(NeedsUninstallCommand(values));
  EXPECT_EQ(build(values)->UninstallString, u"own");
  values.UninstallString.clear();
  values.RegistryLocation.clear();
  EXPECT_FALSE(NeedsUninstallCommand(values));
  EXPECT_EQ(build(values)->UninstallString, u"");
}

}  // namespace
}  // namespace appcensus
