// A strict reader of the JSON that the console program writes, for its tests: an array of
// objects whose values are strings. Anything else, an invalid escape, a raw control
// character or bytes that are not valid UTF-8 make it refuse the whole text.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/text.h"

namespace appcensus::testing {

using JsonObject = std::map<std::string, Text>;

std::optional<std::vector<JsonObject>> ReadJsonRecords(std::string_view json);

}  // namespace appcensus::testing
