#include "inventory/package_names.h"

#include <algorithm>
#include <cstdint>

namespace appcensus {

namespace {

bool IsNameCharacter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'.' || c == u'-';
}

// Versions compared part by part as numbers ("10.0" after "9.1"); a part that is not a
// number counts as 0.
int CompareVersions(TextView a, TextView b) {
  const std::size_t parts = std::max(CountFields(a, u'.'), CountFields(b, u'.'));
  for (std::size_t i = 0; i < parts; ++i) {
    const std::int64_t left = static_cast<std::uint32_t>(LeadingNumber(NthField(a, u'.', i)));
    const std::int64_t right = static_cast<std::uint32_t>(LeadingNumber(NthField(b, u'.', i)));
    if (left != right) return left < right ? -1 : 1;
  }
  return 0;
}

}  // namespace

PackageKind PackageName::Kind() const {
  if (ResourceId.empty()) return PackageKind::Main;
  return ResourceId == u"~" ? PackageKind::Bundle : PackageKind::Resource;
}

Text PackageName::FamilyName() const { return Name + u"_" + PublisherId; }

std::optional<PackageName> DecodePackageFullName(TextView fullName) {
  if (CountFields(fullName, u'_') != 5) return std::nullopt;
  PackageName package{Text(fullName),          NthField(fullName, u'_', 0), NthField(fullName, u'_', 1),
                      NthField(fullName, u'_', 2), NthField(fullName, u'_', 3), NthField(fullName, u'_', 4)};
  if (package.Name.empty() || !std::ranges::all_of(package.Name, IsNameCharacter) || package.Version.empty() ||
      package.Architecture.empty() || package.PublisherId.empty())
    return std::nullopt;
  return package;
}

std::vector<PackageName> PackagesOfList(const std::vector<Text>& fullNames) {
  std::vector<PackageName> chosen;
  std::vector<Text> keys;  // chosen[i]'s upper-cased family
  for (const Text& fullName : fullNames) {
    const std::optional<PackageName> package = DecodePackageFullName(fullName);
    if (!package || package->Kind() == PackageKind::Resource) continue;
    const Text key = UpperCase(package->FamilyName());
    const auto found = std::ranges::find(keys, key);
    if (found == keys.end()) {
      keys.push_back(key);
      chosen.push_back(*package);
      continue;
    }
    PackageName& held = chosen[static_cast<std::size_t>(found - keys.begin())];
    const bool mainOverBundle = package->Kind() == PackageKind::Main && held.Kind() == PackageKind::Bundle;
    const bool higher = package->Kind() == held.Kind() && CompareVersions(package->Version, held.Version) > 0;
    if (mainOverBundle || higher) held = *package;
  }
  return chosen;
}

std::vector<Text> FamilyKeys(const std::vector<PackageName>& packages) {
  std::vector<Text> keys;
  for (const PackageName& package : packages) keys.push_back(UpperCase(package.FamilyName()));
  return keys;
}

bool HasFamily(const std::vector<Text>& familyKeys, const PackageName& package) {
  return std::ranges::find(familyKeys, UpperCase(package.FamilyName())) != familyKeys.end();
}

bool IsAccountSid(TextView name) {
  const Text upper = UpperCase(name);
  for (const TextView prefix : {TextView(u"S-1-5-21-"), TextView(u"S-1-12-1-")}) {
    if (!upper.starts_with(prefix)) continue;
    const TextView rest = TextView(upper).substr(prefix.size());
    for (std::size_t i = 0; i < CountFields(rest, u'-'); ++i) {
      const Text part = NthField(rest, u'-', i);
      if (part.empty() || !std::ranges::all_of(part, [](char16_t c) { return c >= u'0' && c <= u'9'; })) return false;
    }
    return true;
  }
  return false;
}

Text FolderOfPath(TextView path) {
  const std::size_t last = path.find_last_of(u"\\/");
  return last == TextView::npos ? Text() : Text(path.substr(0, last));
}

bool IsIndirectString(TextView displayName) { return displayName.starts_with(u'@'); }

}  // namespace appcensus
