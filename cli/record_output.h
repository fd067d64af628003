// The records of the console program as bytes on its output, in one of three formats. The
// output is built piece by piece, machine after machine: an opening, the records of each
// machine, a closing; the pieces joined make one document.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "core/application_record.h"

namespace appcensus::cli {

// The nine fields of a record, in the record's order, with their names.
struct RecordField {
  const char* name;
  Text ApplicationRecord::*member;
};
inline constexpr std::array<RecordField, 9> kRecordFields = {{
    {"DisplayName", &ApplicationRecord::DisplayName},
    {"DisplayVersion", &ApplicationRecord::DisplayVersion},
    {"InstallSource", &ApplicationRecord::InstallSource},
    {"InstallDate", &ApplicationRecord::InstallDate},
    {"UninstallString", &ApplicationRecord::UninstallString},
    {"InstallLocation", &ApplicationRecord::InstallLocation},
    {"ProductCode", &ApplicationRecord::ProductCode},
    {"Machine", &ApplicationRecord::Machine},
    {"KeyName", &ApplicationRecord::KeyName},
}};

// A JSON string, quotes included, as UTF-8: quote, backslash and the control characters
// escaped (\b \f \n \r \t, others \u00XX); an unpaired surrogate becomes U+FFFD, as in the
// other formats.
std::string JsonString(TextView text);

// A TSV value: backslash, tab, CR and LF written \\ \t \r \n; the rest unchanged (UTF-8).
std::string TsvValue(TextView text);

// Where a record's entry was installed, as json and tsv name it: "machine", "machine32", "user",
// "package" (a user's package), "provisioned".
const char* LocationName(EntryLocation location);

// The number of an extra's text (EntryExtras); none when the value is absent or not a
// whole number.
std::optional<std::uint64_t> ExtraNumber(TextView text);
// Whether an entry updates another product: it names its parent product (ParentKeyName) or
// its ReleaseType is "Update", "Hotfix" or "Security Update" (letter case ignored); none
// when it has neither value.
std::optional<bool> IsUpdate(const EntryExtras& extras);
// Whether the Windows list of installed applications shows the entry: not a system
// component (SystemComponent nonzero, the json's true), not an update, and with an
// uninstall command.
bool ShownByWindows(const ApplicationRecord& record);

// The account name ("DOMAIN\user") of a security identifier on a machine; empty when it
// cannot be resolved.
using AccountNames = std::function<Text(TextView machine, TextView sid)>;

class RecordOutput {
 public:
  explicit RecordOutput(OutputFormat format, AccountNames accountNames = nullptr)
      : format_(format), accountNames_(std::move(accountNames)) {}

  // csv: the export's header line; tsv: the field names; json: "[".
  std::string Opening();
  // csv: the export's lines of these records, byte for byte; json: one object per line;
  // tsv: one line per record. Every line ends with CR LF. Json and tsv give, after the nine
  // fields, the entry's Location, for a user's installation or package its Sid and, when it
  // resolves, its User, for a package its PackageFullName, PackageFamilyName and
  // Architecture, then the extras: Publisher, EstimatedSize (a number), SystemComponent (a
  // flag), ParentKeyName, ReleaseType, WindowsInstaller (a flag), QuietUninstallString,
  // DisplayIcon and the flag Update (IsUpdate). An absent value (empty, or noted in the
  // record's Absent) is null in json and an empty field in tsv; tsv writes a flag true or
  // false.
  std::string Records(const std::vector<ApplicationRecord>& records);
  // json: "]" (an empty array when no record came); nothing for the others.
  std::string Closing();

 private:
  struct Field {
    std::string name;
    std::string json;  // a json value
    std::string tsv;
  };
  std::vector<Field> FieldsOf(const ApplicationRecord& record);

  OutputFormat format_;
  AccountNames accountNames_;
  bool anyRecord_ = false;
};

}  // namespace appcensus::cli
