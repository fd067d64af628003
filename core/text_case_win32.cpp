// Letter case through the platform's mapping for the user's language.
#include <windows.h>

#include "core/text.h"

namespace appcensus {

Text UpperCase(TextView text) {
  Text out(text);
  if (!out.empty()) CharUpperBuffW(reinterpret_cast<LPWSTR>(out.data()), static_cast<DWORD>(out.size()));
  return out;
}

Text LowerCase(TextView text) {
  Text out(text);
  if (!out.empty()) CharLowerBuffW(reinterpret_cast<LPWSTR>(out.data()), static_cast<DWORD>(out.size()));
  return out;
}

}  // namespace appcensus
