// The console program's command line: what it accepts, and a one-line reason for anything
// it refuses.
#include <gtest/gtest.h>

#include "cli/cli_options.h"

namespace appcensus::cli {
namespace {

TEST(CliOptions, NothingGivenMeansTheLocalMachineAsCsv) {
  for (const std::vector<Text>& arguments : {std::vector<Text>{}, std::vector<Text>{u""}}) {
    const auto parsed = ParseCommandLine(arguments);
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(parsed.options->machines, std::vector<Text>{u"."});
    EXPECT_EQ(parsed.options->format, OutputFormat::Csv);
    EXPECT_EQ(parsed.options->parallel, 1);
    EXPECT_FALSE(parsed.options->timeoutSeconds);
    EXPECT_FALSE(parsed.options->outputPath);
    EXPECT_TRUE(parsed.options->filter.empty());
  }
}

TEST(CliOptions, EveryOptionInBothSpellingsAndAnyPlace) {
  const auto parsed = ParseCommandLine({u"SRV1;SRV2", u"--format", u"JSON", u"--filter=Off ice", u"--timeout",
                                        u"0", u"SRV3", u"--output=C:\\out é.json", u"--parallel", u"1024",
                                        u"--timeout=2147483647"});
  ASSERT_TRUE(parsed.options) << parsed.error;
  const CliOptions& options = *parsed.options;
  EXPECT_EQ(options.machines, (std::vector<Text>{u"SRV1", u"SRV2", u"SRV3"}));
  EXPECT_EQ(options.format, OutputFormat::Json);
  EXPECT_EQ(options.filter, u"Off ice");
  EXPECT_EQ(options.timeoutSeconds, 2147483647);  // the last one given
  EXPECT_EQ(options.outputPath, Text(u"C:\\out é.json"));
  EXPECT_EQ(options.parallel, 1024);

  const auto tsv = ParseCommandLine({u"--format=tsv", u"--filter", u"", u"--timeout", u"0"});
  ASSERT_TRUE(tsv.options) << tsv.error;
  EXPECT_EQ(tsv.options->format, OutputFormat::Tsv);
  EXPECT_TRUE(tsv.options->filter.empty());
  EXPECT_EQ(tsv.options->timeoutSeconds, 0);

  for (const char16_t* help : {u"--help", u"-h", u"/?"}) EXPECT_TRUE(ParseCommandLine({u"SRV1", help}).options->help);
  EXPECT_TRUE(ParseCommandLine({u"--version"}).options->version);
}

TEST(CliOptions, MachineListsAsInTheMachineBox) {
  // Exact duplicates once, in first position; another letter case is another name.
  EXPECT_EQ(SplitMachineList(u"a;B;a;b;."), (std::vector<Text>{u"a", u"B", u"b", u"."}));
  EXPECT_EQ(SplitMachineList(u""), std::vector<Text>{u"."});
  // After "--" an argument that looks like an option is a machine name.
  const auto parsed = ParseCommandLine({u"--parallel", u"2", u"--", u"-odd-name", u"--help"});
  ASSERT_TRUE(parsed.options) << parsed.error;
  EXPECT_EQ(parsed.options->machines, (std::vector<Text>{u"-odd-name", u"--help"}));
  EXPECT_FALSE(parsed.options->help);
}

TEST(CliOptions, RefusesBadCommandLinesWithOneLineReasons) {
  const struct {
    std::vector<Text> arguments;
    const char* reason;  // part of the error line
  } cases[] = {
      {{u"--bogus"}, "option inconnue \"--bogus\""},
      {{u"-x"}, "option inconnue \"-x\""},
      {{u"--format"}, "--format attend une valeur"},
      {{u"SRV1", u"--timeout"}, "--timeout attend une valeur"},
      {{u"--format", u"xml"}, "format inconnu \"xml\""},
      {{u"--format="}, "format inconnu \"\""},
      {{u"--timeout", u"-1"}, "--timeout attend un nombre de secondes"},
      {{u"--timeout", u"abc"}, "--timeout attend un nombre de secondes"},
      {{u"--timeout", u""}, "--timeout attend un nombre de secondes"},
      {{u"--timeout", u" 5"}, "--timeout attend un nombre de secondes"},
      {{u"--timeout", u"5s"}, "--timeout attend un nombre de secondes"},
      {{u"--timeout", u"2147483648"}, "--timeout attend un nombre de secondes"},
      {{u"--timeout", u"99999999999999999999999999999999"}, "--timeout attend un nombre de secondes"},
      {{u"--parallel", u"0"}, "--parallel attend un nombre de 1 \u00e0 1024"},
      {{u"--parallel", u"1025"}, "--parallel attend un nombre de 1 \u00e0 1024"},
      {{u"--parallel", u"18446744073709551617"}, "--parallel attend un nombre de 1 \u00e0 1024"},
      {{u"--parallel", u"+2"}, "--parallel attend un nombre de 1 \u00e0 1024"},
      {{u"--output", u""}, "--output attend un nom de fichier non vide"},
      {{u"--output="}, "--output attend un nom de fichier non vide"},
      {{u"--help=yes"}, "--help ne prend pas de valeur"},
      {{u"SRV1;;SRV2"}, "nom de machine vide dans la liste \"SRV1;;SRV2\""},
      {{u";"}, "nom de machine vide"},
      {{u"SRV1", u";SRV2"}, "nom de machine vide"},
  };
  for (const auto& c : cases) {
    const auto parsed = ParseCommandLine(c.arguments);
    std::string shown;
    for (const auto& argument : c.arguments) shown += "[" + TextToUtf8(argument) + "]";
    EXPECT_FALSE(parsed.options) << shown;
    EXPECT_NE(parsed.error.find(c.reason), std::string::npos) << shown << " gave: " << parsed.error;
    EXPECT_EQ(parsed.error.find_first_of("\r\n"), std::string::npos) << shown;
  }
}

}  // namespace
}  // namespace appcensus::cli
