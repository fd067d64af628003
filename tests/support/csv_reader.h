// Reads back what the export writes, strictly: records of ";"-separated fields, each ended by
// CR LF; a field is plain (no ";", double quote, CR or LF) or quoted with its quotes doubled.
// Anything else is refused, so that every line the writer got wrong shows.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "core/text.h"

namespace appcensus {

using CsvFields = std::vector<Text>;

inline std::optional<std::vector<CsvFields>> ReadCsvRecords(TextView text) {
  std::vector<CsvFields> records;
  std::size_t pos = 0;
  const auto at = [&](char16_t c) { return pos < text.size() && text[pos] == c; };
  while (pos < text.size()) {
    CsvFields& fields = records.emplace_back(1);
    for (;; fields.emplace_back()) {
      if (at(u'"')) {
        // Quoted: doubled quotes read as one, up to the lone closing quote.
        for (++pos; !at(u'"') || text.substr(pos, 2) == u"\"\""; ++pos) {
          if (pos >= text.size()) return std::nullopt;
          if (at(u'"')) ++pos;
          fields.back().push_back(text[pos]);
        }
        ++pos;
      } else {
        for (; pos < text.size() && TextView(u";\r\n").find(text[pos]) == TextView::npos; ++pos) {
          if (at(u'"')) return std::nullopt;
          fields.back().push_back(text[pos]);
        }
      }
      if (!at(u';')) break;
      ++pos;
    }
    // A record ends with CR LF: never a lone CR or LF, nor text after a closing quote.
    if (text.substr(pos, 2) != u"\r\n") return std::nullopt;
    pos += 2;
  }
  return records;
}

// Every record of a whole file (UTF-8, invalid sequences read as U+FFFD); nothing when malformed.
inline std::optional<std::vector<CsvFields>> ReadCsvDocument(std::string_view utf8) { return ReadCsvRecords(Utf8ToText(utf8)); }

}  // namespace appcensus
