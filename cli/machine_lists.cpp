#include "cli/machine_lists.h"

#include "inventory/machine_test.h"

namespace appcensus::cli {

namespace {

// A list's bytes as text, by their byte-order mark; UTF-8 without one.
Text DecodeList(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return Utf8ToText(bytes.substr(3));
  const bool littleEndian = bytes.starts_with("\xFF\xFE");
  if (!littleEndian && !bytes.starts_with("\xFE\xFF")) return Utf8ToText(bytes);
  Text text;
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    text.push_back(static_cast<char16_t>(littleEndian ? second << 8 | first : first << 8 | second));
  }
  return text;
}

bool SeparatesNames(char16_t c) {
  return c == u';' || c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f';
}

}  // namespace

std::vector<Text> MachineListNames(std::string_view bytes) {
  std::vector<Text> names;
  Text name;
  bool inComment = false;
  for (const char16_t c : DecodeList(bytes) + u'\n') {
    if (c == u'\n' || c == u'\r') inComment = false;  // a list may end its lines with CR alone
    if (c == u'#') inComment = true;
    if (!inComment && !SeparatesNames(c)) {
      name += c;
    } else if (!name.empty()) {
      names.push_back(std::move(name));
      name.clear();
    }
  }
  return names;
}

void MachineList::Add(const Text& name) {
  const Text machine = MachineNameOf(name);
  const Text upper = UpperCase(machine);
  const bool local = machine == u"." || (!upperComputerName_.empty() && upper == upperComputerName_);
  if ((local && localAdded_) || !added_.insert(upper).second) return;
  localAdded_ = localAdded_ || local;
  names_.push_back(machine);
}

}  // namespace appcensus::cli
