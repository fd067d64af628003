// The program's images: PNG resources decoded into 32-bit premultiplied-alpha DIB sections.
#pragma once

#include <windows.h>

#include "ui/png_image.h"

namespace appcensus {

// Decodes the fourteen icon resources of the program file, in their fixed order, and
// registers each bitmap under its name; an image that cannot be decoded registers 0. The
// bitmaps live until the process ends.
void LoadIcons();

// A top-down 32-bit DIB section holding the pixels as they are (blue, green, red, alpha);
// nullptr on failure.
HBITMAP CreateBgraBitmap(const RgbaImage& image);

// An icon for the same picture, for controls that draw icons with their transparency but
// bitmaps without it (image buttons). nullptr on failure; the caller destroys it.
HICON CreateIconFromPixels(const RgbaImage& straight);

// The decoded pixels (straight alpha) of a bitmap made by LoadIcons; nullptr for any other
// handle. The registered bitmap itself holds them premultiplied.
const RgbaImage* IconPixels(HBITMAP bitmap);

}  // namespace appcensus
