// The program's images: PNG resources decoded into 32-bit premultiplied-alpha DIB sections.
#pragma once

#include <windows.h>

#include "ui/png_image.h"

namespace appcensus {

// Decodes the fourteen icon resources of the program file, in their fixed order, and
// registers each bitmap under its name; an image that cannot be decoded registers 0. The
// bitmaps live until the process ends.
void LoadIcons();

// A top-down 32-bit DIB section holding premultiplied pixels; nullptr on failure.
HBITMAP CreatePremultipliedBitmap(const RgbaImage& premultiplied);

// The premultiplied pixels of a bitmap made by LoadIcons; nullptr for any other handle.
const RgbaImage* IconPixels(HBITMAP bitmap);

}  // namespace appcensus
