#include <gtest/gtest.h>

#include "registry/registry_api_win32.h"

int main(int argc, char** argv) {
  static appcensus::Win32RegistryApi registry;
  appcensus::SetRegistryApi(&registry);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
