// The registry access layer, against the in-memory registry natively and against the real
// registry under Wine: the same cases on both sides.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "registry/registry_layer.h"
#include "tests/support/registry_backend.h"

namespace appcensus {
namespace {

using testing::MakeRegistryBackend;
using testing::RegistryBackend;

class RegistryLayerTest : public ::testing::Test {
 protected:
  RegistryLayerTest() : backend_(MakeRegistryBackend()), scope_(backend_->Api()), base_(backend_->ScratchPath()) {}

  Text Path(TextView sub = u"") const { return sub.empty() ? base_ : base_ + u"\\" + Text(sub); }
  std::vector<std::uint8_t> Raw(TextView sub, TextView name, std::uint32_t* type = nullptr) {
    std::uint32_t t = 0;
    std::vector<std::uint8_t> data;
    if (!backend_->GetRaw(sub, name, &t, &data)) ADD_FAILURE() << "value missing";
    if (type) *type = t;
    return data;
  }

  std::unique_ptr<RegistryBackend> backend_;
  ScopedRegistryApi scope_;
  Text base_;
};

TEST(RegistryPathTest, RootsMatchWithoutLetterCaseAndOnlyTheFiveLongNames) {
  EXPECT_EQ(RootKeyOfPath(u"HKEY_LOCAL_MACHINE\\SOFTWARE"), kRootLocalMachine);
  EXPECT_EQ(RootKeyOfPath(u"hkey_local_machine\\SOFTWARE"), kRootLocalMachine);
  EXPECT_EQ(RootKeyOfPath(u"Hkey_Classes_Root"), kRootClassesRoot);
  EXPECT_EQ(RootKeyOfPath(u"HKEY_USERS\\x"), kRootUsers);
  EXPECT_EQ(RootKeyOfPath(u"HKEY_CURRENT_CONFIG\\x"), kRootCurrentConfig);
  EXPECT_EQ(RootKeyOfPath(u"HKEY_CURRENT_USER\\x"), kRootCurrentUser);
  EXPECT_EQ(RootKeyOfPath(u"HKCU\\Software"), 0u);
  EXPECT_EQ(RootKeyOfPath(u"HKEY_PERFORMANCE_DATA\\x"), 0u);
  EXPECT_EQ(RootKeyOfPath(u""), 0u);
  EXPECT_EQ(RootKeyOfPath(u"\\HKEY_CURRENT_USER"), 0u);
}

TEST(RegistryPathTest, SubKeyDropsOneDoubledSeparatorAndKeepsATrailingOne) {
  EXPECT_EQ(SubKeyOfPath(u"HKEY_CURRENT_USER\\Software\\X"), u"Software\\X");
  EXPECT_EQ(SubKeyOfPath(u"HKEY_CURRENT_USER\\\\Software"), u"Software");
  EXPECT_EQ(SubKeyOfPath(u"HKEY_CURRENT_USER\\\\\\Software"), u"\\Software");
  EXPECT_EQ(SubKeyOfPath(u"HKEY_CURRENT_USER\\Software\\"), u"Software\\");
  EXPECT_EQ(SubKeyOfPath(u"HKEY_CURRENT_USER\\"), u"");
  EXPECT_EQ(SubKeyOfPath(u"HKEY_CURRENT_USER"), u"HKEY_CURRENT_USER");
}

TEST(RegistryPathTest, HexTextCountsDigitsOfEitherCase) {
  EXPECT_EQ(HexTextToNumber(u"FF"), 255);
  EXPECT_EQ(HexTextToNumber(u"0a"), 10);
  EXPECT_EQ(HexTextToNumber(u"7fffffff"), 0x7fffffff);
  EXPECT_EQ(HexTextToNumber(u"FFFFFFFF"), -1);
  EXPECT_EQ(HexTextToNumber(u"123456789"), 0x23456789);  // low 32 bits
  EXPECT_EQ(HexTextToNumber(u""), 0);
  EXPECT_EQ(HexTextToNumber(u"g1"), 1);  // a non-digit counts as 0
}

TEST_F(RegistryLayerTest, StringValuesReadBackUpTo254Characters) {
  const Text text254(254, u'x');
  const Text text255(255, u'y');
  backend_->PutString(u"", u"Long254", text254);
  backend_->PutString(u"", u"Long255", text255);
  backend_->PutString(u"", u"Accent", u"Caf\u00e9 \u4e2d");
  EXPECT_EQ(ReadRegistryValue(Path(), u"Long254", u"."), text254);
  EXPECT_EQ(RegistryValueExists(Path(), u"Long254", u"."), 1);
  EXPECT_EQ(ReadRegistryValue(Path(), u"Long255", u"."), u"");
  EXPECT_EQ(RegistryValueExists(Path(), u"Long255", u"."), 0);
  EXPECT_EQ(ReadRegistryValue(Path(), u"Accent", u"."), u"Caf\u00e9 \u4e2d");
  EXPECT_EQ(ReadRegistryValue(Path(), u"Missing", u"."), u"");
  EXPECT_EQ(RegistryValueExists(Path(), u"Missing", u"."), 0);
  EXPECT_EQ(ReadRegistryValue(Path(u"NoSuchKey"), u"Accent", u"."), u"");
}

TEST_F(RegistryLayerTest, StringDataIsCutAtItsFirstNulOrItsSize) {
  // "ab", NUL, "cd" and a text stored without terminator.
  backend_->PutRaw(u"", u"Embedded", 1, {'a', 0, 'b', 0, 0, 0, 'c', 0, 'd', 0, 0, 0});
  backend_->PutRaw(u"", u"Unterminated", 1, {'o', 0, 'k', 0});
  EXPECT_EQ(ReadRegistryValue(Path(), u"Embedded", u"."), u"ab");
  EXPECT_EQ(ReadRegistryValue(Path(), u"Unterminated", u"."), u"ok");
}

TEST_F(RegistryLayerTest, ExpandStringsStayUnexpanded) {
  backend_->PutString(u"", u"Expand", u"%SystemRoot%\\system32", 2);
  EXPECT_EQ(ReadRegistryValue(Path(), u"Expand", u"."), u"%SystemRoot%\\system32");
}

TEST_F(RegistryLayerTest, DwordsReadAsSignedDecimal) {
  backend_->PutDword(u"", u"AllBits", 0xFFFFFFFFu);
  backend_->PutDword(u"", u"Small", 255);
  backend_->PutDword(u"", u"Date", 20110606);
  EXPECT_EQ(ReadRegistryValue(Path(), u"AllBits", u"."), u"-1");
  EXPECT_EQ(ReadRegistryValue(Path(), u"Small", u"."), u"255");
  EXPECT_EQ(ReadRegistryValue(Path(), u"Date", u"."), u"20110606");
}

TEST_F(RegistryLayerTest, BinaryReadsAsUppercaseHexPairs) {
  backend_->PutRaw(u"", u"Bytes", 3, {0x0A, 0xFF});
  backend_->PutRaw(u"", u"Empty", 3, {});
  backend_->PutRaw(u"", u"Block255", 3, std::vector<std::uint8_t>(255, 0x01));
  backend_->PutRaw(u"", u"Block511", 3, std::vector<std::uint8_t>(511, 0x01));
  EXPECT_EQ(ReadRegistryValue(Path(), u"Bytes", u"."), u"0AFF");
  EXPECT_EQ(ReadRegistryValue(Path(), u"Empty", u"."), u"");
  EXPECT_EQ(RegistryValueExists(Path(), u"Empty", u"."), 1);
  EXPECT_EQ(ReadRegistryValue(Path(), u"Block255", u"."), [] {
    Text t;
    for (int i = 0; i < 255; ++i) t += u"01";
    return t;
  }());
  EXPECT_EQ(ReadRegistryValue(Path(), u"Block511", u"."), u"");  // over the 510-byte query buffer
}

TEST_F(RegistryLayerTest, OtherTypesReadAsEmpty) {
  backend_->PutRaw(u"", u"Multi", 7, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0});
  backend_->PutRaw(u"", u"Qword", 11, {1, 0, 0, 0, 0, 0, 0, 0});
  backend_->PutRaw(u"", u"NoType", 0, {1, 2});
  EXPECT_EQ(ReadRegistryValue(Path(), u"Multi", u"."), u"");
  EXPECT_EQ(ReadRegistryValue(Path(), u"Qword", u"."), u"");
  EXPECT_EQ(ReadRegistryValue(Path(), u"NoType", u"."), u"");
  EXPECT_EQ(RegistryValueExists(Path(), u"Multi", u"."), 1);
}

TEST_F(RegistryLayerTest, RootNamesInAnyLetterCaseReachTheSameKey) {
  backend_->PutString(u"Case", u"V", u"found");
  Text lower = Path(u"Case");
  for (std::size_t i = 0; i < lower.find(u'\\'); ++i) lower[i] = static_cast<char16_t>(std::tolower(lower[i]));
  EXPECT_EQ(lower.substr(0, 17), u"hkey_current_user");
  EXPECT_EQ(ReadRegistryValue(lower, u"V", u"."), u"found");
  Text doubled = Path(u"Case");
  doubled.insert(doubled.find(u'\\'), u"\\");
  EXPECT_EQ(ReadRegistryValue(doubled, u"V", u"."), u"found");
}

TEST_F(RegistryLayerTest, ShortRootNamesFailInEveryOperation) {
  backend_->PutString(u"", u"V", u"x");
  Text shortForm = Path();
  shortForm.replace(0, shortForm.find(u'\\'), u"HKCU");
  EXPECT_EQ(ReadRegistryValue(shortForm, u"V", u"."), u"");
  EXPECT_EQ(RegistryValueExists(shortForm, u"V", u"."), 0);
  EXPECT_EQ(SetRegistryValue(shortForm, u"V", u"y", 1, u"."), 0);
  EXPECT_EQ(CreateRegistryKey(shortForm + u"\\New", u"."), 0);
  EXPECT_EQ(WriteRegistryValue(shortForm + u"\\New", u"V", u"y", 1, u"."), 0);
  EXPECT_EQ(RegistryKeyExists(shortForm, u"."), 0);
  EXPECT_EQ(EnumerateRegistrySubKey(shortForm, 0, u"."), u"");
  EXPECT_FALSE(backend_->KeyExists(u"New"));
  EXPECT_EQ(ReadRegistryValue(Path(), u"V", u"."), u"x");
}

TEST_F(RegistryLayerTest, ARootWithASeparatorIsTheRootAndARootAloneIsASubkeyOfItsName) {
  EXPECT_EQ(RegistryKeyExists(u"HKEY_CURRENT_USER\\", u"."), 1);
  EXPECT_NE(EnumerateRegistrySubKey(u"HKEY_CURRENT_USER\\", 0, u"."), u"");
  EXPECT_EQ(RegistryKeyExists(u"HKEY_CURRENT_USER", u"."), 0);
  EXPECT_EQ(RegistryKeyExists(Path() + u"\\", u"."), 1);
}

TEST_F(RegistryLayerTest, DwordWritesReadTheLeadingNumber) {
  struct Case {
    const char16_t* text;
    std::uint32_t stored;
  } cases[] = {{u"$FF", 255},        {u"12abc", 12},        {u"abc", 0},   {u"-1", 0xFFFFFFFFu},
               {u"%101", 5},         {u" \t+7", 7},         {u"-$10", 0xFFFFFFF0u},
               {u"4294967297", 1},   {u"", 0},              {u"$", 0}};
  for (const auto& c : cases) {
    ASSERT_EQ(SetRegistryValue(Path(), u"N", c.text, 4, u"."), 1);
    std::uint32_t type = 0;
    const auto data = Raw(u"", u"N", &type);
    EXPECT_EQ(type, 4u);
    ASSERT_EQ(data.size(), 4u);
    EXPECT_EQ(data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24, c.stored)
        << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
  }
}

TEST_F(RegistryLayerTest, StringBinaryAndUnknownWrites) {
  ASSERT_EQ(SetRegistryValue(Path(), u"S", u"ab", 1, u"."), 1);
  EXPECT_EQ(Raw(u"", u"S"), (std::vector<std::uint8_t>{'a', 0, 'b', 0, 0, 0}));
  ASSERT_EQ(SetRegistryValue(Path(), u"E", u"%TEMP%", 2, u"."), 1);
  std::uint32_t type = 0;
  Raw(u"", u"E", &type);
  EXPECT_EQ(type, 2u);
  ASSERT_EQ(SetRegistryValue(Path(), u"B", u"0AF", 3, u"."), 1);
  EXPECT_EQ(Raw(u"", u"B"), (std::vector<std::uint8_t>{0x0A}));
  ASSERT_EQ(SetRegistryValue(Path(), u"B2", u"00ff10", 3, u"."), 1);
  EXPECT_EQ(ReadRegistryValue(Path(), u"B2", u"."), u"00FF10");
  EXPECT_EQ(SetRegistryValue(Path(), u"M", u"x", 7, u"."), 1);  // the key opened; nothing written
  EXPECT_EQ(RegistryValueExists(Path(), u"M", u"."), 0);
}

TEST_F(RegistryLayerTest, SetNeedsAnExistingKeyWriteCreatesIt) {
  EXPECT_EQ(SetRegistryValue(Path(u"Fresh\\Deep"), u"V", u"x", 1, u"."), 0);
  EXPECT_FALSE(backend_->KeyExists(u"Fresh"));
  EXPECT_EQ(RegistryKeyExists(Path(u"Fresh\\Deep"), u"."), 0);
  EXPECT_EQ(WriteRegistryValue(Path(u"Fresh\\Deep"), u"V", u"x", 1, u"."), 1);
  EXPECT_EQ(RegistryKeyExists(Path(u"Fresh\\Deep"), u"."), 1);
  EXPECT_EQ(ReadRegistryValue(Path(u"Fresh\\Deep"), u"V", u"."), u"x");
  EXPECT_EQ(CreateRegistryKey(Path(u"Fresh\\Deep"), u"."), 1);  // already there
  EXPECT_EQ(ReadRegistryValue(Path(u"Fresh\\Deep"), u"V", u"."), u"x");
}

TEST_F(RegistryLayerTest, SubkeysEnumerateByIndexUntilEmpty) {
  backend_->PutKey(u"List\\Alpha");
  backend_->PutKey(u"List\\Beta");
  backend_->PutKey(u"List\\{6B29FC40-CA47-1067-B31D-00DD010662DA}");
  backend_->PutKey(u"List\\" + Text(254, u'n'));
  backend_->PutKey(u"Long\\" + Text(255, u'm'));
  std::vector<Text> names;
  for (int i = 0;; ++i) {
    Text name = EnumerateRegistrySubKey(Path(u"List"), i, u".");
    if (name.empty()) break;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<Text>{u"Alpha", u"Beta", Text(254, u'n'), u"{6B29FC40-CA47-1067-B31D-00DD010662DA}"}));
  EXPECT_EQ(EnumerateRegistrySubKey(Path(u"List"), 4, u"."), u"");
  EXPECT_EQ(EnumerateRegistrySubKey(Path(u"List"), -1, u"."), u"");
  EXPECT_EQ(EnumerateRegistrySubKey(Path(u"Long"), 0, u"."), u"");  // 255 characters do not fit
  EXPECT_EQ(EnumerateRegistrySubKey(Path(u"Missing"), 0, u"."), u"");
}

TEST_F(RegistryLayerTest, TheLocalComputerIsReachedRemotelyByItsNameOrTheEmptyName) {
  const Text key = u"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ActiveComputerName";
  const Text local = LocalComputerName();
  ASSERT_FALSE(local.empty());
  EXPECT_EQ(ReadRegistryValue(key, u"ComputerName", u"."), local);
  EXPECT_EQ(ReadRegistryValue(key, u"ComputerName", u""), local);
  EXPECT_EQ(ReadRegistryValue(key, u"ComputerName", local), local);
  backend_->PutString(u"", u"V", u"remote");
  EXPECT_EQ(ReadRegistryValue(Path(), u"V", local), u"remote");
  EXPECT_EQ(ReadRegistryValue(key, u"ComputerName", u"NO-SUCH-MACHINE-7F3A"), u"");
  EXPECT_EQ(RegistryKeyExists(Path(), u"NO-SUCH-MACHINE-7F3A"), 0);
  EXPECT_EQ(SetRegistryValue(Path(), u"V", u"x", 1, u"NO-SUCH-MACHINE-7F3A"), 0);
  EXPECT_EQ(ReadRegistryValue(Path(), u"V", u"."), u"remote");
}

}  // namespace
}  // namespace appcensus
