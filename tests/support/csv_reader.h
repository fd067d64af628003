// Reads back what the export writes, strictly: records of ";"-separated fields, each record
// ended by CR LF; a field is either plain (no ";", double quote, CR or LF in it) or quoted,
// with its inner quotes doubled. Anything else is refused, so that a reader of the file
// learns of every line the writer got wrong. Takes any bytes without harm.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "core/text.h"

namespace appcensus {

using CsvFields = std::vector<Text>;

// Every record of a whole file (UTF-8; invalid sequences read as U+FFFD); nothing when the
// content is malformed, including a last record without its CR LF.
std::optional<std::vector<CsvFields>> ReadCsvDocument(std::string_view utf8);

// The fields of one record given without its CR LF (it may hold quoted line breaks).
std::optional<CsvFields> ReadCsvLine(TextView line);

}  // namespace appcensus
