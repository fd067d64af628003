#include "cli/record_output.h"

#include "export/csv_format.h"
#include "inventory/package_names.h"

namespace appcensus::cli {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

}  // namespace

const char* LocationName(EntryLocation location) {
  switch (location) {
    case EntryLocation::Machine32: return "machine32";
    case EntryLocation::User: return "user";
    case EntryLocation::Package: return "package";
    case EntryLocation::Provisioned: return "provisioned";
    default: return "machine";
  }
}

std::optional<std::uint64_t> ExtraNumber(TextView text) {
  if (text.empty() || text.size() > 20) return std::nullopt;
  std::uint64_t value = 0;
  for (const char16_t c : text) {
    const auto digit = static_cast<std::uint64_t>(c - u'0');
    if (c < u'0' || c > u'9' || value > (UINT64_MAX - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

std::optional<bool> IsUpdate(const EntryExtras& extras) {
  if (!extras.ParentKeyName.empty()) return true;
  if (extras.ReleaseType.empty()) return std::nullopt;
  const Text type = LowerCase(extras.ReleaseType);
  return type == u"update" || type == u"hotfix" || type == u"security update";
}

bool ShownByWindows(const ApplicationRecord& record) {
  return ExtraNumber(record.Extras.SystemComponent).value_or(0) == 0 && !IsUpdate(record.Extras).value_or(false) &&
         !record.UninstallString.empty();
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

std::vector<RecordOutput::Field> RecordOutput::FieldsOf(const ApplicationRecord& record) {
  std::vector<Field> fields;
  const auto text = [&](std::string name, TextView value, std::uint8_t absentBit = 0) {
    if (value.empty() || (record.Absent & absentBit) != 0)
      fields.push_back({std::move(name), "null", ""});
    else
      fields.push_back({std::move(name), JsonString(value), TsvValue(value)});
  };
  const auto literal = [&](std::string name, std::optional<std::string> value) {
    fields.push_back({std::move(name), value.value_or("null"), value.value_or("")});
  };
  const auto flag = [](std::optional<bool> value) -> std::optional<std::string> {
    if (!value) return std::nullopt;
    return *value ? "true" : "false";
  };
  for (const auto& field : kRecordFields) text(field.name, record.*field.member, AbsentBit(field.member));
  const EntryLocation location = LocationOf(record.UninstallKeyPath);
  text("Location", Utf8ToText(LocationName(location)));
  const Text sid = UserSidOf(record.UninstallKeyPath);
  text("Sid", sid);
  text("User", sid.empty() || !accountNames_ ? Text() : accountNames_(record.Machine, sid));
  // A package's identity comes from its full name; its Publisher is not held as text.
  std::optional<PackageName> package;
  if (location == EntryLocation::Package || location == EntryLocation::Provisioned)
    package = DecodePackageFullName(record.KeyName);
  text("PackageFullName", package ? package->FullName : Text());
  text("PackageFamilyName", package ? package->FamilyName() : Text());
  text("Architecture", package ? package->Architecture : Text());
  for (const auto& extra : kExtraValues) {
    const Text& value = record.Extras.*extra.member;
    const std::optional<std::uint64_t> number = ExtraNumber(value);
    if (extra.member == &EntryExtras::EstimatedSize)
      literal("EstimatedSize", number ? std::optional(std::to_string(*number)) : std::nullopt);
    else if (extra.number)
      literal(TextToUtf8(extra.valueName), flag(number ? std::optional(*number != 0) : std::nullopt));
    else
      text(TextToUtf8(extra.valueName), value);
  }
  literal("Update", flag(IsUpdate(record.Extras)));
  return fields;
}

std::string RecordOutput::Opening() {
  switch (format_) {
    case OutputFormat::Csv:
      return CsvDocument({});
    case OutputFormat::Json:
      return "[";
    case OutputFormat::Tsv: {
      std::string line;
      for (const Field& field : FieldsOf(ApplicationRecord{})) line += field.name + "\t";
      line.back() = '\r';
      return line + "\n";
    }
  }
  return {};
}

std::string RecordOutput::Records(const std::vector<ApplicationRecord>& records) {
  if (format_ == OutputFormat::Csv) {
    // The export's document of these records, less its header line.
    return CsvDocument(records).substr(CsvDocument({}).size());
  }
  std::string out;
  for (const auto& record : records) {
    const bool tsv = format_ == OutputFormat::Tsv;
    std::string line = tsv ? "" : anyRecord_ ? ",\r\n{" : "\r\n{";
    const std::vector<Field> fields = FieldsOf(record);
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (i > 0) line += tsv ? "\t" : ",";
      line += tsv ? fields[i].tsv : "\"" + fields[i].name + "\":" + fields[i].json;
    }
    out += line + (tsv ? "\r\n" : "}");
    anyRecord_ = true;
  }
  return out;
}

std::string RecordOutput::Closing() {
  if (format_ != OutputFormat::Json) return {};
  return anyRecord_ ? "\r\n]\r\n" : "]\r\n";
}

}  // namespace appcensus::cli
