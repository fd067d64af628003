#include <gtest/gtest.h>

#include "ui/named_ids.h"

namespace appcensus {
namespace {

TEST(NamedIdsTest, NamesAreExactPerKindTheLastRegistrationWinsAndWideHandlesSurvive) {
  ResetNamedIdsForTesting();
  EXPECT_EQ(NamedId(u"BT_Afficher", 0), 0);
  EXPECT_FALSE(NamedIdRegistryExists());  // a lookup creates nothing
  RegisterNamedId(u"BT_Afficher", 0, 5, u"");
  RegisterNamedId(u"BT_Afficher", 0, 7, u"note");
  RegisterNamedId(u"BT_Afficher", -1, 9, u"");
  const NamedValue wide = static_cast<NamedValue>(-2147483647 - 1);
  RegisterNamedId(u"ICO_Application", 0, wide, u"");
  EXPECT_TRUE(NamedIdRegistryExists());
  EXPECT_EQ(NamedId(u"BT_Afficher", 0), 7);
  EXPECT_EQ(NamedId(u"BT_Afficher", -1), 9);
  EXPECT_EQ(NamedId(u"BT_AFFICHER", 0), 0);
  EXPECT_EQ(NamedId(u"BT_Afficher", 1), 0);
  EXPECT_EQ(NamedId(u"ICO_Application"), wide);
}

}  // namespace
}  // namespace appcensus
