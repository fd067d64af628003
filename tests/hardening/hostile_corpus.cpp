#include "tests/hardening/hostile_corpus.h"

#include <array>
#include <random>
#include <string>

namespace appcensus::hardening {

namespace {

constexpr char16_t kPlaceholderText[] = u" - ";

// Repeatable choices: std::mt19937's sequence is fixed by the standard, and these helpers
// use nothing else.
class Random {
 public:
  explicit Random(std::uint32_t seed) : engine_(seed) {}
  std::uint32_t Below(std::uint32_t n) { return n == 0 ? 0 : static_cast<std::uint32_t>(engine_() % n); }
  bool Percent(std::uint32_t percent) { return Below(100) < percent; }
  std::uint8_t Byte() { return static_cast<std::uint8_t>(engine_() & 0xFF); }
  template <class T, std::size_t N>
  T Pick(const std::array<T, N>& choices) {
    return choices[Below(N)];
  }

 private:
  std::mt19937 engine_;
};

// One character of hostile text. Key names get neither "\" (the path separator) nor NUL
// (a name is a NUL-terminated text on the way to the registry).
Text RandomUnits(Random& random, bool keyName) {
  switch (random.Below(48)) {
    case 0: case 1: case 2: return u"{";
    case 3: case 4: case 5: return u"}";
    case 6: return keyName ? u"/" : u"\\";
    case 7: return u"/";
    case 8: return u"|";
    case 9: return u"\"";
    case 10: return u"\n";
    case 11: return u"\r";
    case 12: return keyName ? u";" : Text(1, u'\0');
    case 13: return Text(1, static_cast<char16_t>(0xD800 + random.Below(0x400)));  // lone high surrogate
    case 14: return Text(1, static_cast<char16_t>(0xDC00 + random.Below(0x400)));  // lone low surrogate
    case 15: return Text{static_cast<char16_t>(0xD83D), static_cast<char16_t>(0xDE00 + random.Below(0x50))};
    case 16: return Text(1, static_cast<char16_t>(0xC0 + random.Below(0x40)));
    case 17: return Text(1, static_cast<char16_t>(0x4E00 + random.Below(0x100)));
    case 18: return Text(1, random.Pick(std::array<char16_t, 4>{0xFFFD, 0xFFFF, 0xFEFF, 0x0131}));
    case 19: return Text(1, static_cast<char16_t>(u'0' + random.Below(10)));
    default: {
      constexpr char16_t kPlain[] = u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ -_.,$%=+@:";
      return Text(1, kPlain[random.Below(sizeof kPlain / sizeof kPlain[0] - 1)]);
    }
  }
}

// Exactly `length` units (a surrogate pair may be cut in two at the end).
Text RandomText(Random& random, std::size_t length, bool keyName) {
  Text text;
  while (text.size() < length) text += RandomUnits(random, keyName);
  text.resize(length);
  return text;
}

std::size_t TextLength(Random& random) {
  switch (random.Below(12)) {
    case 0: return 0;
    case 1: return 253 + random.Below(4);  // 253 to 256
    case 2: return 254;
    case 3: return 255;
    case 4: return 500 + random.Below(20);
    default: return random.Below(40);
  }
}

void AppendUnits(std::vector<std::uint8_t>& data, TextView text) {
  for (char16_t c : text) {
    data.push_back(static_cast<std::uint8_t>(c & 0xFF));
    data.push_back(static_cast<std::uint8_t>(c >> 8));
  }
}

// String data: the units, then one NUL, none, two, or an odd extra byte.
std::vector<std::uint8_t> StringData(Random& random, TextView text) {
  std::vector<std::uint8_t> data;
  AppendUnits(data, text);
  switch (random.Below(10)) {
    case 7: break;  // no terminator
    case 8: data.insert(data.end(), 4, 0); break;
    case 9:
      if (random.Percent(50)) data.insert(data.end(), 2, 0);
      data.push_back(random.Byte());
      break;
    default: data.insert(data.end(), 2, 0); break;
  }
  return data;
}

std::vector<std::uint8_t> RandomBytes(Random& random, std::size_t size) {
  std::vector<std::uint8_t> data(size);
  for (auto& byte : data) byte = random.Byte();
  return data;
}

// Sizes at and around every buffer limit of the layer.
constexpr std::array<std::uint32_t, 17> kEdgeSizes = {0,   1,   2,   3,   4,   5,    8,    254,  255,
                                                      256, 509, 510, 511, 512, 1023, 1024, 1025};

HostileValue RandomValue(Random& random, TextView name) {
  HostileValue value;
  value.name = Text(name);
  const std::uint32_t shape = random.Below(100);
  if (shape < 50) {
    value.type = 1;
    value.data = StringData(random, RandomText(random, TextLength(random), false));
  } else if (shape < 58) {
    value.type = 2;
    value.data = StringData(random, RandomText(random, TextLength(random), false));
  } else if (shape < 62) {
    value.type = random.Percent(50) ? 1 : 2;  // string types with a raw size at a limit
    value.data = RandomBytes(random, random.Pick(kEdgeSizes));
  } else if (shape < 72) {
    value.type = 4;
    value.data = random.Percent(70) ? RandomBytes(random, 4) : RandomBytes(random, random.Pick(kEdgeSizes));
  } else if (shape < 82) {
    value.type = 3;
    value.data = RandomBytes(random, random.Percent(60) ? random.Pick(kEdgeSizes) : random.Below(40));
  } else if (shape < 87) {
    value.type = 7;  // REG_MULTI_SZ
    value.data = StringData(random, RandomText(random, random.Below(30), false) + Text(1, u'\0') + u"second");
  } else if (shape < 91) {
    value.type = 11;  // REG_QWORD
    value.data = RandomBytes(random, 8);
  } else if (shape < 95) {
    value.type = 0;  // REG_NONE holding a text
    value.data = StringData(random, RandomText(random, random.Below(30), false));
  } else {
    value.type = random.Pick(std::array<std::uint32_t, 4>{5, 6, 0x12345678u, 0xFFFFFFFFu});
    value.data = RandomBytes(random, random.Below(40));
  }
  return value;
}

Text AsciiCase(TextView text, bool upper) {
  Text out(text);
  for (auto& c : out) {
    if (upper && c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    if (!upper && c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  }
  return out;
}

Text Ascii(const std::string& text) { return Text(text.begin(), text.end()); }

constexpr std::array<const char16_t*, 9> kValueNames = {
    u"DisplayName",     u"DisplayVersion",  u"InstallDate", u"InstallSource",   u"InstallLocation",
    u"UninstallString", u"DisplayIcon",     u"RegistryLocation", u"UninstallCommand"};

HostileEntry RandomEntry(Random& random, const CorpusOptions& options, std::size_t index) {
  HostileEntry entry;
  // The key name: prefix, hostile text, then "#" and the entry's number, which keeps every
  // name distinct in any letter case.
  const Text tag = u"#" + Ascii(std::to_string(index));
  std::size_t length;
  if (options.overlongKeyNames && random.Percent(1) && random.Percent(50))
    length = random.Percent(30) ? 255 : 255 + random.Below(46);
  else if (random.Percent(8))
    length = 254;
  else if (random.Percent(10))
    length = 200 + random.Below(55);
  else
    length = 1 + random.Below(40);
  const std::size_t fixed = options.keyPrefix.size() + tag.size();
  Text middle = random.Percent(10) ? u"{" + RandomText(random, 36, true) + u"}" : Text();
  const std::size_t rest = length > fixed + middle.size() ? length - fixed - middle.size() : 1;
  const bool bracedFirst = random.Percent(50);
  const Text filler = RandomText(random, rest, true);
  entry.keyName = options.keyPrefix + (bracedFirst ? middle + filler : filler + middle) + tag;

  if (random.Percent(3)) return entry;  // a key without values
  for (std::size_t v = 0; v < kValueNames.size(); ++v) {
    const TextView canonical = kValueNames[v];
    if (random.Percent(v == 0 ? 10 : 18)) continue;  // missing
    Text name(canonical);
    const std::uint32_t spelling = random.Below(20);
    if (spelling == 0) name = AsciiCase(name, false);
    if (spelling == 1) name = AsciiCase(name, true);
    if (v == 0 && random.Percent(55)) {
      // Mostly readable display names, so that many entries give a record.
      HostileValue value{name, 1, {}};
      value.data = StringData(random, RandomText(random, 1 + random.Below(60), false));
      entry.values.push_back(std::move(value));
    } else if (v == 2 && random.Percent(30)) {
      HostileValue value{name, 1, {}};
      value.data = StringData(random, Ascii(std::to_string(19900101 + random.Below(400000))));
      entry.values.push_back(std::move(value));
    } else if (v == 2 && random.Percent(10)) {
      HostileValue value{name, 4, {}};
      const std::uint32_t date = 20110606;
      value.data = {static_cast<std::uint8_t>(date), static_cast<std::uint8_t>(date >> 8),
                    static_cast<std::uint8_t>(date >> 16), static_cast<std::uint8_t>(date >> 24)};
      entry.values.push_back(std::move(value));
    } else {
      entry.values.push_back(RandomValue(random, name));
    }
  }
  // Stray values whose names only resemble the ones read.
  const std::array<const char16_t*, 5> strays = {u"Display Name", u"DisplayName2", u"", u"UninstallString_",
                                                 u"InstallLocation\u00a0"};
  for (std::uint32_t k = random.Below(3); k > 0; --k) {
    const TextView name = strays[random.Below(strays.size())];
    bool taken = false;
    for (const auto& value : entry.values) taken = taken || value.name == name;
    if (!taken) entry.values.push_back(RandomValue(random, name));
  }
  return entry;
}

bool SameValueName(TextView a, TextView b) { return AsciiCase(a, true) == AsciiCase(b, true); }

Text Decimal(std::int64_t value) { return Ascii(std::to_string(value)); }

// Characters first..last (counted from 1) of a text, as far as it reaches.
Text Characters(TextView text, std::size_t first, std::size_t last) {
  Text out;
  for (std::size_t p = first; p <= last && p <= text.size(); ++p) out.push_back(text[p - 1]);
  return out;
}

Text IconFolderOf(TextView icon) {
  const std::size_t start = !icon.empty() && icon[0] == u'"' ? 1 : 0;
  std::size_t lastSeparator = Text::npos;
  for (std::size_t i = start; i < icon.size() && icon[i] != u'|'; ++i)
    if (icon[i] == u'\\' || icon[i] == u'/') lastSeparator = i;
  if (lastSeparator == Text::npos) return Text();
  return Text(icon.substr(start, lastSeparator - start + 1));
}

}  // namespace

std::vector<HostileEntry> GenerateHostileCorpus(const CorpusOptions& options) {
  Random random(options.seed);
  std::vector<HostileEntry> corpus;
  corpus.reserve(options.entries);
  for (std::size_t i = 0; i < options.entries; ++i) corpus.push_back(RandomEntry(random, options, i));
  return corpus;
}

Text ReferenceValueText(const HostileEntry& entry, TextView valueName) {
  const HostileValue* value = nullptr;
  for (const auto& candidate : entry.values)
    if (SameValueName(candidate.name, valueName)) value = &candidate;
  if (value == nullptr || value->data.size() > 510) return Text();
  const auto& data = value->data;
  switch (value->type) {
    case 1:
    case 2: {
      Text text;
      for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        const auto unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (unit == 0) break;
        text.push_back(unit);
      }
      return text;
    }
    case 4: {
      if (data.size() > 4) return u"0";
      std::uint32_t number = 0;
      for (std::size_t i = 0; i < data.size(); ++i) number |= static_cast<std::uint32_t>(data[i]) << (8 * i);
      return Decimal(static_cast<std::int32_t>(number));
    }
    case 3: {
      constexpr char16_t kDigits[] = u"0123456789ABCDEF";
      Text text;
      for (std::uint8_t byte : data) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0xF]);
      }
      return text;
    }
    default:
      return Text();
  }
}

// Why this scanner reads "{(?i)(.*?)(?i)}" exactly (PCRE2, UTF mode, line feed as newline):
// the letter-case options change nothing for braces; a match must start with "{" and, "*?"
// being lazy, ends at the first "}" after it, the run between holding any character but a
// line feed ("." does not match it); a "{" that meets a line feed or the end first starts no
// match at all, and the search tries the next character. Matches are taken left to right from
// the end of the previous one, and none is empty. The subject is the UTF-8 of the name, always
// well-formed (unpaired surrogates become U+FFFD), so the search never refuses it; braces and
// line feeds are single bytes in UTF-8 and single units in UTF-16, so scanning the UTF-16
// units finds the same groups. fuzz/fuzz_product_code.cpp checks the same reading against
// PCRE2 itself.
Text ReferenceProductCode(TextView keyName) {
  // The name as UTF-8 would carry it back: unpaired surrogates become U+FFFD.
  Text name(keyName);
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char16_t c = name[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 && name[i + 1] <= 0xDFFF)
      ++i;
    else if (c >= 0xD800 && c <= 0xDFFF)
      name[i] = 0xFFFD;
  }
  std::size_t groups = 0;
  Text group;
  std::size_t pos = 0;
  while (pos < name.size()) {
    if (name[pos] != u'{') {
      ++pos;
      continue;
    }
    std::size_t close = pos + 1;
    while (close < name.size() && name[close] != u'}' && name[close] != u'\n') ++close;
    if (close < name.size() && name[close] == u'}') {
      ++groups;
      group = name.substr(pos, close - pos + 1);
      pos = close + 1;
    } else {
      ++pos;
    }
  }
  return groups == 1 ? group : Text(kPlaceholderText);
}

std::optional<ApplicationRecord> ReferenceRecord(const HostileEntry& entry, TextView machine) {
  const auto read = [&](const char16_t* name) { return ReferenceValueText(entry, name); };
  const auto orPlaceholder = [](Text text) { return text.empty() ? Text(kPlaceholderText) : text; };
  ApplicationRecord record;
  record.DisplayName = read(u"DisplayName");
  if (record.DisplayName.empty()) return std::nullopt;
  record.DisplayVersion = orPlaceholder(read(u"DisplayVersion"));
  record.InstallSource = orPlaceholder(read(u"InstallSource"));
  const Text date = read(u"InstallDate");
  record.InstallDate =
      date.empty() ? Text(kPlaceholderText) : Characters(date, 7, 8) + u"/" + Characters(date, 5, 6) + u"/" + Characters(date, 1, 4);
  record.UninstallString = read(u"UninstallString");
  if (record.UninstallString.empty() && !read(u"RegistryLocation").empty())
    record.UninstallString = read(u"UninstallCommand");
  record.InstallLocation = read(u"InstallLocation");
  if (record.InstallLocation.empty()) {
    const Text icon = read(u"DisplayIcon");
    record.InstallLocation = icon.empty() ? Text(kPlaceholderText) : IconFolderOf(icon);
  }
  record.ProductCode = ReferenceProductCode(entry.keyName);
  record.Machine = Text(machine);
  record.KeyName = entry.keyName;
  return record;
}

std::string Describe(const ApplicationRecord& record) {
  std::string out;
  for (const Text* field : {&record.DisplayName, &record.DisplayVersion, &record.InstallSource, &record.InstallDate,
                            &record.UninstallString, &record.InstallLocation, &record.ProductCode, &record.Machine,
                            &record.KeyName}) {
    if (!out.empty()) out += " | ";
    out += TextToUtf8(*field);
  }
  return out;
}

}  // namespace appcensus::hardening
