#include "cli/record_output.h"

#include "export/csv_format.h"

namespace appcensus::cli {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr const char* kWhereFields[3] = {"Location", "Sid", "User"};

}  // namespace

const char* LocationName(EntryLocation location) {
  switch (location) {
    case EntryLocation::Machine32: return "machine32";
    case EntryLocation::User: return "user";
    default: return "machine";
  }
}

std::array<Text, 3> RecordOutput::WhereValues(const ApplicationRecord& record) {
  const std::string location = LocationName(LocationOf(record.UninstallKeyPath));
  const Text sid = UserSidOf(record.UninstallKeyPath);
  const Text user = sid.empty() || !accountNames_ ? Text() : accountNames_(record.Machine, sid);
  return {Text(location.begin(), location.end()), sid, user};
}

std::string JsonString(TextView text) {
  std::string out = "\"";
  // Escapes are ASCII, so the UTF-8 form can be escaped byte by byte.
  for (char c : TextToUtf8(text)) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (byte < 0x20) {
          out += "\\u00";
          out += kHexDigits[byte >> 4];
          out += kHexDigits[byte & 0xF];
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

std::string TsvValue(TextView text) {
  std::string out;
  for (char c : TextToUtf8(text)) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default: out += c;
    }
  }
  return out;
}

std::string RecordOutput::Opening() {
  switch (format_) {
    case OutputFormat::Csv:
      return CsvDocument({});
    case OutputFormat::Json:
      return "[";
    case OutputFormat::Tsv: {
      std::string line;
      for (const auto& field : kRecordFields) {
        if (!line.empty()) line += '\t';
        line += field.name;
      }
      for (const char* name : kWhereFields) line += std::string("\t") + name;
      return line + "\r\n";
    }
  }
  return {};
}

std::string RecordOutput::Records(const std::vector<ApplicationRecord>& records) {
  std::string out;
  switch (format_) {
    case OutputFormat::Csv:
      // The export's document of these records, less its header line.
      out = CsvDocument(records).substr(CsvDocument({}).size());
      break;
    case OutputFormat::Json:
      for (const auto& record : records) {
        out += anyRecord_ ? ",\r\n" : "\r\n";
        anyRecord_ = true;
        out += '{';
        bool first = true;
        for (const auto& field : kRecordFields) {
          if (!first) out += ',';
          first = false;
          out += '"';
          out += field.name;
          out += "\":";
          out += JsonString(record.*field.member);
        }
        const std::array<Text, 3> where = WhereValues(record);
        for (std::size_t i = 0; i < where.size(); ++i)
          out += std::string(",\"") + kWhereFields[i] + "\":" + (i > 0 && where[i].empty() ? "null" : JsonString(where[i]));
        out += '}';
      }
      break;
    case OutputFormat::Tsv:
      for (const auto& record : records) {
        bool first = true;
        for (const auto& field : kRecordFields) {
          if (!first) out += '\t';
          first = false;
          out += TsvValue(record.*field.member);
        }
        for (const Text& value : WhereValues(record)) out += '\t' + TsvValue(value);
        out += "\r\n";
      }
      break;
  }
  return out;
}

std::string RecordOutput::Closing() {
  if (format_ != OutputFormat::Json) return {};
  return anyRecord_ ? "\r\n]\r\n" : "]\r\n";
}

}  // namespace appcensus::cli
