// Texts out of the fuzzer's bytes, and a check that aborts on a property that does not hold
// (libFuzzer reports it as a crash and keeps the input).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "core/text.h"

namespace appcensus::fuzz {

// Text number `n` of the input, the texts being separated by U+FFFF (a noncharacter). Every two
// bytes make one UTF-16 unit (little-endian), so NULs, unpaired surrogates and any other unit
// occur; an odd last byte is dropped.
inline Text Part(const std::uint8_t* data, std::size_t size, std::size_t n) {
  Text units;
  for (std::size_t i = 0; i + 1 < size; i += 2) units.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
  return NthField(units, 0xFFFF, n);
}

}  // namespace appcensus::fuzz

#define FUZZ_CHECK(condition) \
  ((condition) ? void() : (std::fprintf(stderr, "%s:%d: does not hold: %s\n", __FILE__, __LINE__, #condition), std::abort()))
