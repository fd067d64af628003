// The rules of the detail pass that turn the values of one uninstall entry into a record.
// They are pure functions of their arguments (no registry, no shared state), so they can be
// tested and fuzzed on their own.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "core/application_record.h"
#include "core/text.h"

namespace appcensus {

// The values of one entry that the detail pass reads, each empty when it could not be read.
struct EntryValues {
  Text DisplayName;
  Text DisplayVersion;
  Text InstallDate;
  Text InstallSource;
  Text InstallLocation;
  Text UninstallString;
  Text DisplayIcon;
  Text RegistryLocation;
};

// Where each value comes from, in the order in which the values are read.
struct EntryValueSource {
  const char16_t* valueName;
  Text EntryValues::*field;
};
inline constexpr std::array<EntryValueSource, 8> kEntryValueSources = {{
    {u"DisplayName", &EntryValues::DisplayName},
    {u"DisplayVersion", &EntryValues::DisplayVersion},
    {u"InstallDate", &EntryValues::InstallDate},
    {u"InstallSource", &EntryValues::InstallSource},
    {u"InstallLocation", &EntryValues::InstallLocation},
    {u"UninstallString", &EntryValues::UninstallString},
    {u"DisplayIcon", &EntryValues::DisplayIcon},
    {u"RegistryLocation", &EntryValues::RegistryLocation},
}};
// Read only when UninstallString is empty and RegistryLocation is not.
inline constexpr char16_t kUninstallCommandValueName[] = u"UninstallCommand";

// "yyyymmdd" to "dd/mm/yyyy" when the text is eight digits that form a date (month 01-12,
// day 01-31); any other text is shown exactly as stored ("2023-11-02", "2011").
Text RewriteInstallDate(TextView installDate);

// Folder part of a DisplayIcon value: one leading double quote is skipped, the text is
// scanned up to its end or its first "|", and the result runs up to and including the last
// "\" or "/" met; empty when there is none ("app.exe" gives "").
Text IconFolder(TextView displayIcon);

// A compiled regular expression (UTF-8 mode) and the search for all its matches.
class TextPattern {
 public:
  explicit TextPattern(std::string_view pattern);
  ~TextPattern();
  TextPattern(const TextPattern&) = delete;
  TextPattern& operator=(const TextPattern&) = delete;

  bool Valid() const { return code_ != nullptr; }
  // Byte ranges [start, end) of all non-overlapping matches in a UTF-8 subject, left to
  // right. After an empty match the search goes on one character further, never inside a
  // character. A subject that is not valid UTF-8 has no match.
  std::vector<std::pair<std::size_t, std::size_t>> AllMatches(std::string_view subject) const;

 private:
  void* code_ = nullptr;  // pcre2_code_8; only read after construction
};

// The product-code pattern: "{", the shortest run of characters, "}".
inline constexpr char kProductCodePattern[] = "{(?i)(.*?)(?i)}";

class ProductCodePattern {
 public:
  ProductCodePattern() : pattern_(kProductCodePattern) {}
  // The one braced group of a subkey name, braces included; the placeholder when the name
  // holds none or more than one.
  Text Extract(TextView keyName) const;

 private:
  TextPattern pattern_;
};

// Whether the entry's UninstallCommand must be read: UninstallString empty and
// RegistryLocation set.
bool NeedsUninstallCommand(const EntryValues& values);

// The record of one entry from its eight values and, when NeedsUninstallCommand, the
// UninstallCommand value (ignored otherwise). No record when DisplayName is empty.
std::optional<ApplicationRecord> BuildApplicationRecord(const EntryValues& values, TextView uninstallCommand,
                                                        const UninstallEntry& entry,
                                                        const ProductCodePattern& productCode);

}  // namespace appcensus
