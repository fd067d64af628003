#include <gtest/gtest.h>

#include "export/export_file_name.h"

namespace appcensus {
namespace {

constexpr LocalDateTime kSixDecember{2026, 12, 6, 14, 5, 9};

TEST(ExportFileName, MaskGivesTwoDigitFieldsAndAFourDigitYear) {
  EXPECT_EQ(ExportFileName(u"SRV2", kSixDecember), u"SRV2_14-05-09_06-12-2026.csv");
  EXPECT_EQ(ExportFileName(u"", LocalDateTime{2027, 1, 2, 0, 0, 3}), u"_00-00-03_02-01-2027.csv");
  EXPECT_EQ(ExportFileName(u"ExportGlobale", LocalDateTime{999, 10, 31, 23, 59, 58}),
            u"ExportGlobale_23-59-58_31-10-0999.csv");
}

TEST(ExportFileName, OtherMaskCharactersAreCopied) {
  EXPECT_EQ(FormatDateTime(u"%yyyy/%mm/%dd %hh:%ii:%ss", kSixDecember), u"2026/12/06 14:05:09");
  EXPECT_EQ(FormatDateTime(u"%x %h %yy 100%", kSixDecember), u"%x %h %yy 100%");
}

TEST(ExportFileName, CharactersAFileNameCannotHoldBecomeUnderscores) {
  EXPECT_EQ(CleanFileNamePrefix(u"a<b>c:d\"e/f\\g|h?i*j"), u"a_b_c_d_e_f_g_h_i_j");
  EXPECT_EQ(CleanFileNamePrefix(Text(u"tab\tnl\ncr\rnul") + char16_t(0) + u"us\x1f"), u"tab_nl_cr_nul_us_");
  EXPECT_EQ(ExportFileName(u"..\\..\\Windows\\x", kSixDecember), u".._.._Windows_x_14-05-09_06-12-2026.csv");
  EXPECT_EQ(ExportFileName(u"C:/export", kSixDecember), u"C__export_14-05-09_06-12-2026.csv");
  // Ordinary names, ";" and letters of any language stay as typed.
  EXPECT_EQ(CleanFileNamePrefix(u"SRV1;SRV2 \u00e9t\u00e9 #1 (x) [y] 'z'."), u"SRV1;SRV2 \u00e9t\u00e9 #1 (x) [y] 'z'.");
}

TEST(ExportFileName, DeviceNameBeforeADotGetsAnUnderscore) {
  EXPECT_EQ(ExportFileName(u"CON.corp.local", kSixDecember), u"_CON.corp.local_14-05-09_06-12-2026.csv");
  EXPECT_EQ(CleanFileNamePrefix(u"nul."), u"_nul.");
  EXPECT_EQ(CleanFileNamePrefix(u"Com1.x"), u"_Com1.x");
  EXPECT_EQ(CleanFileNamePrefix(u"LPT9 .x"), u"_LPT9 .x");
  EXPECT_EQ(CleanFileNamePrefix(u"COM\u00b9.x"), u"_COM\u00b9.x");
  EXPECT_EQ(CleanFileNamePrefix(u"lpt0.x"), u"_lpt0.x");
  // Not a device name: no dot follows it, or it is a longer word.
  EXPECT_EQ(CleanFileNamePrefix(u"CON"), u"CON");
  EXPECT_EQ(CleanFileNamePrefix(u"AUX"), u"AUX");
  EXPECT_EQ(CleanFileNamePrefix(u"CONSOLE.x"), u"CONSOLE.x");
  EXPECT_EQ(CleanFileNamePrefix(u"COMA.x"), u"COMA.x");
  EXPECT_EQ(CleanFileNamePrefix(u"COM10.x"), u"COM10.x");
  EXPECT_EQ(CleanFileNamePrefix(u"srv.CON.x"), u"srv.CON.x");
}

TEST(ExportFileName, CurrentLocalDateTimeIsPlausible) {
  const LocalDateTime now = CurrentLocalDateTime();
  EXPECT_GE(now.year, 2024);
  EXPECT_TRUE(now.month >= 1 && now.month <= 12);
  EXPECT_TRUE(now.day >= 1 && now.day <= 31);
  EXPECT_TRUE(now.hour >= 0 && now.hour <= 23);
  EXPECT_TRUE(now.minute >= 0 && now.minute <= 59);
  EXPECT_TRUE(now.second >= 0 && now.second <= 60);
}

}  // namespace
}  // namespace appcensus
