// Small helpers over the registered controls, for the window thread.
#pragma once

#include <windows.h>

#include <string>

#include "core/text.h"
#include "ui/gadget_names.h"
#include "ui/named_ids.h"
#include "core/win32_text.h"

namespace appcensus {

// The control registered under `name` (a constant of gadget_names.h); nullptr when none.
inline HWND Gadget(const char16_t* name) { return reinterpret_cast<HWND>(NamedId(name, 0)); }


inline Text WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(hwnd, buffer.data(), length + 1);
  return Text(reinterpret_cast<const char16_t*>(buffer.data()), static_cast<std::size_t>(copied > 0 ? copied : 0));
}

inline void SetWindowTextTo(HWND hwnd, TextView text) { SetWindowTextW(hwnd, Wide(Text(text))); }

}  // namespace appcensus
