#include "tests/support/csv_reader.h"

namespace appcensus {

namespace {

class CsvParser {
 public:
  explicit CsvParser(TextView text) : text_(text) {}

  std::optional<std::vector<CsvFields>> Records() {
    std::vector<CsvFields> records;
    while (pos_ < text_.size()) {
      CsvFields fields;
      if (!Record(fields)) return std::nullopt;
      records.push_back(std::move(fields));
    }
    return records;
  }

 private:
  // One record up to and including its CR LF.
  bool Record(CsvFields& fields) {
    for (;;) {
      Text field;
      if (!Field(field)) return false;
      fields.push_back(std::move(field));
      if (pos_ >= text_.size()) return false;
      if (text_[pos_] == u';') {
        ++pos_;
        continue;
      }
      if (text_[pos_] == u'\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == u'\n') {
        pos_ += 2;
        return true;
      }
      return false;  // a lone CR or LF, or text after a closing quote
    }
  }

  bool Field(Text& field) {
    if (pos_ < text_.size() && text_[pos_] == u'"') return QuotedField(field);
    while (pos_ < text_.size()) {
      const char16_t c = text_[pos_];
      if (c == u';' || c == u'\r' || c == u'\n') break;
      if (c == u'"') return false;
      field.push_back(c);
      ++pos_;
    }
    return true;
  }

  bool QuotedField(Text& field) {
    ++pos_;  // opening quote
    while (pos_ < text_.size()) {
      const char16_t c = text_[pos_++];
      if (c != u'"') {
        field.push_back(c);
      } else if (pos_ < text_.size() && text_[pos_] == u'"') {
        field.push_back(u'"');
        ++pos_;
      } else {
        return true;
      }
    }
    return false;  // quote never closed
  }

  TextView text_;
  std::size_t pos_ = 0;
};

}  // namespace

std::optional<std::vector<CsvFields>> ReadCsvDocument(std::string_view utf8) {
  const Text text = Utf8ToText(utf8);
  return CsvParser(text).Records();
}

std::optional<CsvFields> ReadCsvLine(TextView line) {
  const Text text = Text(line) + u"\r\n";
  auto records = CsvParser(text).Records();
  if (!records || records->size() != 1) return std::nullopt;
  return std::move(records->front());
}

}  // namespace appcensus
