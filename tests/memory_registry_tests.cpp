// The simulated machines: faults, remote connections and handle hygiene of the layer.
#include <gtest/gtest.h>

#include <chrono>

#include "tests/support/memory_registry.h"
#include "registry/registry_layer.h"

namespace appcensus {
namespace {

constexpr char16_t kKey[] = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Test";

class MemoryRegistryTest : public ::testing::Test {
 protected:
  MemoryRegistryTest() : scope_(registry_) {
    registry_.Local().SetString(kKey, u"Where", u"local");
    remote_.SetString(kKey, u"Where", u"remote");
    remote_.CreateKey(Text(kKey) + u"\\Sub1");
    remote_.CreateKey(Text(kKey) + u"\\Sub2");
  }
  MemoryRegistry registry_{u"LOCALPC"};
  MemoryMachine& remote_ = registry_.AddMachine(u"SRV2");
  ScopedRegistryApi scope_;
};

TEST_F(MemoryRegistryTest, MachinesAnswerByNameAndTheDotNeverConnects) {
  EXPECT_EQ(ReadRegistryValue(kKey, u"Where", u"."), u"local");
  EXPECT_EQ(registry_.ConnectionCount(), 0u);
  EXPECT_EQ(ReadRegistryValue(kKey, u"Where", u"srv2"), u"remote");
  EXPECT_EQ(ReadRegistryValue(kKey, u"Where", u""), u"local");
  EXPECT_EQ(registry_.ConnectionCount(), 2u);
  remote_.AddAlias(u"srv2.corp.example");
  EXPECT_EQ(ReadRegistryValue(kKey, u"Where", u"SRV2.corp.example"), u"remote");
  EXPECT_EQ(ReadRegistryValue(kKey, u"Where", u"SRV3"), u"");
  EXPECT_EQ(registry_.OpenHandleCount(), 0u);
}

TEST_F(MemoryRegistryTest, EveryOperationClosesWhatItOpenedOnEveryPath) {
  const Text paths[] = {kKey, Text(kKey) + u"\\Missing", u"HKEY_LOCAL_MACHINE\\", u"HKCU\\x", u"HKEY_LOCAL_MACHINE"};
  const Text machines[] = {u".", u"SRV2", u"", u"NOBODY"};
  for (const auto& path : paths) {
    for (const auto& machine : machines) {
      ReadRegistryValue(path, u"Where", machine);
      RegistryValueExists(path, u"Where", machine);
      SetRegistryValue(path, u"W", u"1", 4, machine);
      WriteRegistryValue(path + u"\\W", u"W", u"1", 1, machine);
      RegistryKeyExists(path, machine);
      EnumerateRegistrySubKey(path, 0, machine);
      EnumerateRegistrySubKey(path, 99, machine);
      ASSERT_EQ(registry_.OpenHandleCount(), 0u) << "leak for machine of length " << machine.size();
    }
  }
}

TEST_F(MemoryRegistryTest, UnreachableAndRefusedMachinesGiveEmptyResults) {
  MemoryMachine::Faults faults;
  faults.unreachable = true;
  remote_.SetFaults(faults);
  EXPECT_EQ(ReadRegistryValue(kKey, u"Where", u"SRV2"), u"");
  EXPECT_EQ(RegistryKeyExists(kKey, u"SRV2"), 0);
  faults.unreachable = false;
  faults.refused = true;
  remote_.SetFaults(faults);
  EXPECT_EQ(ReadRegistryValue(kKey, u"Where", u"SRV2"), u"");
  EXPECT_EQ(CreateRegistryKey(Text(kKey) + u"\\X", u"SRV2"), 0);
  EXPECT_EQ(registry_.OpenHandleCount(), 0u);
}

TEST_F(MemoryRegistryTest, ALostConnectionStopsAnEnumerationMidway) {
  // Each enumeration call costs connect + open + enumerate + close + close.
  MemoryMachine::Faults faults;
  faults.loseConnectionAfterCalls = 7;
  remote_.SetFaults(faults);
  EXPECT_EQ(EnumerateRegistrySubKey(kKey, 0, u"SRV2"), u"Sub1");
  EXPECT_EQ(EnumerateRegistrySubKey(kKey, 1, u"SRV2"), u"");
  EXPECT_EQ(ReadRegistryValue(kKey, u"Where", u"SRV2"), u"");
  EXPECT_EQ(ReadRegistryValue(kKey, u"Where", u"."), u"local");
}

TEST_F(MemoryRegistryTest, DeniedKeysCannotBeOpened) {
  registry_.Local().DenyAccess(Text(kKey) + u"\\Secret");
  registry_.Local().SetString(Text(kKey) + u"\\Secret", u"V", u"hidden");
  EXPECT_EQ(ReadRegistryValue(Text(kKey) + u"\\Secret", u"V", u"."), u"");
  EXPECT_EQ(RegistryKeyExists(Text(kKey) + u"\\Secret", u"."), 0);
  EXPECT_EQ(SetRegistryValue(Text(kKey) + u"\\Secret", u"V", u"x", 1, u"."), 0);
  EXPECT_EQ(CreateRegistryKey(Text(kKey) + u"\\Secret\\Below", u"."), 0);
}

TEST_F(MemoryRegistryTest, ADelayIsPaidOnEveryRemoteCall) {
  MemoryMachine::Faults faults;
  faults.delayPerCall = std::chrono::milliseconds(20);
  remote_.SetFaults(faults);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ReadRegistryValue(kKey, u"Where", u"SRV2"), u"remote");
  // connect, open, two queries and two closes: at least five delayed calls
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
  EXPECT_EQ(ReadRegistryValue(kKey, u"Where", u"."), u"local");
}

TEST_F(MemoryRegistryTest, RawInterfaceAnswersLikeTheWin32Functions) {
  RegKey key = 0;
  ASSERT_EQ(registry_.OpenKey(kRootLocalMachine, u"SOFTWARE\\Test", &key), reg::kSuccess);
  std::uint32_t type = 0, size = 0;
  EXPECT_EQ(registry_.QueryValueEx(key, u"Where", &type, nullptr, &size), reg::kSuccess);
  EXPECT_EQ(size, 12u);  // "local" and its terminator, in bytes
  std::uint8_t small[4];
  size = sizeof small;
  EXPECT_EQ(registry_.QueryValueEx(key, u"Where", &type, small, &size), reg::kMoreData);
  EXPECT_EQ(size, 12u);
  EXPECT_EQ(registry_.QueryValueEx(key, u"Nothing", &type, nullptr, &size), reg::kFileNotFound);
  char16_t name[4];
  std::uint32_t count = 4;
  EXPECT_EQ(registry_.EnumKeyEx(key, 0, name, &count), reg::kNoMoreItems);
  RegKey same = 0;
  EXPECT_EQ(registry_.OpenKey(key, u"", &same), reg::kSuccess);
  EXPECT_EQ(same, key);
  EXPECT_EQ(registry_.CloseKey(key), reg::kSuccess);
  EXPECT_EQ(registry_.CloseKey(key), reg::kInvalidHandle);
  EXPECT_EQ(registry_.OpenKey(0, u"SOFTWARE", &key), reg::kInvalidHandle);
  char16_t computer[3];
  count = 3;
  EXPECT_FALSE(registry_.ComputerName(computer, &count));
  EXPECT_EQ(count, 8u);
}

}  // namespace
}  // namespace appcensus
