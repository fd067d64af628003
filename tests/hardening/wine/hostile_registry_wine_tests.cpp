// The hostile corpus in Wine's own registry. The entries are written raw below the real
// Uninstall key of HKEY_LOCAL_MACHINE, under key names that begin with a recognisable
// prefix, then both inventory passes read them through the real registry functions, and the
// entries are removed again (also those an interrupted earlier run left behind). Whatever
// Wine refuses to store or stores differently is read back raw and counted; the reference
// reading is applied to what Wine really holds. Other tests that read the Uninstall key must
// not run meanwhile (CTest resource lock "uninstall_key").
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/activity_log.h"
#include "core/application_table.h"
#include "inventory/inventory_passes.h"
#include "tests/hardening/hostile_corpus.h"
#include "tests/support/inventory_run.h"
#include "tests/support/recording_activity_log.h"

namespace appcensus {
namespace {

using hardening::HostileEntry;
using hardening::HostileValue;

constexpr wchar_t kUninstallSubKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr char16_t kPrefix[] = u"AppcensusHostile.";

std::wstring Wide(TextView text) { return std::wstring(text.begin(), text.end()); }

class UninstallKey {
 public:
  UninstallKey() {
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallSubKey, 0, KEY_ALL_ACCESS, &key_) != ERROR_SUCCESS) key_ = nullptr;
  }
  ~UninstallKey() {
    if (key_) RegCloseKey(key_);
  }
  HKEY Get() const { return key_; }

  // Every subkey name, also names too long for the inventory's buffer.
  std::vector<std::wstring> SubKeyNames() const {
    std::vector<std::wstring> names;
    for (DWORD index = 0;; ++index) {
      wchar_t name[2048];
      DWORD length = 2048;
      const LONG status = RegEnumKeyExW(key_, index, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (status == ERROR_NO_MORE_ITEMS) break;
      if (status == ERROR_SUCCESS) names.emplace_back(name, length);
      if (index > 100000) break;
    }
    return names;
  }

  // Removes every subkey whose name begins with the prefix; the number removed.
  int RemoveCorpus() const {
    int removed = 0;
    for (const auto& name : SubKeyNames()) {
      if (name.rfind(Wide(kPrefix), 0) != 0) continue;
      RegDeleteTreeW(key_, name.c_str());
      RegDeleteKeyW(key_, name.c_str());
      ++removed;
    }
    return removed;
  }

 private:
  HKEY key_ = nullptr;
};

struct StoreFigures {
  int keysRefused = 0;
  int valuesRefused = 0;
  int valuesAltered = 0;
};

// Writes an entry as generated and gives back what Wine holds: every value read back raw
// (a value that could not be stored is missing); nothing when the key could not be created.
std::unique_ptr<HostileEntry> Store(HKEY uninstall, const HostileEntry& entry, StoreFigures* figures) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(uninstall, Wide(entry.keyName).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    ++figures->keysRefused;
    return nullptr;
  }
  auto stored = std::make_unique<HostileEntry>();
  stored->keyName = entry.keyName;
  for (const HostileValue& value : entry.values) {
    // Non-NUL guard bytes around the data: RegSetValueExW adds a terminator to string data
    // whose next unit in memory is NUL, which would change what is stored.
    std::vector<BYTE> buffer(value.data.size() + 6, 0xAA);
    std::copy(value.data.begin(), value.data.end(), buffer.begin() + 2);
    const std::wstring name = Wide(value.name);
    if (RegSetValueExW(key, name.c_str(), 0, value.type, buffer.data() + 2, static_cast<DWORD>(value.data.size())) !=
        ERROR_SUCCESS) {
      ++figures->valuesRefused;
      continue;
    }
    DWORD type = 0;
    DWORD size = 8192;
    std::vector<BYTE> back(size);
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, back.data(), &size) != ERROR_SUCCESS) {
      ++figures->valuesRefused;
      continue;
    }
    back.resize(size);
    if (type != value.type || back != value.data) ++figures->valuesAltered;
    stored->values.push_back(HostileValue{value.name, type, back});
  }
  RegCloseKey(key);
  return stored;
}

TEST(HostileRegistryWineTest, TheCorpusInWinesRegistryGivesTheReferenceRecords) {
  UninstallKey uninstall;
  ASSERT_NE(uninstall.Get(), nullptr) << "the Uninstall key cannot be opened for writing";
  uninstall.RemoveCorpus();  // leftovers of an interrupted run

  const auto corpus = hardening::GenerateHostileCorpus(hardening::CorpusOptions{20261206, 4000, true, kPrefix});
  StoreFigures figures;
  std::map<Text, std::unique_ptr<HostileEntry>> stored;
  const DWORD writeStart = GetTickCount();
  for (const auto& entry : corpus)
    if (auto held = Store(uninstall.Get(), entry, &figures)) stored[entry.keyName] = std::move(held);
  const DWORD writeMs = GetTickCount() - writeStart;

  testing::InventoryRun run;
  const DWORD passStart = GetTickCount();
  const std::vector<ApplicationRecord> found = run.Records(u".");
  const DWORD passMs = GetTickCount() - passStart;

  std::map<Text, int> listedTimes;
  for (const auto& entry : run.state.uninstallEntryList.Snapshot()) {
    EXPECT_EQ(entry.Machine, u".");
    if (entry.KeyName.rfind(kPrefix, 0) == 0) ++listedTimes[entry.KeyName];
  }
  std::map<Text, ApplicationRecord> records;
  for (const auto& record : found)
    if (record.KeyName.rfind(kPrefix, 0) == 0) records[record.KeyName] = record;

  int listable = 0, overlong = 0, expectedRecords = 0, mismatches = 0;
  for (const auto& [name, entry] : stored) {
    if (!hardening::ListableKeyName(name)) {
      ++overlong;
      EXPECT_EQ(listedTimes.count(name), 0u) << "an overlong name was listed";
      continue;
    }
    ++listable;
    EXPECT_EQ(listedTimes[name], 1) << "listed " << listedTimes[name] << " times: " << TextToUtf8(name);
    const auto expected = hardening::ReferenceRecord(*entry, u".");
    const auto found = records.find(name);
    if (!expected) {
      EXPECT_TRUE(found == records.end()) << "record without a display name: " << hardening::Describe(found->second);
      continue;
    }
    ++expectedRecords;
    if (found == records.end()) {
      ADD_FAILURE() << "no record for " << hardening::Describe(*expected);
    } else if (!(found->second == *expected) && ++mismatches <= 10) {
      ADD_FAILURE() << "record\n  got:      " << hardening::Describe(found->second)
                    << "\n  expected: " << hardening::Describe(*expected);
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(static_cast<int>(records.size()), expectedRecords);
  EXPECT_GT(listable, 3000);

  std::printf(
      "[hostile corpus under Wine] %zu entries generated, %zu stored (%d keys refused, %d overlong names stored), "
      "%d values refused, %d values stored differently; %d listable entries, %d records; writing %lu ms, both passes "
      "%lu ms\n",
      corpus.size(), stored.size(), figures.keysRefused, overlong, figures.valuesRefused, figures.valuesAltered,
      listable, expectedRecords, static_cast<unsigned long>(writeMs), static_cast<unsigned long>(passMs));

  EXPECT_EQ(uninstall.RemoveCorpus(), static_cast<int>(stored.size()));
  for (const auto& name : uninstall.SubKeyNames()) EXPECT_NE(name.rfind(Wide(kPrefix), 0), 0u) << "left behind";
}

}  // namespace
}  // namespace appcensus
