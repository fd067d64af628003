// What the fuzz targets share: reading texts out of the fuzzer's bytes, and failing with a
// readable message when a property does not hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/text.h"

namespace appcensus::fuzz {

// Every two bytes make one UTF-16 unit (little-endian), so NULs, unpaired surrogates and
// any other unit occur; an odd last byte is dropped.
inline Text UnitsOf(const std::uint8_t* data, std::size_t size) {
  Text units;
  units.reserve(size / 2);
  for (std::size_t i = 0; i + 1 < size; i += 2)
    units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  return units;
}

// Cuts the input into several texts: the unit U+FFFF (a noncharacter) ends a text, so the
// texts themselves never hold it; two in a row give an empty text. Past the end every text
// is empty.
class TextReader {
 public:
  TextReader(const std::uint8_t* data, std::size_t size) : units_(UnitsOf(data, size)) {}

  Text Next() {
    if (pos_ >= units_.size()) return Text();
    std::size_t end = units_.find(kSeparator, pos_);
    if (end == Text::npos) end = units_.size();
    Text text = units_.substr(pos_, end - pos_);
    pos_ = end + 1;
    return text;
  }
  bool AtEnd() const { return pos_ >= units_.size(); }

  static constexpr char16_t kSeparator = 0xFFFF;

 private:
  Text units_;
  std::size_t pos_ = 0;
};

// The units of a text in hexadecimal, for failure messages.
inline std::string Dump(TextView text) {
  std::string out;
  char unit[8];
  for (std::size_t i = 0; i < text.size() && i < 400; ++i) {
    std::snprintf(unit, sizeof unit, "%s%04X", i ? " " : "", static_cast<unsigned>(text[i]));
    out += unit;
  }
  if (text.size() > 400) out += " ...";
  return out;
}

[[noreturn]] inline void Fail(const char* property, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, property);
  std::fflush(stderr);
  std::abort();
}

}  // namespace appcensus::fuzz

// Checks a property of the rule under test; a failure aborts, which libFuzzer reports as a
// crash and saves the input.
#define FUZZ_CHECK(condition)                                                         \
  do {                                                                                \
    if (!(condition)) ::appcensus::fuzz::Fail(#condition, __FILE__, __LINE__);        \
  } while (0)

// The same, printing texts first.
#define FUZZ_CHECK_TEXT(condition, text1, text2)                                      \
  do {                                                                                \
    if (!(condition)) {                                                               \
      std::fprintf(stderr, "first:  %s\nsecond: %s\n", ::appcensus::fuzz::Dump(text1).c_str(), \
                   ::appcensus::fuzz::Dump(text2).c_str());                           \
      ::appcensus::fuzz::Fail(#condition, __FILE__, __LINE__);                        \
    }                                                                                 \
  } while (0)
