// The inventory against a seeded, hostile corpus of uninstall entries written raw below the
// local Uninstall key: natively in the in-memory registry, under Wine in Wine's own (CTest
// resource lock "uninstall_key"). Values of random types and sizes around every buffer limit,
// odd or missing terminators, embedded NULs, unpaired surrogates, braces, names in other
// letter cases, stray values. Every listed entry whose DisplayName reads as text gives exactly
// the record of the rules applied to an independent reading of the raw data (what Wine refuses
// or stores otherwise is judged as stored). A key name over 255 characters is left out.
#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <random>

#include "inventory/entry_rules.h"
#include "tests/support/inventory_run.h"
#include "tests/support/registry_backend.h"

namespace appcensus {

// How a failure shows a record.
void PrintTo(const ApplicationRecord& r, std::ostream* out) {
  for (const Text* field : {&r.DisplayName, &r.DisplayVersion, &r.InstallSource, &r.InstallDate, &r.UninstallString,
                            &r.InstallLocation, &r.ProductCode})
    *out << TextToUtf8(*field) << " | ";
}

namespace {

constexpr char16_t kPrefix[] = u"AppcensusHostile.";
const Text kUninstall = SubKeyOfPath(kUninstallKeyPath);  // below HKEY_LOCAL_MACHINE

class Random {
 public:
  explicit Random(std::uint32_t seed) : engine_(seed) {}
  std::uint32_t Below(std::size_t n) { return static_cast<std::uint32_t>(engine_() % n); }
  bool Percent(std::uint32_t percent) { return Below(100) < percent; }
  std::vector<std::uint8_t> Bytes(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(engine_());
    return bytes;
  }
  // Braces, separators, quotes, line ends, NUL, both halves of a surrogate pair (met alone or
  // together), accents, CJK, noncharacters, a dotless i, plain characters; a key name gets
  // ";" for the path separator and NUL.
  Text Units(std::size_t length, bool keyName = false) {
    static constexpr char16_t kUnits[] = u"{{}}\\/|\"\n\r\0\xD83D\xDE00\u00e9\u4e2d\uFFFF\uFEFF\u0131 -_.,$%=+@:09azAZ";
    Text text;
    while (text.size() < length) text.push_back(kUnits[Below(std::size(kUnits) - 1)]);
    for (auto& unit : text)
      if (keyName && (unit == u'\\' || unit == 0)) unit = u';';
    return text;
  }
  // String data: the units, then one NUL, none, two, or an odd byte.
  std::vector<std::uint8_t> StringBytes(TextView text) {
    std::vector<std::uint8_t> data = StringData(text);
    const std::uint32_t end = Below(10);
    if (end == 0) data.resize(data.size() - 2);
    if (end == 1) data.insert(data.end(), 2, 0);
    if (end == 2) data.push_back(Bytes(1)[0]);
    return data;
  }

 private:
  std::mt19937 engine_;
};

// Writes entry number `index` below the Uninstall key; its key name, empty when the key could
// not be created.
Text WriteEntry(RegistryApi& api, Random& random, std::size_t index) {
  // The prefix, hostile text with a braced group now and then, and "#" with the number, which
  // keeps the names distinct in any letter case; about one name in 100 is too long.
  const Text tag = u"#" + DecimalText(static_cast<std::int64_t>(index));
  std::size_t length = random.Percent(8) ? 254 : random.Percent(10) ? 200 + random.Below(55) : 1 + random.Below(40);
  if (random.Percent(1)) length = random.Percent(50) ? 255 : 256 + random.Below(45);  // Wine refuses over 255
  const Text braced = random.Percent(10) ? u"{" + random.Units(36, true) + u"}" : Text();
  const std::size_t fixed = Text(kPrefix).size() + tag.size() + braced.size();
  const Text filler = random.Units(length > fixed ? length - fixed : 1, true);
  const Text name = kPrefix + (random.Percent(50) ? braced + filler : filler + braced) + tag;
  ScopedKey key(api);
  if (api.CreateKeyEx(kRootLocalMachine, (kUninstall + u"\\" + name).c_str(), 0, reg::kKeyAllAccess, key.Receive(),
                      nullptr) != reg::kSuccess)
    return Text();
  const auto put = [&](const Text& valueName, std::uint32_t type, std::vector<std::uint8_t> data) {
    const auto size = static_cast<std::uint32_t>(data.size());
    data.insert(data.end(), 4, 0xAA);  // Wine adds a terminator to string data followed by a NUL
    api.SetValueEx(key.Get(), valueName.c_str(), type, data.data(), size);
  };
  // The values read, some missing, some named in another letter case, mostly of type REG_SZ,
  // texts and data small or at a limit of the layer (254/255 characters, 510/511 bytes,
  // 1,024 bytes); then stray values whose names only resemble them.
  constexpr std::uint32_t kTypes[] = {1, 1, 1, 1, 2, 4, 4, 3, 3, 7, 11, 0, 5, 0x12345678u, 0xFFFFFFFFu};
  constexpr std::size_t kSizes[] = {0, 1, 2, 3, 4, 5, 8, 253, 254, 255, 256, 509, 510, 511, 512, 1023, 1024, 1025};
  std::vector<Text> names{u"Display Name", u"DisplayName2", u"", u"InstallLocation\u00a0"};
  names.resize(random.Below(5));
  for (const auto& source : kEntryValueSources) names.emplace_back(source.valueName);
  names.emplace_back(kUninstallCommandValueName);
  for (Text valueName : names) {
    if (random.Percent(valueName == u"DisplayName" ? 10 : 18)) continue;  // missing
    if (random.Percent(10)) valueName = random.Percent(50) ? UpperCase(valueName) : LowerCase(valueName);
    const std::uint32_t type = kTypes[random.Below(std::size(kTypes))];
    const std::size_t size = random.Percent(50) ? kSizes[random.Below(std::size(kSizes))] : random.Below(40);
    if (UpperCase(valueName) == u"DISPLAYNAME" && random.Percent(55))  // so that many entries give a record
      put(valueName, reg::kSz, random.StringBytes(random.Units(1 + random.Below(60))));
    else if ((type == 1 || type == 2 || type == 7) && random.Percent(80))
      put(valueName, type, random.StringBytes(random.Units(size)));
    else
      put(valueName, type, random.Bytes(type == 4 && random.Percent(70) ? 4 : size));
  }
  return name;
}

// The text ReadRegistryValue must give for a value, from the raw data the registry holds:
// nothing for a missing value, another type, or a REG_DWORD or REG_BINARY over the 510-byte
// query buffer; REG_SZ and REG_EXPAND_SZ the units up to the first NUL, whatever their
// length; REG_DWORD the signed decimal of up to 4 little-endian bytes; REG_BINARY two
// upper-case hexadecimal digits per byte.
Text ReferenceText(RegistryApi& api, const Text& keyName, TextView valueName) {
  ScopedKey key(api);
  std::vector<std::uint8_t> data(8192);  // more than any value of the corpus
  std::uint32_t type = 0, size = 8192;
  const Text path = kUninstall + u"\\" + keyName;
  if (api.OpenKeyEx(kRootLocalMachine, path.c_str(), reg::kKeyRead, key.Receive()) != reg::kSuccess ||
      api.QueryValueEx(key.Get(), Text(valueName).c_str(), &type, data.data(), &size) != reg::kSuccess ||
      (size > 510 && type != reg::kSz && type != reg::kExpandSz))
    return Text();
  data.resize(size);
  Text text;
  if (type == reg::kSz || type == reg::kExpandSz)
    for (std::size_t i = 0; i + 1 < size && (data[i] | data[i + 1]) != 0; i += 2)
      text.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
  if (type == reg::kBinary)
    for (const std::uint8_t byte : data) text += {u"0123456789ABCDEF"[byte >> 4], u"0123456789ABCDEF"[byte & 0xF]};
  if (type != reg::kDword) return text;
  if (size > 4) return u"0";  // more than its own 4-byte query takes
  std::uint32_t number = 0;
  for (std::size_t i = 0; i < size; ++i) number |= static_cast<std::uint32_t>(data[i]) << (8 * i);
  return DecimalText(static_cast<std::int32_t>(number));
}

// Removes every entry of the corpus, also those an interrupted earlier run left behind.
void RemoveCorpus(RegistryApi& api) {
  ScopedKey key(api);
  std::vector<Text> names;
  char16_t name[2048];
  api.OpenKeyEx(kRootLocalMachine, kUninstall.c_str(), reg::kKeyRead, key.Receive());
  for (std::uint32_t i = 0, length = 2048; api.EnumKeyEx(key.Get(), i, name, &length) == reg::kSuccess; ++i, length = 2048)
    if (Text(name, length).starts_with(kPrefix)) names.emplace_back(name, length);
  for (const auto& found : names) testing::RegistryBackend::RemoveKey(Text(kUninstallKeyPath) + u"\\" + found);
}

TEST(HostileRegistryTest, EveryListableEntryGivesTheRecordOfItsReferenceReading) {
  testing::RegistryBackend backend;
  RegistryApi& api = backend.Api();
  ScopedRegistryApi scope(api);
  RemoveCorpus(api);
  Random random(20261206);
  std::vector<Text> written;
  for (std::size_t i = 0; i < 4000; ++i)
    if (const Text name = WriteEntry(api, random, i); !name.empty()) written.push_back(name);

  testing::InventoryRun run;
  std::map<Text, ApplicationRecord> records;
  for (const auto& record : run.Records(u".")) records.emplace(record.KeyName, record);
  std::map<Text, int> listed;
  for (const auto& entry : run.entries.Snapshot()) ++listed[entry.KeyName];

  const ProductCodePattern productCode;
  int listable = 0, withRecord = 0, mismatches = 0;
  for (const Text& name : written) {
    const bool fits = name.size() <= 255;
    listable += fits;
    EXPECT_EQ(listed[name], fits ? 1 : 0) << TextToUtf8(name);
    EntryValues values;
    for (const auto& source : kEntryValueSources) values.*source.field = ReferenceText(api, name, source.valueName);
    const Text command = ReferenceText(api, name, kUninstallCommandValueName);
    const auto expected = fits ? BuildApplicationRecord(values, command, {name, u"."}, productCode) : std::nullopt;
    const auto found = records.count(name) ? std::optional(records.at(name)) : std::nullopt;
    withRecord += expected.has_value();
    mismatches += found != expected;
    EXPECT_TRUE(found == expected || mismatches > 10) << TextToUtf8(name) << "\n" << ::testing::PrintToString(found)
                                                      << "\nexpected " << ::testing::PrintToString(expected);
  }
  RemoveCorpus(api);
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(listable, 3000);
  EXPECT_LT(listable, static_cast<int>(written.size()));  // some names are too long
  // The corpus is hostile, not hopeless: many entries give records, many do not.
  EXPECT_GT(withRecord, listable / 3);
  EXPECT_LT(withRecord, listable - listable / 10);
}

}  // namespace
}  // namespace appcensus
