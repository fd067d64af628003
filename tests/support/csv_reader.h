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

// Every record of a whole file (UTF-8, invalid sequences read as U+FFFD); nothing when malformed.
std::optional<std::vector<CsvFields>> ReadCsvDocument(std::string_view utf8);

// The fields of one record given without its CR LF (it may hold quoted line breaks).
std::optional<CsvFields> ReadCsvLine(TextView line);

}  // namespace appcensus
