// Wide-text helpers shared by every subsystem. Texts are UTF-16 (std::u16string),
// which maps one-to-one onto WCHAR on Windows, so buffer limits stay exact on Linux.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace appcensus {

using Text = std::u16string;
using TextView = std::u16string_view;

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD, as the Windows converter does.
std::string TextToUtf8(TextView text);
// UTF-8 to UTF-16; an invalid sequence becomes U+FFFD.
Text Utf8ToText(std::string_view utf8);

// Decimal text of a signed number.
Text DecimalText(std::int64_t value);

// Letter-case mappings, character by character (one UTF-16 unit each). On Windows they use
// the platform's mapping for the user's language; elsewhere a portable table that agrees
// with it for Latin, Greek and Cyrillic letters.
Text UpperCase(TextView text);
Text LowerCase(TextView text);

// Reads the leading whole number of a text: blanks and tabs are skipped, an optional "-" or
// "+" follows, then "$" introduces hexadecimal digits, "%" binary digits, otherwise decimal
// digits are read up to the first character that does not fit. No digits give 0. The value
// is kept to its low 32 bits and read as signed.
std::int32_t LeadingNumber(TextView text);

// Splits on a one-character separator; n separators always give n + 1 fields.
std::size_t CountFields(TextView text, char16_t separator);
Text NthField(TextView text, char16_t separator, std::size_t index);  // index from 0

}  // namespace appcensus
