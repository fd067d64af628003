// Texts handed to the wide-character Windows functions. A Text is UTF-16, as they are, so
// the conversion is a view of the same characters; every Windows-side file uses these.
#pragma once

#include "core/text.h"

namespace appcensus {

inline const wchar_t* Wide(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
inline const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
// The characters of `text` for a function that writes into them (text.size() of them).
inline wchar_t* WideBuffer(Text& text) { return reinterpret_cast<wchar_t*>(text.data()); }
inline wchar_t* WideBuffer(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }

}  // namespace appcensus
