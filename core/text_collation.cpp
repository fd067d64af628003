// Collation without the platform: base letters of Latin-1 and Latin Extended-A, then accents.
#include "core/text_collation.h"

#include <algorithm>

namespace appcensus {

namespace {

// The lower-case base letter of U+00C0 to U+017F (a letter without one stands for itself).
constexpr char16_t kBaseLetters[] =
    u"aaaaaaaceeeeiiiidnooooo×ouuuuyþsaaaaaaaceeeeiiiidnooooo÷ouuuuyþy"
    u"aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiiiiijjkkklllllll"
    u"lllnnnnnnnnnoooooooorrrrrrssssssssttttttuuuuuuuuuuuuwwyyyzzzzzzs";

char16_t BaseLetter(char16_t lower) {
  return lower >= 0xC0 && lower < 0x180 ? kBaseLetters[lower - 0xC0] : lower;
}

int Sign(char16_t a, char16_t b) { return a < b ? -1 : 1; }

}  // namespace

int CollateIgnoringCase(TextView a, TextView b) {
  const Text lowerA = LowerCase(a), lowerB = LowerCase(b);
  const std::size_t common = std::min(lowerA.size(), lowerB.size());
  for (std::size_t i = 0; i < common; ++i)
    if (BaseLetter(lowerA[i]) != BaseLetter(lowerB[i])) return Sign(BaseLetter(lowerA[i]), BaseLetter(lowerB[i]));
  if (lowerA.size() != lowerB.size()) return lowerA.size() < lowerB.size() ? -1 : 1;
  for (std::size_t i = 0; i < common; ++i)
    if (lowerA[i] != lowerB[i]) return Sign(lowerA[i], lowerB[i]);
  return 0;
}

}  // namespace appcensus
