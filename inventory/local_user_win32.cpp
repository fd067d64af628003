#include <windows.h>
#include <sddl.h>
#include <shlwapi.h>

#include <memory>
#include <vector>

#include "inventory/local_user.h"
#include "core/win32_text.h"
#include "core/unique_handle_win32.h"

namespace appcensus {

namespace {

Text ProcessUserSid() {
  HANDLE opened = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return Text();
  const UniqueKernelHandle token(opened);
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return Text();
  std::vector<std::uint8_t> buffer(size);
  if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return Text();
  LPWSTR text = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) return Text();
  const Text sid(reinterpret_cast<const char16_t*>(text));
  LocalFree(text);
  return sid;
}

std::optional<Text> ShellIndirectString(TextView indirect) {
  const Text source(indirect);
  wchar_t out[1024];
  if (FAILED(SHLoadIndirectString(Wide(source), out, ARRAYSIZE(out), nullptr)) ||
      out[0] == L'\0')
    return std::nullopt;
  return Text(reinterpret_cast<const char16_t*>(out));
}

}  // namespace

LocalUser PlatformLocalUser() { return {&ProcessUserSid, &ShellIndirectString}; }

}  // namespace appcensus
