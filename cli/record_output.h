// The records of the console program as bytes on its output, in one of three formats. The
// output is built piece by piece, machine after machine: an opening, the records of each
// machine, a closing; the pieces joined make one document.
#pragma once

#include <array>
#include <functional>
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

// Where a record's entry was installed, as json and tsv name it: "machine", "machine32", "user".
const char* LocationName(EntryLocation location);

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
  // tsv: one line per record. Json and tsv add to the nine fields the entry's Location, and
  // for a user's installation its Sid and, when it resolves, its User (null or empty
  // otherwise). Every line ends with CR LF.
  std::string Records(const std::vector<ApplicationRecord>& records);
  // json: "]" (an empty array when no record came); nothing for the others.
  std::string Closing();

 private:
  // The values of Location, Sid and User; a Sid or User that does not apply is empty.
  std::array<Text, 3> WhereValues(const ApplicationRecord& record);

  OutputFormat format_;
  AccountNames accountNames_;
  bool anyRecord_ = false;
};

}  // namespace appcensus::cli
