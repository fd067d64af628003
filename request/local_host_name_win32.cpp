#include <winsock2.h>
#include <windows.h>

#include "request/local_host_name.h"

namespace appcensus {

Text LocalHostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name) != 0) return Text();
  wchar_t wide[256] = {};
  const int length = MultiByteToWideChar(CP_ACP, 0, name, -1, wide, 256);
  return length > 1 ? Text(reinterpret_cast<const char16_t*>(wide), static_cast<std::size_t>(length - 1)) : Text();
}

}  // namespace appcensus
