// A hand-written reading of the product-code pattern "{(?i)(.*?)(?i)}" (PCRE2, UTF mode, line
// feed as the newline): a "{" followed by the shortest run of characters up to the next "}",
// where the run may hold any character but a line feed ("." does not match it; the letter-
// case options change nothing for braces). Matches are taken left to right without overlap:
// the leftmost "{" that has a "}" after it before any line feed starts the next match, which
// ends at that "}"; the search goes on after it. A "{" that meets a line feed or the end first
// starts no match, and the search goes on from the character after it.
//
// The same reading serves UTF-16 texts and UTF-8 bytes: "{", "}" and the line feed are single
// ASCII units in both, and no unit of a multi-unit character equals one of them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace appcensus::fuzz {

template <class Char>
std::vector<std::pair<std::size_t, std::size_t>> BraceGroups(std::basic_string_view<Char> text) {
  std::vector<std::pair<std::size_t, std::size_t>> groups;
  std::size_t pos = 0;
  for (;;) {
    const std::size_t open = text.find(Char('{'), pos);
    if (open == std::basic_string_view<Char>::npos) break;
    std::size_t i = open + 1;
    while (i < text.size() && text[i] != Char('}') && text[i] != Char('\n')) ++i;
    if (i < text.size() && text[i] == Char('}')) {
      groups.emplace_back(open, i + 1);
      pos = i + 1;
    } else {
      pos = open + 1;
    }
  }
  return groups;
}

// Whether bytes are well-formed UTF-8 (RFC 3629: no overlong form, no surrogate, nothing
// above U+10FFFF).
inline bool IsWellFormedUtf8(std::string_view bytes) {
  std::size_t i = 0;
  const auto in = [&](std::size_t at, unsigned low, unsigned high) {
    if (at >= bytes.size()) return false;
    const auto b = static_cast<unsigned char>(bytes[at]);
    return b >= low && b <= high;
  };
  while (i < bytes.size()) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    std::size_t length = 0;
    bool ok = false;
    if (b < 0x80) {
      length = 1, ok = true;
    } else if (b >= 0xC2 && b <= 0xDF) {
      length = 2, ok = in(i + 1, 0x80, 0xBF);
    } else if (b == 0xE0) {
      length = 3, ok = in(i + 1, 0xA0, 0xBF) && in(i + 2, 0x80, 0xBF);
    } else if ((b >= 0xE1 && b <= 0xEC) || b == 0xEE || b == 0xEF) {
      length = 3, ok = in(i + 1, 0x80, 0xBF) && in(i + 2, 0x80, 0xBF);
    } else if (b == 0xED) {
      length = 3, ok = in(i + 1, 0x80, 0x9F) && in(i + 2, 0x80, 0xBF);
    } else if (b == 0xF0) {
      length = 4, ok = in(i + 1, 0x90, 0xBF) && in(i + 2, 0x80, 0xBF) && in(i + 3, 0x80, 0xBF);
    } else if (b >= 0xF1 && b <= 0xF3) {
      length = 4, ok = in(i + 1, 0x80, 0xBF) && in(i + 2, 0x80, 0xBF) && in(i + 3, 0x80, 0xBF);
    } else if (b == 0xF4) {
      length = 4, ok = in(i + 1, 0x80, 0x8F) && in(i + 2, 0x80, 0xBF) && in(i + 3, 0x80, 0xBF);
    }
    if (!ok) return false;
    i += length;
  }
  return true;
}

// A UTF-16 text with every unpaired surrogate replaced by U+FFFD, as the conversion to UTF-8
// does.
inline std::u16string WithoutLoneSurrogates(std::u16string_view text) {
  std::u16string out(text);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const char16_t c = out[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < out.size() && out[i + 1] >= 0xDC00 && out[i + 1] <= 0xDFFF) {
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      out[i] = 0xFFFD;
    }
  }
  return out;
}

}  // namespace appcensus::fuzz
