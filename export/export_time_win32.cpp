#include <windows.h>

#include "export/export_file_name.h"

namespace appcensus {

LocalDateTime CurrentLocalDateTime() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return LocalDateTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

}  // namespace appcensus
