// The program's window thread, opened inside this test program: a single-threaded COM
// apartment, as the shell that opens an export needs on the thread that calls it.
#include <gtest/gtest.h>
#include <objbase.h>

#include "tools/window_harness_win32.h"

namespace appcensus {
namespace {

TEST(WindowThreadTest, IsASingleThreadedComApartment) {
  testing::WindowHarness harness;
  ASSERT_TRUE(harness.Open());
  APTTYPE type = APTTYPE_MTA;
  APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
  HRESULT asked = E_FAIL;
  ASSERT_TRUE(harness.OnWindowThread([&](Gadgets&) { asked = CoGetApartmentType(&type, &qualifier); }));
  harness.Close();
  EXPECT_EQ(asked, S_OK);
  EXPECT_TRUE(type == APTTYPE_STA || type == APTTYPE_MAINSTA) << type;
}

}  // namespace
}  // namespace appcensus
