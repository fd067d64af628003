// The export file's text: the header, one line per application, UTF-8 bytes.
#pragma once

#include <string>
#include <vector>

#include "core/application_record.h"
#include "core/text.h"

namespace appcensus {

inline constexpr char16_t kCsvSeparator = u';';
inline constexpr char16_t kCsvHeader[] =
    u"Nom application;Version de l'application;Code produit;Date d'installation;"
    u"Source d'installation;R\u00e9pertoire d'installation;Commande de d\u00e9sintallation;"
    u"Emplacement dans la base de registre;Nom de machine";
inline constexpr std::size_t kCsvFieldCount = 9;

// One value as a field: a value beginning with "=", "+", "-", "@", a tab or a carriage
// return gets a leading apostrophe; a value holding ";", a double quote, CR or LF is then quoted with its
// quotes doubled. Any other value is written unchanged.
Text CsvField(TextView value);

// The nine fields of a record in the header's order, joined by ";" (no line end).
Text CsvLine(const ApplicationRecord& record);

// Header and one line per record, each followed by CR LF, as UTF-8 without byte-order mark.
std::string CsvDocument(const std::vector<ApplicationRecord>& records);

}  // namespace appcensus
