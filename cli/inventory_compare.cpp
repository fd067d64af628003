#include "cli/inventory_compare.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "export/csv_format.h"

namespace appcensus::cli {

namespace {

// Keeps the fields in the order the program wrote them.
using Json = nlohmann::ordered_json;

enum class Change { Added, Removed, Changed };

const char* ChangeName(Change change) {
  switch (change) {
    case Change::Added: return "added";
    case Change::Removed: return "removed";
    default: return "changed";
  }
}

// The fields that make an entry's identity: between the two sides of one entry they can
// differ only in letter case, which is no change.
bool IsIdentityField(std::string_view name) {
  return name == "Machine" || name == "KeyName" || name == "Location" || name == "Sid";
}

Text LowerPath(const ApplicationRecord& record) { return LowerCase(EntryRegistryPath(record)); }

std::array<Text, 6> OrderOf(const ApplicationRecord& record) {
  const Text path = EntryRegistryPath(record);
  return {LowerCase(record.Machine), LowerCase(record.DisplayName), LowerCase(path),
          record.Machine,            record.DisplayName,            path};
}

// The field names of the tsv format, in its order.
const std::vector<std::string>& TsvNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> out;
    const std::string header = RecordOutput(OutputFormat::Tsv).Opening();
    for (std::size_t start = 0, end; start < header.size(); start = end + 1) {
      end = header.find_first_of("\t\r", start);
      out.push_back(header.substr(start, end - start));
      if (header[end] == '\r') break;
    }
    return out;
  }();
  return names;
}

std::string TsvOf(const Json& value) {
  if (value.is_null()) return {};
  if (value.is_string()) return TsvValue(Utf8ToText(value.get_ref<const std::string&>()));
  return value.dump();
}

// A text field of an object: its text when it is a string, else empty.
Text TextField(const Json& object, const char* name) {
  const auto found = object.find(name);
  return found != object.end() && found->is_string() ? Utf8ToText(found->get_ref<const std::string&>()) : Text();
}

// The record that an object of the json output was written from, as far as the object
// tells it (an absent value is the empty text); the reason when the object is no record.
std::optional<ApplicationRecord> RecordOf(const Json& object, std::string& why) {
  if (!object.is_object()) return why = "n'est pas un objet", std::nullopt;
  if (object.contains("Change")) return why = "est une diff\u00e9rence, pas un enregistrement", std::nullopt;
  ApplicationRecord record;
  for (const auto& field : kRecordFields) {
    const auto found = object.find(field.name);
    const bool needed = field.member == &ApplicationRecord::DisplayName || field.member == &ApplicationRecord::Machine ||
                        field.member == &ApplicationRecord::KeyName;
    if (found == object.end() ? needed : !found->is_string() && (needed || !found->is_null()))
      return why = std::string("n'a pas de champ ") + field.name + " correct", std::nullopt;
    record.*field.member = TextField(object, field.name);
  }
  const Text location = TextField(object, "Location"), sid = TextField(object, "Sid");
  if (location == u"machine32")
    record.UninstallKeyPath = kUninstallKeyPath32;
  else if (location == u"user" && !sid.empty())
    record.UninstallKeyPath = kUsersRootPath + sid + kUserUninstallSubKey;
  else if (location == u"package" && !sid.empty())
    record.UninstallKeyPath = kPackageUsersPath + (u"\\" + sid);
  else if (location == u"provisioned")
    record.UninstallKeyPath = kProvisionedPackagesPath;
  else if (location != u"machine")
    return why = "n'a pas de champs Location et Sid corrects", std::nullopt;
  if (record.Machine.empty() || record.KeyName.empty())
    return why = "n'a pas de champs Machine et KeyName corrects", std::nullopt;
  for (const auto& extra : kExtraValues) {
    const auto found = object.find(TextToUtf8(extra.valueName));
    if (found == object.end()) continue;
    if (found->is_boolean())
      record.Extras.*extra.member = found->get<bool>() ? u"1" : u"0";
    else if (found->is_number_unsigned())
      record.Extras.*extra.member = Utf8ToText(found->dump());
    else if (found->is_string())
      record.Extras.*extra.member = Utf8ToText(found->get_ref<const std::string&>());
  }
  return record;
}

// For a change, `names` and `previous` hold the names and earlier values of the fields that differ.
std::string LineOf(Change change, const ApplicationRecord& record, const Json& fields, OutputFormat format,
                   const Json* names = nullptr, const Json* previous = nullptr) {
  const std::string name = ChangeName(change);
  switch (format) {
    case OutputFormat::Csv:
      return name + ";" + TextToUtf8(CsvLine(record));
    case OutputFormat::Tsv: {
      std::string line = name;
      for (const std::string& field : TsvNames()) {
        const auto found = fields.find(field);
        line += "\t" + (found == fields.end() ? std::string() : TsvOf(*found));
      }
      return line;
    }
    case OutputFormat::Json: {
      Json object = {{"Change", name}};
      for (const auto& [key, value] : fields.items()) object[key] = value;
      if (names) object["Fields"] = *names;
      if (previous) object["Previous"] = *previous;
      return object.dump(-1, ' ', false, Json::error_handler_t::replace);
    }
  }
  return {};
}

}  // namespace

struct InventoryComparison::Earlier {
  struct Entry {
    ApplicationRecord record;
    Json fields;
  };
  // By machine, letter case ignored; each entry once.
  std::unordered_map<Text, std::vector<Entry>> machines;
};

InventoryComparison::InventoryComparison() : earlier_(std::make_unique<Earlier>()) {}
InventoryComparison::~InventoryComparison() = default;

std::unique_ptr<InventoryComparison> InventoryComparison::Read(std::string_view bytes, TextView computerName,
                                                               std::string& error) {
  Json document;
  try {
    document = Json::parse(bytes);
  } catch (const Json::parse_error& e) {
    error = "ce n'est pas du JSON (erreur \u00e0 l'octet " + std::to_string(e.byte) + ")";
    return nullptr;
  } catch (const Json::exception&) {
    error = "ce n'est pas du JSON";
    return nullptr;
  }
  if (!document.is_array()) {
    error = "ce n'est pas un tableau d'enregistrements";
    return nullptr;
  }
  std::unique_ptr<InventoryComparison> comparison(new InventoryComparison());
  std::unordered_set<Text> seen;
  for (std::size_t i = 0; i < document.size(); ++i) {
    std::string why;
    std::optional<ApplicationRecord> record = RecordOf(document[i], why);
    if (!record) {
      error = "l'\u00e9l\u00e9ment " + std::to_string(i + 1) + " du tableau " + why;
      return nullptr;
    }
    if (record->Machine == u".") record->Machine = Text(computerName);
    const Text machine = LowerCase(record->Machine);
    // The same machine under two spellings wrote its entries twice.
    if (!seen.insert(machine + u'\\' + LowerPath(*record)).second) continue;
    comparison->earlier_->machines[machine].push_back({std::move(*record), std::move(document[i])});
  }
  return comparison;
}

std::vector<Difference> InventoryComparison::Compare(TextView machine, const std::vector<ApplicationRecord>& records,
                                                     const EntryFilter& passes, OutputFormat format,
                                                     const AccountNames& accountNames) const {
  std::unordered_map<Text, const Earlier::Entry*> before;
  if (const auto group = earlier_->machines.find(LowerCase(machine)); group != earlier_->machines.end())
    for (const Earlier::Entry& entry : group->second)
      if (!passes || passes(entry.record)) before.emplace(LowerPath(entry.record), &entry);

  // The records now as the json format writes them: one object a line, since a line end
  // inside a value is escaped.
  const std::string written = RecordOutput(OutputFormat::Json, accountNames).Records(records);
  std::vector<Difference> differences;
  for (std::size_t i = 0, next = 0; i < records.size(); ++i) {
    const std::size_t start = std::min(written.find('{', next), written.size());
    next = std::min(written.find("\r\n", start), written.size());
    std::string_view text(written.data() + start, next - start);
    if (text.ends_with(',')) text.remove_suffix(1);
    const auto found = before.find(LowerPath(records[i]));
    // An entry written the same way then and now has not changed; any other is read back
    // (never with an exception: this runs on the thread that reports the machines).
    if (found != before.end() && found->second->fields.dump(-1, ' ', false, Json::error_handler_t::replace) == text) {
      before.erase(found);
      continue;
    }
    Json now = Json::parse(text, nullptr, false);
    if (!now.is_object()) now = Json::object();  // never: the program's own json
    if (found == before.end()) {
      differences.push_back({OrderOf(records[i]), LineOf(Change::Added, records[i], now, format)});
      continue;
    }
    const Json& earlier = found->second->fields;
    Json names = Json::array(), previous = Json::object();
    for (const auto& [name, value] : now.items()) {
      if (IsIdentityField(name)) continue;
      const auto was = earlier.find(name);
      const Json& old = was == earlier.end() ? Json() : *was;
      if (old == value) continue;
      names.push_back(name);
      previous[name] = old;
    }
    if (!names.empty())
      differences.push_back({OrderOf(records[i]), LineOf(Change::Changed, records[i], now, format, &names, &previous)});
    before.erase(found);
  }
  for (const auto& [path, entry] : before)
    differences.push_back({OrderOf(entry->record), LineOf(Change::Removed, entry->record, entry->fields, format)});
  return differences;
}

std::string DifferenceDocument(OutputFormat format, std::vector<Difference> differences) {
  std::ranges::stable_sort(differences, {}, &Difference::order);
  std::string out = format == OutputFormat::Json  ? "["
                    : format == OutputFormat::Tsv ? "Change\t" + RecordOutput(OutputFormat::Tsv).Opening()
                                                  : "Change;" + CsvDocument({});
  for (std::size_t i = 0; i < differences.size(); ++i) {
    if (format == OutputFormat::Json)
      out += (i == 0 ? "\r\n" : ",\r\n") + differences[i].line;
    else
      out += differences[i].line + "\r\n";
  }
  if (format == OutputFormat::Json) out += differences.empty() ? "]\r\n" : "\r\n]\r\n";
  return out;
}

}  // namespace appcensus::cli
