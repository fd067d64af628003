// The pure rules of the detail pass: date rewrite, icon folder, product code, record.
#include <gtest/gtest.h>

#include "inventory/entry_rules.h"

namespace appcensus {
namespace {

using Ranges = std::vector<std::pair<std::size_t, std::size_t>>;

TEST(InstallDateTest, RewritesPiecesAsFarAsTheTextReaches) {
  EXPECT_EQ(RewriteInstallDate(u"20110606"), u"06/06/2011");
  EXPECT_EQ(RewriteInstallDate(u"20231231"), u"31/12/2023");
  EXPECT_EQ(RewriteInstallDate(u"2011"), u"//2011");
  EXPECT_EQ(RewriteInstallDate(u"201"), u"//201");
  EXPECT_EQ(RewriteInstallDate(u"201106"), u"/06/2011");
  EXPECT_EQ(RewriteInstallDate(u"2011060"), u"0/06/2011");
  EXPECT_EQ(RewriteInstallDate(u"2011060615"), u"06/06/2011");  // beyond 8 characters: dropped
  EXPECT_EQ(RewriteInstallDate(u"6/6/2011"), u"11/20/6/6/");    // no digit check
  EXPECT_EQ(RewriteInstallDate(u"abcdéfgh"), u"gh/éf/abcd");
}

TEST(IconFolderTest, KeepsTheFolderOfTheIconFile) {
  EXPECT_EQ(IconFolder(u"\"C:\\Program Files\\App\\app.exe\",0"), u"C:\\Program Files\\App\\");
  EXPECT_EQ(IconFolder(u"C:\\Program Files\\App\\app.exe,-101"), u"C:\\Program Files\\App\\");
  EXPECT_EQ(IconFolder(u"C:/tools/bin/tool.ico"), u"C:/tools/bin/");
  EXPECT_EQ(IconFolder(u"C:\\a/b\\c.ico"), u"C:\\a/b\\");
  EXPECT_EQ(IconFolder(u"app.exe"), u"");
  EXPECT_EQ(IconFolder(u"\"app.exe\",0"), u"");
  EXPECT_EQ(IconFolder(u"\""), u"");
  EXPECT_EQ(IconFolder(u""), u"");
}

TEST(IconFolderTest, StopsAtTheFirstBarAndSkipsOnlyOneQuote) {
  EXPECT_EQ(IconFolder(u"C:\\One\\a.exe|D:\\Two\\b.exe"), u"C:\\One\\");
  EXPECT_EQ(IconFolder(u"a.exe|D:\\Two\\b.exe"), u"");
  EXPECT_EQ(IconFolder(u"|C:\\x\\"), u"");
  EXPECT_EQ(IconFolder(u"\"\"C:\\x\\y"), u"\"C:\\x\\");
  EXPECT_EQ(IconFolder(u"\\\\srv\\share\\"), u"\\\\srv\\share\\");
}

TEST(TextPatternTest, FindsAllMatchesAndAdvancesPastEmptyOnes) {
  TextPattern x("x*");
  ASSERT_TRUE(x.Valid());
  EXPECT_EQ(x.AllMatches("axxb"), (Ranges{{0, 0}, {1, 3}, {3, 3}, {4, 4}}));
  EXPECT_EQ(x.AllMatches(""), (Ranges{{0, 0}}));
  // After an empty match the search moves one character on, not one byte.
  EXPECT_EQ(x.AllMatches("\xC3\xA9x"), (Ranges{{0, 0}, {2, 3}, {3, 3}}));
  TextPattern word("[a-z]+");
  EXPECT_EQ(word.AllMatches("ab cd  e"), (Ranges{{0, 2}, {3, 5}, {7, 8}}));
}

TEST(TextPatternTest, InvalidInputGivesNoMatch) {
  TextPattern broken("(unclosed");
  EXPECT_FALSE(broken.Valid());
  EXPECT_TRUE(broken.AllMatches("unclosed").empty());
  TextPattern any(".");
  EXPECT_TRUE(any.AllMatches("a\xC3").empty());  // truncated UTF-8
}

TEST(ProductCodeTest, ExactlyOneBracedGroupGivesIt) {
  const ProductCodePattern pattern;
  EXPECT_EQ(pattern.Extract(u"{8E0B2C1D-1A2B-4C3D-9E8F-0123456789AB}"), u"{8E0B2C1D-1A2B-4C3D-9E8F-0123456789AB}");
  EXPECT_EQ(pattern.Extract(u"Setup{ABC}.x64"), u"{ABC}");
  EXPECT_EQ(pattern.Extract(u"{}"), u"{}");
  EXPECT_EQ(pattern.Extract(u"{{a}}"), u"{{a}");  // shortest run: the second "}" is left over
  EXPECT_EQ(pattern.Extract(u"}{x}{"), u"{x}");
  EXPECT_EQ(pattern.Extract(u"{Café; été}"), u"{Café; été}");
  EXPECT_EQ(pattern.Extract(u"x{\xD800}"), u"{\xFFFD}");  // an unpaired surrogate reads as U+FFFD
}

TEST(ProductCodeTest, NoGroupOrSeveralGivePlaceholder) {
  const ProductCodePattern pattern;
  EXPECT_EQ(pattern.Extract(u"Mozilla Firefox"), u" - ");
  EXPECT_EQ(pattern.Extract(u""), u" - ");
  EXPECT_EQ(pattern.Extract(u"{A}{B}"), u" - ");
  EXPECT_EQ(pattern.Extract(u"{A}.KB{B}"), u" - ");
  EXPECT_EQ(pattern.Extract(u"{open"), u" - ");
  EXPECT_EQ(pattern.Extract(u"{line\nbreak}"), u" - ");  // "." stops at a line end
}

class RecordTest : public ::testing::Test {
 protected:
  std::optional<ApplicationRecord> Build(const EntryValues& values, TextView command = u"") {
    return BuildApplicationRecord(values, command, UninstallEntry{u"{K-1}", u"srv"}, pattern_);
  }
  static EntryValues Named(TextView name) {
    EntryValues values;
    values.DisplayName = Text(name);
    return values;
  }
  ProductCodePattern pattern_;
};

TEST_F(RecordTest, EmptyValuesTakeTheirFallbacks) {
  const auto bare = Build(Named(u"App"));
  ASSERT_TRUE(bare);
  EXPECT_EQ(*bare, (ApplicationRecord{u"App", u" - ", u" - ", u" - ", u"", u" - ", u"{K-1}", u"srv", u"{K-1}"}));
  EntryValues icon = Named(u"App");
  icon.DisplayIcon = u"\"C:\\Program Files\\App\\app.exe\",0";
  EXPECT_EQ(Build(icon)->InstallLocation, u"C:\\Program Files\\App\\");
  icon.InstallLocation = u"D:\\Own\\";
  EXPECT_EQ(Build(icon)->InstallLocation, u"D:\\Own\\");
  EXPECT_EQ(Build(Named(u"")), std::nullopt);
}

TEST_F(RecordTest, UninstallCommandOnlyWhenRegistryLocationIsSet) {
  EntryValues values = Named(u"App");
  EXPECT_FALSE(NeedsUninstallCommand(values));
  EXPECT_EQ(Build(values, u"cmd")->UninstallString, u"");  // not asked for: not used
  values.RegistryLocation = u"HKLM\\x";
  EXPECT_TRUE(NeedsUninstallCommand(values));
  EXPECT_EQ(Build(values, u"cmd /u")->UninstallString, u"cmd /u");
  EXPECT_EQ(Build(values, u"")->UninstallString, u"");
  values.UninstallString = u"own";
  EXPECT_FALSE(NeedsUninstallCommand(values));
  EXPECT_EQ(Build(values, u"cmd /u")->UninstallString, u"own");
}

}  // namespace
}  // namespace appcensus
