// Registry path resolution: a path is a root name, "\", the path below it.
//
// Properties: RootKeyOfPath gives 0 or one of the five predefined roots, and a root only for
// its own name, in any letter case; SubKeyOfPath is the text after the first "\" with at most
// one more leading "\" removed (the whole path when there is no "\"). Through the layer on a
// simulated machine, a key created under one spelling of its root is found under the upper-
// and lower-case spellings, a path with an unknown root reaches nothing, the local machine
// "." never connects, and every call closes every handle it opened.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "tests/support/memory_registry.h"
#include "registry/registry_layer.h"

namespace {

using namespace appcensus;

struct RootName {
  TextView name;
  RegKey handle;
};
constexpr RootName kRoots[] = {
    {u"HKEY_CLASSES_ROOT", kRootClassesRoot}, {u"HKEY_CURRENT_USER", kRootCurrentUser},
    {u"HKEY_LOCAL_MACHINE", kRootLocalMachine}, {u"HKEY_USERS", kRootUsers},
    {u"HKEY_CURRENT_CONFIG", kRootCurrentConfig},
};

// Whether `c` stands for the upper-case ASCII character `letter` once upper-cased: the
// character itself or its ASCII lower case; unless `asciiOnly`, also the two lower-case
// letters outside ASCII whose upper case is an ASCII letter (dotless i, long s).
bool SameLetter(char16_t c, char16_t letter, bool asciiOnly) {
  if (c == letter) return true;
  if (letter >= u'A' && letter <= u'Z' && c == letter + 32) return true;
  if (asciiOnly) return false;
  return (letter == u'I' && c == 0x0131) || (letter == u'S' && c == 0x017F);
}

bool SameName(TextView text, TextView name, bool asciiOnly) {
  if (text.size() != name.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (!SameLetter(text[i], name[i], asciiOnly)) return false;
  return true;
}

Text AsciiCase(TextView text, bool upper) {
  Text out(text);
  for (auto& c : out) {
    if (upper && c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    if (!upper && c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Text path = fuzz::UnitsOf(data, size);
  const std::size_t slash = path.find(u'\\');
  const TextView first = TextView(path).substr(0, slash);
  const TextView rest = slash == Text::npos ? TextView() : TextView(path).substr(slash);

  // Only the five names, in any letter case.
  const RegKey root = RootKeyOfPath(path);
  bool rootKnown = root == 0;
  for (const auto& known : kRoots) {
    if (SameName(first, known.name, true)) FUZZ_CHECK(root == known.handle);
    if (root == known.handle) {
      rootKnown = true;
      FUZZ_CHECK_TEXT(SameName(first, known.name, false), first, known.name);
    }
  }
  FUZZ_CHECK(rootKnown);
  // Only the first component counts, and not its letter case.
  FUZZ_CHECK(RootKeyOfPath(first) == root);
  const Text upperPath = AsciiCase(first, true) + Text(rest);
  const Text lowerPath = AsciiCase(first, false) + Text(rest);
  FUZZ_CHECK(RootKeyOfPath(upperPath) == root);
  FUZZ_CHECK(RootKeyOfPath(lowerPath) == root);

  // The path below the root.
  const Text sub = SubKeyOfPath(path);
  if (slash == Text::npos) {
    FUZZ_CHECK_TEXT(sub == path, sub, path);
  } else {
    const TextView after = TextView(path).substr(slash + 1);
    if (!after.empty() && after.front() == u'\\')
      FUZZ_CHECK_TEXT(after.substr(1) == sub, after, sub);
    else
      FUZZ_CHECK_TEXT(after == sub, after, sub);
  }
  if (slash != Text::npos) FUZZ_CHECK(SubKeyOfPath(upperPath) == sub);

  // Through the layer, on a simulated machine.
  MemoryRegistry registry;
  ScopedRegistryApi scoped(registry);
  const int created = CreateRegistryKey(path, u".");
  FUZZ_CHECK(created == 0 || created == 1);
  if (root == 0) {
    FUZZ_CHECK(created == 0);
    FUZZ_CHECK(RegistryKeyExists(path, u".") == 0);
    FUZZ_CHECK(WriteRegistryValue(path, u"V", u"x", 1, u".") == 0);
    FUZZ_CHECK(ReadRegistryValue(path, u"V", u".").empty());
  } else if (created == 1) {
    FUZZ_CHECK(RegistryKeyExists(path, u".") == 1);
    FUZZ_CHECK(RegistryKeyExists(upperPath, u".") == 1);
    FUZZ_CHECK(RegistryKeyExists(lowerPath, u".") == 1);
    FUZZ_CHECK(WriteRegistryValue(upperPath, u"V", path, 1, u".") == 1);
    const Text readBack = ReadRegistryValue(lowerPath, u"V", u".");
    // REG_SZ reads stop at the first NUL and hold at most 254 characters.
    const Text expected = path.size() <= 254 ? path.substr(0, path.find(u'\0')) : Text();
    FUZZ_CHECK_TEXT(readBack == expected, readBack, expected);
  }
  FUZZ_CHECK(registry.ConnectionCount() == 0);  // "." is the local registry
  // The empty machine name is a remote name: it connects (here to the local machine).
  FUZZ_CHECK(RegistryKeyExists(path, u"") == (root != 0 && created == 1 ? 1 : 0));
  FUZZ_CHECK(registry.ConnectionCount() == (root != 0 ? 1u : 0u));
  FUZZ_CHECK(registry.OpenHandleCount() == 0);
  return 0;
}
