// The names of installed packages (the applications that have no Uninstall key) and the rules
// that pick which of the packages listed for a user, or provisioned for every new user, give
// a record. Pure functions of their arguments.
#pragma once

#include <optional>
#include <vector>

#include "core/text.h"

namespace appcensus {

// What a package is, by its ResourceId: empty for a main package, "~" for a bundle, anything
// else for a resource package (a scale, a language).
enum class PackageKind { Main, Bundle, Resource };

// A full name "Name_Version_Architecture_ResourceId_PublisherId" split into its fields.
struct PackageName {
  Text FullName;
  Text Name;
  Text Version;
  Text Architecture;
  Text ResourceId;
  Text PublisherId;

  PackageKind Kind() const;
  // "Name_PublisherId"
  Text FamilyName() const;
};

// None unless the text splits at "_" into exactly five fields, the Name is made of letters,
// digits, "." and "-", and the Version, Architecture and PublisherId are not empty.
std::optional<PackageName> DecodePackageFullName(TextView fullName);

// The packages of one list (one user's, or the provisioned one) that give a record, in the
// order of their first listing: one per family (letter case ignored), none for a resource
// package; a family's main package wins over its bundle, and of two packages of the same
// kind the higher version (then the first listed). Names that do not decode are skipped.
std::vector<PackageName> PackagesOfList(const std::vector<Text>& fullNames);

// Upper-cased family names of packages, to tell whether a user has a provisioned family.
std::vector<Text> FamilyKeys(const std::vector<PackageName>& packages);
bool HasFamily(const std::vector<Text>& familyKeys, const PackageName& package);

// Whether a subkey name of the users' package lists is an account's security identifier
// ("S-1-5-21-…" for a local or domain account, "S-1-12-1-…" for a cloud one): the lists of
// the system's own identities and the store's other subkeys are not users' lists.
bool IsAccountSid(TextView name);

// The folder of a file path: the text before its last "\" or "/"; empty when it has none.
Text FolderOfPath(TextView path);

// Whether a DisplayName is an indirect string ("@{…}", "@file,-id"), which only the local
// machine can resolve.
bool IsIndirectString(TextView displayName);

}  // namespace appcensus
