#include "core/win32_text.h"
#include "ui/icons_win32.h"

#include <map>
#include <mutex>
#include <vector>

#include "ui/handles_win32.h"
#include "ui/image_names.h"
#include "ui/named_ids.h"

namespace appcensus {

namespace {

struct LoadedIcons {
  std::mutex mutex;
  std::vector<UniqueBitmap> bitmaps;  // kept until the process ends
  std::map<HBITMAP, RgbaImage> pixels;
};

LoadedIcons& TheIcons() {
  static LoadedIcons icons;
  return icons;
}

std::span<const std::uint8_t> ResourceBytes(const wchar_t* name) {
  HRSRC found = FindResourceW(nullptr, name, MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!found) return {};
  HGLOBAL loaded = LoadResource(nullptr, found);  // module resources need no freeing
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return {};
  return {static_cast<const std::uint8_t*>(data), SizeofResource(nullptr, found)};
}

}  // namespace

HBITMAP CreateBgraBitmap(const RgbaImage& image) {
  if (image.width <= 0 || image.height <= 0) return nullptr;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = image.width;
  info.bmiHeader.biHeight = -image.height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap || !bits) return nullptr;
  auto* out = static_cast<std::uint8_t*>(bits);
  for (std::size_t i = 0; i + 3 < image.pixels.size(); i += 4) {
    out[i + 0] = image.pixels[i + 2];  // DIBs store blue, green, red, alpha
    out[i + 1] = image.pixels[i + 1];
    out[i + 2] = image.pixels[i + 0];
    out[i + 3] = image.pixels[i + 3];
  }
  GdiFlush();
  return bitmap;
}

HICON CreateIconFromPixels(const RgbaImage& straight) {
  UniqueBitmap colour(CreateBgraBitmap(straight));
  // The mask is all zeros: the alpha channel alone decides what shows.
  const std::vector<std::uint8_t> zeros(static_cast<std::size_t>((straight.width + 15) / 16 * 2) * straight.height, 0);
  UniqueBitmap mask(CreateBitmap(straight.width, straight.height, 1, 1, zeros.data()));
  if (!colour || !mask) return nullptr;
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmColor = colour.get();
  info.hbmMask = mask.get();
  return CreateIconIndirect(&info);  // copies both bitmaps
}

void LoadIcons() {
  LoadedIcons& icons = TheIcons();
  for (const IconImage& icon : kIcons) {
    const auto* name = Wide(icon.name);
    HBITMAP bitmap = nullptr;
    if (auto image = DecodePng(ResourceBytes(name))) {
      RgbaImage premultiplied = *image;
      PremultiplyAlpha(premultiplied);
      bitmap = CreateBgraBitmap(premultiplied);
      if (bitmap) {
        std::lock_guard lock(icons.mutex);
        icons.bitmaps.emplace_back(bitmap);
        icons.pixels.emplace(bitmap, std::move(*image));
      }
    }
    RegisterNamedId(icon.name, 0, reinterpret_cast<NamedValue>(bitmap), u"");
  }
}

const RgbaImage* IconPixels(HBITMAP bitmap) {
  LoadedIcons& icons = TheIcons();
  std::lock_guard lock(icons.mutex);
  const auto it = icons.pixels.find(bitmap);
  return it == icons.pixels.end() ? nullptr : &it->second;
}

}  // namespace appcensus
