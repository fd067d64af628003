// The pure rules of the detail pass: date rewrite, icon folder, product code, pattern search,
// record. Their fuzz target (fuzz/fuzz_entry_rules.cpp) states the same rules as properties.
// Then the decoding of package full names.
#include <gtest/gtest.h>

#include "inventory/entry_rules.h"
#include "inventory/package_names.h"

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
  EXPECT_EQ(*build(values), (ApplicationRecord{u"App", u" - ", u" - ", u" - ", u"", u" - ", u"{K-1}", u"srv", u"{K-1}",
                                                 kUninstallKeyPath, {}, 0b1111}));  // the four placeholders absent
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

// "Name|Version|Architecture|ResourceId|PublisherId|kind|family", or "" when it does not decode.
TEST(EntryRulesTest, PackageFullNamesDecodeIntoFiveFields) {
  const std::pair<const char16_t*, const char*> cases[] = {
      {u"Microsoft.WindowsCalculator_11.2210.0.0_x64__8wekyb3d8bbwe",
       "Microsoft.WindowsCalculator|11.2210.0.0|x64||8wekyb3d8bbwe|main|Microsoft.WindowsCalculator_8wekyb3d8bbwe"},
      {u"Microsoft.WindowsCalculator_11.2210.0.0_neutral_~_8wekyb3d8bbwe",
       "Microsoft.WindowsCalculator|11.2210.0.0|neutral|~|8wekyb3d8bbwe|bundle|Microsoft.WindowsCalculator_8wekyb3d8bbwe"},
      {u"Microsoft.WindowsCalculator_11.2210.0.0_neutral_split.scale-100_8wekyb3d8bbwe",
       "Microsoft.WindowsCalculator|11.2210.0.0|neutral|split.scale-100|8wekyb3d8bbwe|resource|Microsoft.WindowsCalculator_8wekyb3d8bbwe"},
      {u"Microsoft.LanguageExperiencePackfr-FR_22621.1.2.0_neutral_fr-fr_8wekyb3d8bbwe",
       "Microsoft.LanguageExperiencePackfr-FR|22621.1.2.0|neutral|fr-fr|8wekyb3d8bbwe|resource|Microsoft.LanguageExperiencePackfr-FR_8wekyb3d8bbwe"},
      {u"Microsoft.VCLibs.140.00_14.0.30704.0_x86__8wekyb3d8bbwe",  // a framework
       "Microsoft.VCLibs.140.00|14.0.30704.0|x86||8wekyb3d8bbwe|main|Microsoft.VCLibs.140.00_8wekyb3d8bbwe"},
      {u"Brelmont-Outils.Appli-2.x_1.0.0.0_arm64__a1b2c3", "Brelmont-Outils.Appli-2.x|1.0.0.0|arm64||a1b2c3|main|Brelmont-Outils.Appli-2.x_a1b2c3"},
      {u"App_1.0.0.0_x64_pub", ""},         // four fields
      {u"App_1.0.0.0_x64__pub_x", ""},      // six fields
      {u"_1.0.0.0_x64__pub", ""},           // no Name
      {u"App__x64__pub", ""},               // no Version
      {u"App_1.0.0.0___pub", ""},           // no Architecture
      {u"App_1.0.0.0_x64__", ""},           // no PublisherId
      {u"Mon App_1.0.0.0_x64__pub", ""},    // a blank in the Name
      {u"Caf\u00e9_1.0.0.0_x64__pub", ""}};  // not an ASCII letter
  const char* kinds[] = {"main", "bundle", "resource"};
  for (const auto& [fullName, decoded] : cases) {
    const std::optional<PackageName> name = DecodePackageFullName(fullName);
    const Text fields = name ? name->Name + u"|" + name->Version + u"|" + name->Architecture + u"|" + name->ResourceId + u"|" +
                                   name->PublisherId + u"|" + Utf8ToText(kinds[int(name->Kind())]) + u"|" + name->FamilyName()
                             : Text();
    EXPECT_EQ(TextToUtf8(fields), decoded) << TextToUtf8(fullName);
    EXPECT_EQ(name ? name->FullName : Text(fullName), fullName);
  }
}

}  // namespace
}  // namespace appcensus
