#include "export/export_file_name.h"

namespace appcensus {

namespace {

void AppendDigits(Text& out, int value, int width) {
  if (value < 0) value = 0;
  Text digits = DecimalText(value);
  if (static_cast<int>(digits.size()) < width) out.append(width - digits.size(), u'0');
  out += digits;
}

bool HasPrefixAt(TextView text, std::size_t pos, TextView part) { return text.substr(pos, part.size()) == part; }

// Characters that no Windows file name may hold.
bool ForbiddenInFileName(char16_t c) {
  return c < 0x20 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'/' || c == u'\\' ||
         c == u'|' || c == u'?' || c == u'*';
}

// Windows opens a device instead of a file when the part of a name before its first dot
// (trailing blanks aside) is one of these, whatever follows the dot.
bool IsReservedDeviceName(TextView stem) {
  while (!stem.empty() && stem.back() == u' ') stem.remove_suffix(1);
  const Text upper = UpperCase(stem);
  for (TextView name : {u"CON", u"PRN", u"AUX", u"NUL"})
    if (upper == name) return true;
  if (upper.size() == 4 && (upper.starts_with(u"COM") || upper.starts_with(u"LPT"))) {
    const char16_t digit = upper[3];
    return (digit >= u'0' && digit <= u'9') || digit == u'\u00b9' || digit == u'\u00b2' || digit == u'\u00b3';
  }
  return false;
}

}  // namespace

Text FormatDateTime(TextView mask, const LocalDateTime& time) {
  struct Field {
    TextView token;
    int value;
    int width;
  };
  const Field fields[] = {{u"%yyyy", time.year, 4}, {u"%hh", time.hour, 2},  {u"%ii", time.minute, 2},
                          {u"%ss", time.second, 2}, {u"%dd", time.day, 2},   {u"%mm", time.month, 2}};
  Text out;
  std::size_t pos = 0;
  while (pos < mask.size()) {
    bool replaced = false;
    if (mask[pos] == u'%') {
      for (const auto& field : fields) {
        if (HasPrefixAt(mask, pos, field.token)) {
          AppendDigits(out, field.value, field.width);
          pos += field.token.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out.push_back(mask[pos++]);
  }
  return out;
}

Text CleanFileNamePrefix(TextView prefix) {
  Text clean(prefix);
  for (char16_t& c : clean)
    if (ForbiddenInFileName(c)) c = u'_';
  // The rest of the name ("_hh-ii-ss_dd-mm-yyyy.csv") holds no dot before ".csv", so only a
  // dot inside the prefix can end a device name; a leading "_" makes it an ordinary name.
  const std::size_t dot = clean.find(u'.');
  if (dot != Text::npos && IsReservedDeviceName(TextView(clean).substr(0, dot))) clean.insert(0, 1, u'_');
  return clean;
}

Text ExportFileName(TextView prefix, const LocalDateTime& time) {
  return CleanFileNamePrefix(prefix) + u"_" + FormatDateTime(kExportTimeMask, time) + u".csv";
}

}  // namespace appcensus
