// The registry access layer, against the in-memory registry natively and against the real
// registry under Wine: the same cases on both sides. How each type of value reads is checked
// on a hostile corpus (tests/hardening); path resolution, and the bytes that DWORD and binary
// writes store, by the fuzz target of the layer (fuzz/fuzz_registry.cpp).
#include <gtest/gtest.h>

#include "registry/registry_session.h"
#include "tests/support/registry_backend.h"

namespace appcensus {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(RegistryPathTest, HexTextCountsTheDigitsOfItsUtf8BytesAndOthersAsZero) {
  const std::pair<const char16_t*, std::int32_t> cases[] = {
      {u"FF", 255}, {u"0a", 10},  {u"7fffffff", 0x7fffffff}, {u"FFFFFFFF", -1}, {u"123456789", 0x23456789},
      {u"", 0},     {u"g1", 1},   {u"\u00e91", 1}};  // "é" is two bytes: 0x00 then 0x01
  for (const auto& [text, number] : cases) EXPECT_EQ(HexTextToNumber(text), number) << TextToUtf8(text);
}

// On simulated machines on both sides: a connection refused with a chosen status.
TEST(RegistrySessionTest, AFailedConnectionOrOpenKeepsItsStatus) {
  MemoryRegistry registry;
  MemoryMachine& machine = registry.AddMachine(u"SRV1");
  machine.SetString(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Here", u"V", u"x");
  machine.DenyAccess(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Closed");
  const std::tuple<long, const char16_t*, long, long> cases[] = {
      {0, u"Here", reg::kSuccess, reg::kSuccess},          {reg::kServerUnavailable, u"Here", 1722, reg::kSuccess},
      {reg::kAccessDenied, u"Here", 5, reg::kSuccess},     {1326, u"Here", 1326, reg::kSuccess},
      {0, u"Closed", reg::kSuccess, reg::kAccessDenied},  {0, u"Missing", reg::kSuccess, reg::kFileNotFound}};
  for (const auto& [connectFault, key, connectStatus, openStatus] : cases) {
    machine.SetFaults({.connectStatus = connectFault});
    RegistrySession session(registry, u"SRV1");
    EXPECT_EQ(static_cast<bool>(session.Open(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\" + Text(key))),
              connectStatus == 0 && openStatus == 0);
    EXPECT_EQ(session.ConnectStatus(), connectStatus) << connectFault;
    EXPECT_EQ(session.OpenStatus(), openStatus) << TextToUtf8(key);
    machine.SetFaults({});  // a later success keeps the status
    EXPECT_TRUE(session.Reaches(u"HKEY_LOCAL_MACHINE\\"));
    EXPECT_EQ(session.ConnectStatus(), connectStatus) << connectFault;
  }
}

class RegistryLayerTest : public ::testing::Test {
 protected:
  Text Path(TextView sub = u"") const { return backend_.ScratchPath() + (sub.empty() ? u"" : u"\\" + Text(sub)); }

  testing::RegistryBackend backend_;
  ScopedRegistryApi scope_{backend_.Api()};
};

TEST_F(RegistryLayerTest, TextsReadWhole) {
  const Text long1000 = Text(999, u'y') + u"\u00e9";
  const std::tuple<const char16_t*, std::uint32_t, Text> cases[] = {
      {u"Long254", reg::kSz, Text(254, u'x')}, {u"Long1000", reg::kExpandSz, long1000}};
  for (const auto& [name, type, text] : cases) {
    backend_.PutRaw(u"", name, type, StringData(text));
    EXPECT_EQ(RegistryValueExists(Path(), name, u"."), 1) << TextToUtf8(name);
    EXPECT_EQ(ReadRegistryValue(Path(), name, u"."), text) << TextToUtf8(name);
  }
}

TEST_F(RegistryLayerTest, WritesStoreTheBytesOfTheirType) {
  const std::tuple<std::uint32_t, const char16_t*, Bytes> cases[] = {
      {reg::kSz, u"ab", {'a', 0, 'b', 0, 0, 0}}, {reg::kExpandSz, u"%T%", StringData(u"%T%")}};
  for (const auto& [type, text, stored] : cases) {
    ASSERT_EQ(SetRegistryValue(Path(), u"V", text, static_cast<int>(type), u"."), 1);
    std::uint32_t storedType = 0;
    Bytes data;
    ASSERT_TRUE(backend_.GetRaw(u"", u"V", &storedType, &data));
    EXPECT_EQ(storedType, type) << TextToUtf8(text);
    EXPECT_EQ(data, stored) << TextToUtf8(text);
  }
  EXPECT_EQ(SetRegistryValue(Path(), u"M", u"x", reg::kMultiSz, u"."), 1);  // the key opened; nothing written
  EXPECT_EQ(RegistryValueExists(Path(), u"M", u"."), 0);
  EXPECT_EQ(RegistryValueExists(Path(), u"V", u"."), 1);
}

TEST_F(RegistryLayerTest, SetNeedsAnExistingKeyWriteCreatesIt) {
  EXPECT_EQ(SetRegistryValue(Path(u"Fresh\\Deep"), u"V", u"x", 1, u"."), 0);
  EXPECT_EQ(RegistryKeyExists(Path(u"Fresh"), u"."), 0);
  EXPECT_EQ(WriteRegistryValue(Path(u"Fresh\\Deep"), u"V", u"x", 1, u"."), 1);
  EXPECT_EQ(CreateRegistryKey(Path(u"Fresh\\Deep"), u"."), 1);  // already there: kept as it is
  EXPECT_EQ(ReadRegistryValue(Path(u"Fresh\\Deep"), u"V", u"."), u"x");
}

TEST_F(RegistryLayerTest, ARootWithASeparatorIsTheRootAndTheLongestNameIsListed) {
  // A root with a separator is the root itself; a root alone is read as a subkey of that name.
  EXPECT_EQ(RegistryKeyExists(u"HKEY_CURRENT_USER\\", u"."), 1);
  EXPECT_NE(EnumerateRegistrySubKey(u"HKEY_CURRENT_USER\\", 0, u"."), u"");
  EXPECT_EQ(RegistryKeyExists(u"HKEY_CURRENT_USER", u"."), 0);
  // The longest name the registry allows is listed like any other.
  backend_.PutRaw(Text(255, u'k'), u"V", reg::kSz, StringData(u"x"));
  EXPECT_EQ(EnumerateRegistrySubKey(Path(), 0, u"."), Text(255, u'k'));
}

TEST_F(RegistryLayerTest, TheLocalComputerIsReachedRemotelyByItsNameOrTheEmptyName) {
  const Text local = LocalComputerName();
  ASSERT_FALSE(local.empty());
  backend_.PutRaw(u"", u"V", reg::kSz, StringData(u"remote"));
  for (const Text& machine : {Text(u"."), Text(u""), local})
    EXPECT_EQ(ReadRegistryValue(Path(), u"V", machine), u"remote") << TextToUtf8(machine);
  EXPECT_EQ(RegistryKeyExists(Path(), u"NO-SUCH-MACHINE-7F3A"), 0);
  EXPECT_EQ(SetRegistryValue(Path(), u"V", u"x", 1, u"NO-SUCH-MACHINE-7F3A"), 0);
  EXPECT_EQ(ReadRegistryValue(Path(), u"V", u"."), u"remote");
}

}  // namespace
}  // namespace appcensus
