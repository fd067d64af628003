// The cleaning of the export file-name prefix, and the whole file name.
//
// Properties: the cleaned prefix holds no character that a Windows file name cannot hold
// (controls below U+0020, < > : " / \ | ? *), so no path separator either; every other
// character stays in place, each forbidden one becomes "_", and at most one "_" is put in
// front; cleaning twice changes nothing more. The file name is the cleaned prefix, "_", the
// time, ".csv", with none of those characters either, and its part before the first "."
// (trailing blanks aside) is never a device name (CON, PRN, AUX, NUL, COM0-9, LPT0-9, the
// digit also as a superscript 1-3), which Windows would open instead of a file.
#include <cstddef>
#include <cstdint>

#include "export/export_file_name.h"
#include "fuzz/fuzz_support.h"

namespace {

using namespace appcensus;

bool Forbidden(char16_t c) {
  switch (c) {
    case u'<': case u'>': case u':': case u'"': case u'/': case u'\\': case u'|': case u'?': case u'*':
      return true;
    default:
      return c < 0x20;
  }
}

bool IsDeviceName(TextView stem) {
  while (!stem.empty() && stem.back() == u' ') stem.remove_suffix(1);
  Text upper(stem);
  for (auto& c : upper)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
  if (upper == u"CON" || upper == u"PRN" || upper == u"AUX" || upper == u"NUL") return true;
  if (upper.size() != 4 || !(upper.starts_with(u"COM") || upper.starts_with(u"LPT"))) return false;
  const char16_t digit = upper[3];
  return (digit >= u'0' && digit <= u'9') || digit == 0x00B9 || digit == 0x00B2 || digit == 0x00B3;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Text prefix = fuzz::UnitsOf(data, size);
  const Text clean = CleanFileNamePrefix(prefix);

  for (char16_t c : clean) FUZZ_CHECK(!Forbidden(c));
  FUZZ_CHECK(clean.size() == prefix.size() || clean.size() == prefix.size() + 1);
  const std::size_t shift = clean.size() - prefix.size();
  if (shift == 1) FUZZ_CHECK(clean.front() == u'_');
  for (std::size_t i = 0; i < prefix.size(); ++i)
    FUZZ_CHECK(clean[i + shift] == (Forbidden(prefix[i]) ? u'_' : prefix[i]));
  FUZZ_CHECK_TEXT(CleanFileNamePrefix(clean) == clean, CleanFileNamePrefix(clean), clean);

  const Text name = ExportFileName(prefix, LocalDateTime{2026, 12, 6, 14, 5, 9});
  FUZZ_CHECK_TEXT(name == clean + u"_14-05-09_06-12-2026.csv", name, clean);
  for (char16_t c : name) FUZZ_CHECK(!Forbidden(c));
  FUZZ_CHECK_TEXT(!IsDeviceName(TextView(name).substr(0, name.find(u'.'))), name, prefix);
  return 0;
}
