#include <gtest/gtest.h>

#include "ui/named_ids.h"

namespace appcensus {
namespace {

TEST(NamedIdsTest, LookupsBeforeAnyRegistrationCreateNothing) {
  ResetNamedIdsForTesting();
  EXPECT_EQ(NamedId(u"ID_FenGeneral", 0), 0);
  EXPECT_FALSE(NamedIdRegistryExists());
}

TEST(NamedIdsTest, RegisteringAgainReplacesTheValueAndNamesAreExactPerKind) {
  ResetNamedIdsForTesting();
  RegisterNamedId(u"BT_Afficher", 0, 5, u"");
  RegisterNamedId(u"BT_Afficher", 0, 7, u"note");
  EXPECT_TRUE(NamedIdRegistryExists());
  EXPECT_EQ(NamedId(u"BT_Afficher", 0), 7);
  EXPECT_EQ(NamedId(u"BT_AFFICHER", 0), 0);
  EXPECT_EQ(NamedId(u"BT_Afficher", 1), 0);
  RegisterNamedId(u"BT_Afficher", -1, 9, u"");
  EXPECT_EQ(NamedId(u"BT_Afficher", -1), 9);
  EXPECT_EQ(NamedId(u"BT_Afficher", 0), 7);
  RegisterNamedId(u"Zero", 0, 0, u"");
  EXPECT_EQ(NamedId(u"Zero", 0), NamedId(u"Never", 0));
}

TEST(NamedIdsTest, HandlesWiderThan32BitsSurvive) {
  ResetNamedIdsForTesting();
  const NamedValue big = static_cast<NamedValue>(-2147483647 - 1);
  RegisterNamedId(u"ICO_Application", 0, big, u"");
  EXPECT_EQ(NamedId(u"ICO_Application"), big);
}

}  // namespace
}  // namespace appcensus
