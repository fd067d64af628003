#include "inventory/entry_rules.h"

#include <pcre2.h>

namespace appcensus {

namespace {

pcre2_code* Code(void* code) { return static_cast<pcre2_code*>(code); }

}  // namespace

Text RewriteInstallDate(TextView installDate) {
  if (installDate.size() != 8) return Text(installDate);
  int value[8];
  for (int i = 0; i < 8; ++i) {
    if (installDate[i] < u'0' || installDate[i] > u'9') return Text(installDate);
    value[i] = installDate[i] - u'0';
  }
  const int month = value[4] * 10 + value[5];
  const int day = value[6] * 10 + value[7];
  if (month < 1 || month > 12 || day < 1 || day > 31) return Text(installDate);
  Text result(installDate.substr(6, 2));
  result += u'/';
  result += installDate.substr(4, 2);
  result += u'/';
  result += installDate.substr(0, 4);
  return result;
}

Text IconFolder(TextView displayIcon) {
  TextView text = displayIcon;
  if (!text.empty() && text.front() == u'"') text.remove_prefix(1);
  const std::size_t bar = text.find(u'|');
  if (bar != TextView::npos) text = text.substr(0, bar);
  const std::size_t separator = text.find_last_of(u"\\/");
  if (separator == TextView::npos) return Text();
  return Text(text.substr(0, separator + 1));
}

TextPattern::TextPattern(std::string_view pattern) {
  int error = 0;
  PCRE2_SIZE errorOffset = 0;
  code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), PCRE2_UTF, &error, &errorOffset,
                        nullptr);
}

TextPattern::~TextPattern() { pcre2_code_free(Code(code_)); }

std::vector<std::pair<std::size_t, std::size_t>> TextPattern::AllMatches(std::string_view subject) const {
  std::vector<std::pair<std::size_t, std::size_t>> matches;
  if (code_ == nullptr) return matches;
  pcre2_match_data* data = pcre2_match_data_create_from_pattern(Code(code_), nullptr);
  if (data == nullptr) return matches;
  const auto* bytes = reinterpret_cast<PCRE2_SPTR>(subject.data());
  const PCRE2_SIZE length = subject.size();
  PCRE2_SIZE offset = 0;
  std::uint32_t options = 0;  // the first search checks the subject's UTF-8
  bool afterEmpty = false;
  while (offset <= length) {
    const int rc = pcre2_match(Code(code_), bytes, length, offset, options, data, nullptr);
    if (rc == PCRE2_ERROR_NOMATCH && afterEmpty) {
      // No non-empty match where an empty one was found: go on one character further.
      options = PCRE2_NO_UTF_CHECK;  // later searches start on character boundaries only
      afterEmpty = false;
      if (offset >= length) break;
      ++offset;
      while (offset < length && (bytes[offset] & 0xC0) == 0x80) ++offset;
      continue;
    }
    if (rc < 0) break;  // no more matches, or an invalid subject
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data);
    const PCRE2_SIZE start = ovector[0];
    const PCRE2_SIZE end = ovector[1];
    if (start > end || end > length) break;  // \K can report such ranges; they are not matches
    matches.emplace_back(start, end);
    offset = end;
    // After an empty match, first look for a non-empty one at the same place.
    afterEmpty = start == end;
    options = PCRE2_NO_UTF_CHECK | (afterEmpty ? PCRE2_NOTEMPTY_ATSTART | PCRE2_ANCHORED : 0u);
  }
  pcre2_match_data_free(data);
  return matches;
}

Text ProductCodePattern::Extract(TextView keyName) const {
  const std::string subject = TextToUtf8(keyName);
  const auto matches = pattern_.AllMatches(subject);
  if (matches.size() != 1) return Text(kPlaceholder);
  const auto [start, end] = matches.front();
  return Utf8ToText(std::string_view(subject).substr(start, end - start));
}

bool NeedsUninstallCommand(const EntryValues& values) {
  return values.UninstallString.empty() && !values.RegistryLocation.empty();
}

std::optional<ApplicationRecord> BuildApplicationRecord(const EntryValues& values, TextView uninstallCommand,
                                                        const UninstallEntry& entry,
                                                        const ProductCodePattern& productCode) {
  if (values.DisplayName.empty()) return std::nullopt;
  ApplicationRecord record;
  const auto valueOrAbsent = [&record](const Text& value, Text ApplicationRecord::*member) {
    if (value.empty())
      SetAbsent(record, member);
    else
      record.*member = value;
  };
  record.DisplayName = values.DisplayName;
  valueOrAbsent(values.DisplayVersion, &ApplicationRecord::DisplayVersion);
  valueOrAbsent(values.InstallSource, &ApplicationRecord::InstallSource);
  valueOrAbsent(values.InstallDate.empty() ? Text() : RewriteInstallDate(values.InstallDate), &ApplicationRecord::InstallDate);
  record.UninstallString = values.UninstallString;
  if (NeedsUninstallCommand(values) && !uninstallCommand.empty()) record.UninstallString = Text(uninstallCommand);
  if (!values.InstallLocation.empty())
    record.InstallLocation = values.InstallLocation;
  else if (!values.DisplayIcon.empty())
    record.InstallLocation = IconFolder(values.DisplayIcon);
  else
    SetAbsent(record, &ApplicationRecord::InstallLocation);
  // The pattern gives the placeholder only when the key name holds no single braced group.
  record.ProductCode = productCode.Extract(entry.KeyName);
  if (record.ProductCode == kPlaceholder) SetAbsent(record, &ApplicationRecord::ProductCode);
  record.Machine = entry.Machine;
  record.KeyName = entry.KeyName;
  record.UninstallKeyPath = entry.UninstallKeyPath;
  return record;
}

}  // namespace appcensus
