// The inventory against a hostile corpus of uninstall entries on a simulated machine. Both
// passes run as the job runs them; every listed entry whose DisplayName reads as text gives
// exactly one record, equal to the reference reading of hostile_corpus.cpp, and no other
// entry gives one. A key name of 255 characters or more does not fit the layer's name
// buffer: that entry is left out of the listing (it could not be read by its name anyway),
// and the entries the registry orders after it are still listed.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

#include "core/activity_log.h"
#include "core/application_table.h"
#include "inventory/inventory_passes.h"
#include "tests/support/memory_registry.h"
#include "tests/hardening/hostile_corpus.h"
#include "tests/support/inventory_run.h"
#include "tests/support/recording_activity_log.h"

namespace appcensus {
namespace {

using hardening::CorpusOptions;
using hardening::HostileEntry;

Text EntryPath(TextView keyName) { return Text(kUninstallKeyPath) + u"\\" + Text(keyName); }

void Install(MemoryMachine& machine, const std::vector<HostileEntry>& corpus) {
  for (const auto& entry : corpus) {
    const Text path = EntryPath(entry.keyName);
    machine.CreateKey(path);
    for (const auto& value : entry.values) machine.SetValue(path, value.name, value.type, value.data);
  }
}

// The simulated registry lists subkeys by their upper-case names; names that do not fit
// are left out.
std::vector<Text> ExpectedListing(const std::vector<HostileEntry>& corpus) {
  std::vector<std::pair<Text, Text>> names;
  for (const auto& entry : corpus) names.emplace_back(UpperCase(entry.keyName), entry.keyName);
  std::sort(names.begin(), names.end());
  std::vector<Text> listed;
  for (const auto& [order, name] : names) {
    if (hardening::ListableKeyName(name)) listed.push_back(name);
  }
  return listed;
}

struct PassOutcome {
  std::size_t listedCount = 0;
  std::size_t recordCount = 0;
  std::vector<UninstallEntry> listed;
  std::vector<ApplicationRecord> records;
  std::vector<RecordingActivityLog::Call> calls;
};

PassOutcome RunPasses(MemoryRegistry& registry) {
  ScopedRegistryApi scoped(registry);
  testing::InventoryRun run;
  PassOutcome outcome;
  outcome.listedCount = EnumerateUninstallEntries(run.context, u".");
  outcome.recordCount = ReadApplicationDetails(run.context, u".");
  outcome.listed = run.state.uninstallEntryList.Snapshot();
  outcome.records = run.state.applicationTable.Snapshot();
  outcome.calls = run.log->Calls();
  return outcome;
}

std::size_t CheckOutcome(const std::vector<HostileEntry>& corpus, const PassOutcome& outcome) {
  std::map<Text, const HostileEntry*> byName;
  for (const auto& entry : corpus) byName[entry.keyName] = &entry;

  const std::vector<Text> expectedListing = ExpectedListing(corpus);
  std::vector<Text> listing;
  for (const auto& entry : outcome.listed) {
    EXPECT_EQ(entry.Machine, u".");
    listing.push_back(entry.KeyName);
  }
  EXPECT_EQ(outcome.listedCount, expectedListing.size());
  EXPECT_TRUE(listing == expectedListing) << "listed " << listing.size() << " entries, expected "
                                          << expectedListing.size();

  std::map<Text, ApplicationRecord> records;
  for (const auto& record : outcome.records) {
    EXPECT_TRUE(records.emplace(record.KeyName, record).second) << "two records for one key";
  }
  std::size_t expectedRecords = 0;
  std::size_t mismatches = 0;
  for (const Text& name : listing) {
    const auto expected = hardening::ReferenceRecord(*byName.at(name), u".");
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
  EXPECT_EQ(mismatches, 0u);
  EXPECT_EQ(records.size(), expectedRecords);
  EXPECT_EQ(outcome.recordCount, expectedRecords);

  // The closing lines count what was listed, records or not.
  std::vector<Text> lines;
  for (const auto& call : outcome.calls)
    if (!call.isProgress) lines.push_back(call.text);
  const Text count = DecimalText(static_cast<std::int64_t>(listing.size()));
  EXPECT_TRUE(std::find(lines.begin(), lines.end(), count + u" Entr\u00e9es") != lines.end());
  if (!listing.empty()) {
    EXPECT_EQ(lines.back(), u"R\u00e9cup\u00e9ration des informations d'applications effectu\u00e9es. " + count +
                                u" entr\u00e9es trait\u00e9s.");
  }
  return expectedRecords;
}

TEST(HostileRegistryTest, ThousandsOfHostileEntriesGiveExactlyTheReferenceRecords) {
  const auto corpus = hardening::GenerateHostileCorpus(CorpusOptions{20261206, 4000, false, u""});
  MemoryRegistry registry;
  Install(registry.Local(), corpus);
  const PassOutcome outcome = RunPasses(registry);
  EXPECT_EQ(outcome.listed.size(), corpus.size());  // every name fits
  const std::size_t records = CheckOutcome(corpus, outcome);
  // The corpus is hostile, not hopeless: many entries give records, many do not.
  EXPECT_GT(records, corpus.size() / 3);
  EXPECT_LT(records, corpus.size() - corpus.size() / 10);
  EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

TEST(HostileRegistryTest, OverlongKeyNamesAreLeftOutAndTheListingGoesOnPastThem) {
  // Several seeds, so that the overlong names fall at different places of the order.
  for (const std::uint32_t seed : {3u, 5u, 8u}) {
    SCOPED_TRACE(seed);
    const auto corpus = hardening::GenerateHostileCorpus(CorpusOptions{seed, 1500, true, u""});
    const auto overlong = std::count_if(corpus.begin(), corpus.end(),
                                        [](const HostileEntry& e) { return !hardening::ListableKeyName(e.keyName); });
    ASSERT_GT(overlong, 0);
    MemoryRegistry registry;
    Install(registry.Local(), corpus);
    const PassOutcome outcome = RunPasses(registry);
    EXPECT_EQ(outcome.listed.size(), corpus.size() - static_cast<std::size_t>(overlong));
    CheckOutcome(corpus, outcome);
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
  }
}

TEST(HostileRegistryTest, TheCorpusIsRepeatableAndReachesEveryLimit) {
  const CorpusOptions options{20261206, 4000, true, u""};
  const auto corpus = hardening::GenerateHostileCorpus(options);
  const auto again = hardening::GenerateHostileCorpus(options);
  ASSERT_EQ(corpus.size(), again.size());
  for (std::size_t i = 0; i < corpus.size(); ++i) {
    ASSERT_EQ(corpus[i].keyName, again[i].keyName);
    ASSERT_EQ(corpus[i].values.size(), again[i].values.size());
    for (std::size_t v = 0; v < corpus[i].values.size(); ++v) {
      ASSERT_EQ(corpus[i].values[v].type, again[i].values[v].type);
      ASSERT_EQ(corpus[i].values[v].data, again[i].values[v].data);
    }
  }
  EXPECT_NE(hardening::GenerateHostileCorpus(CorpusOptions{7, 50, true, u""})[0].keyName,
            hardening::GenerateHostileCorpus(CorpusOptions{8, 50, true, u""})[0].keyName);

  // What makes it hostile is there, so that the properties above are tested on it.
  std::map<std::size_t, int> dataSizes;
  int names254 = 0, names255 = 0, bracedNames = 0, loneSurrogateNames = 0, otherTypes = 0, embeddedNul = 0,
      unterminated = 0, dword = 0, binary = 0;
  for (const auto& entry : corpus) {
    names254 += entry.keyName.size() == 254;
    names255 += entry.keyName.size() >= 255;
    bracedNames += entry.keyName.find(u'{') != Text::npos && entry.keyName.find(u'}') != Text::npos;
    loneSurrogateNames += Utf8ToText(TextToUtf8(entry.keyName)) != entry.keyName;
    for (const auto& value : entry.values) {
      ++dataSizes[value.data.size()];
      otherTypes += value.type != 1 && value.type != 2 && value.type != 3 && value.type != 4;
      dword += value.type == 4;
      binary += value.type == 3;
      if (value.type == 1 && value.data.size() >= 4) {
        const std::size_t units = value.data.size() / 2;
        bool nulInside = false;
        for (std::size_t u = 0; u + 1 < units; ++u) nulInside = nulInside || (value.data[2 * u] == 0 && value.data[2 * u + 1] == 0);
        embeddedNul += nulInside;
        unterminated += value.data.size() % 2 == 0 && (value.data[value.data.size() - 2] | value.data.back()) != 0;
      }
    }
  }
  for (std::size_t size : {508u, 510u, 512u, 1024u})  // 254 / 255 characters with their NUL; 1,024 bytes
    EXPECT_GT(dataSizes[size], 0) << size;
  for (std::size_t size : {509u, 511u, 1023u, 1025u}) EXPECT_GT(dataSizes[size], 0) << size;
  EXPECT_GT(names254, 50);
  EXPECT_GT(names255, 3);
  EXPECT_GT(bracedNames, 1000);
  EXPECT_GT(otherTypes, 500);
  EXPECT_GT(dword, 1000);
  EXPECT_GT(binary, 1000);
  EXPECT_GT(embeddedNul, 1000);
  EXPECT_GT(unterminated, 500);
  EXPECT_GT(loneSurrogateNames, 500);
}

}  // namespace
}  // namespace appcensus
