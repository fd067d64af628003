#include "json_reader.h"

namespace appcensus::testing {

namespace {

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  std::optional<std::vector<JsonObject>> Records() {
    std::vector<JsonObject> records;
    Blanks();
    if (!Take('[')) return std::nullopt;
    Blanks();
    if (!Take(']')) {
      do {
        Blanks();
        auto object = Object();
        if (!object) return std::nullopt;
        records.push_back(std::move(*object));
        Blanks();
      } while (Take(','));
      if (!Take(']')) return std::nullopt;
    }
    Blanks();
    if (at_ != text_.size()) return std::nullopt;
    return records;
  }

 private:
  std::optional<JsonObject> Object() {
    JsonObject object;
    if (!Take('{')) return std::nullopt;
    Blanks();
    if (Take('}')) return object;
    do {
      Blanks();
      auto name = String();
      Blanks();
      if (!name || !Take(':')) return std::nullopt;
      Blanks();
      auto value = String();
      if (!value) return std::nullopt;
      if (!object.emplace(TextToUtf8(*name), std::move(*value)).second) return std::nullopt;  // duplicate name
      Blanks();
    } while (Take(','));
    if (!Take('}')) return std::nullopt;
    return object;
  }

  std::optional<Text> String() {
    if (!Take('"')) return std::nullopt;
    Text out;
    while (at_ < text_.size()) {
      const auto c = static_cast<unsigned char>(text_[at_]);
      if (c == '"') {
        ++at_;
        return out;
      }
      if (c < 0x20) return std::nullopt;
      if (c == '\\') {
        if (++at_ >= text_.size()) return std::nullopt;
        const char e = text_[at_++];
        switch (e) {
          case '"': out += u'"'; break;
          case '\\': out += u'\\'; break;
          case '/': out += u'/'; break;
          case 'b': out += u'\b'; break;
          case 'f': out += u'\f'; break;
          case 'n': out += u'\n'; break;
          case 'r': out += u'\r'; break;
          case 't': out += u'\t'; break;
          case 'u': {
            auto unit = Hex4();
            if (!unit) return std::nullopt;
            out += static_cast<char16_t>(*unit);
            break;
          }
          default: return std::nullopt;
        }
        continue;
      }
      auto code = Utf8Character();
      if (!code) return std::nullopt;
      if (*code >= 0x10000) {
        out += static_cast<char16_t>(0xD800 + ((*code - 0x10000) >> 10));
        out += static_cast<char16_t>(0xDC00 + ((*code - 0x10000) & 0x3FF));
      } else {
        out += static_cast<char16_t>(*code);
      }
    }
    return std::nullopt;
  }

  std::optional<unsigned> Hex4() {
    if (at_ + 4 > text_.size()) return std::nullopt;
    unsigned value = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[at_++];
      value <<= 4;
      if (c >= '0' && c <= '9') value |= static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f') value |= static_cast<unsigned>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') value |= static_cast<unsigned>(c - 'A' + 10);
      else return std::nullopt;
    }
    return value;
  }

  // One well-formed UTF-8 sequence: shortest form, no surrogate, at most U+10FFFF.
  std::optional<char32_t> Utf8Character() {
    const auto lead = static_cast<unsigned char>(text_[at_++]);
    int extra = 0;
    char32_t code = 0;
    if (lead < 0x80) return lead;
    if (lead >= 0xC2 && lead <= 0xDF) extra = 1, code = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF) extra = 2, code = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4) extra = 3, code = lead & 0x07;
    else return std::nullopt;
    for (int i = 0; i < extra; ++i) {
      if (at_ >= text_.size()) return std::nullopt;
      const auto next = static_cast<unsigned char>(text_[at_++]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      code = (code << 6) | (next & 0x3F);
    }
    if ((extra == 2 && code < 0x800) || (extra == 3 && (code < 0x10000 || code > 0x10FFFF))) return std::nullopt;
    if (code >= 0xD800 && code <= 0xDFFF) return std::nullopt;
    return code;
  }

  void Blanks() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r' || text_[at_] == '\n'))
      ++at_;
  }
  bool Take(char c) {
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace

std::optional<std::vector<JsonObject>> ReadJsonRecords(std::string_view json) { return Reader(json).Records(); }

}  // namespace appcensus::testing
