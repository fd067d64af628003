// Move-only owners of the GDI and common-control handles the window keeps. Controls are
// never owned here: they are borrowed HWNDs that live as long as the window.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "core/unique_handle_win32.h"

namespace appcensus {

// A handle kind whose none is nullptr and which `kClose` closes.
template <class Object, bool (*kClose)(Object)>
struct ClosedBy {
  using Handle = Object;
  static Handle None() { return nullptr; }
  static bool Close(Handle handle) { return kClose(handle); }
};

inline bool DeleteGdiObject(HGDIOBJ object) { return DeleteObject(object) != 0; }
inline bool DeleteBitmapHandle(HBITMAP bitmap) { return DeleteGdiObject(bitmap); }
inline bool DeleteFontHandle(HFONT font) { return DeleteGdiObject(font); }
inline bool DestroyImageList(HIMAGELIST list) { return ImageList_Destroy(list) != 0; }
inline bool DestroyIconHandle(HICON icon) { return DestroyIcon(icon) != 0; }

using UniqueBitmap = UniqueHandle<ClosedBy<HBITMAP, DeleteBitmapHandle>>;
using UniqueFont = UniqueHandle<ClosedBy<HFONT, DeleteFontHandle>>;
using UniqueImageList = UniqueHandle<ClosedBy<HIMAGELIST, DestroyImageList>>;
using UniqueIcon = UniqueHandle<ClosedBy<HICON, DestroyIconHandle>>;

}  // namespace appcensus
