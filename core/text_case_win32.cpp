// Letter case through the platform's mapping for the user's language.
#include <windows.h>

#include "core/win32_text.h"
#include "core/text.h"

namespace appcensus {

Text UpperCase(TextView text) {
  Text out(text);
  if (!out.empty()) CharUpperBuffW(WideBuffer(out), static_cast<DWORD>(out.size()));
  return out;
}

Text LowerCase(TextView text) {
  Text out(text);
  if (!out.empty()) CharLowerBuffW(WideBuffer(out), static_cast<DWORD>(out.size()));
  return out;
}

}  // namespace appcensus
