#include "ui/png_image.h"

#include <png.h>

#include <cstring>

namespace appcensus {

namespace {

struct ReadCursor {
  std::span<const std::uint8_t> data;
  std::size_t offset = 0;
};

void ReadFromCursor(png_structp png, png_bytep out, png_size_t length) {
  auto* cursor = static_cast<ReadCursor*>(png_get_io_ptr(png));
  if (cursor->data.size() - cursor->offset < length) png_error(png, "truncated");
  std::memcpy(out, cursor->data.data() + cursor->offset, length);
  cursor->offset += length;
}

void IgnoreWarning(png_structp, png_const_charp) {}

// A damaged image is reported by the result alone; nothing is printed.
[[noreturn]] void QuietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// libpng reports errors by longjmp; this function's frame holds no object with a destructor
// and no local that changes after setjmp, so a jump skips nothing and leaks nothing.
bool DecodeInto(std::span<const std::uint8_t> data, RgbaImage& image) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, IgnoreWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  ReadCursor cursor{data, 0};
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &cursor, ReadFromCursor);
  png_read_info(png, info);
  image.width = static_cast<int>(png_get_image_width(png, info));
  image.height = static_cast<int>(png_get_image_height(png, info));
  image.sourceColourType = png_get_color_type(png, info);
  image.sourceBitDepth = png_get_bit_depth(png, info);

  // Expand everything to 8-bit RGBA.
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<png_size_t>(image.width) * 4) png_error(png, "layout");

  image.pixels.assign(static_cast<std::size_t>(image.width) * image.height * 4, 0);
  for (int pass = 0; pass < passes; ++pass)
    for (int y = 0; y < image.height; ++y)
      png_read_row(png, image.pixels.data() + static_cast<std::size_t>(y) * image.width * 4, nullptr);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

}  // namespace

std::optional<RgbaImage> DecodePng(std::span<const std::uint8_t> data) {
  if (data.size() < 8 || png_sig_cmp(data.data(), 0, 8) != 0) return std::nullopt;
  RgbaImage image;
  if (!DecodeInto(data, image)) return std::nullopt;
  return image;
}

void PremultiplyAlpha(RgbaImage& image) {
  for (std::size_t i = 0; i + 3 < image.pixels.size(); i += 4) {
    const unsigned alpha = image.pixels[i + 3];
    for (int c = 0; c < 3; ++c) image.pixels[i + c] = static_cast<std::uint8_t>((image.pixels[i + c] * alpha + 127) / 255);
  }
}

RgbaImage HalveImage(const RgbaImage& image) {
  RgbaImage half;
  half.width = image.width / 2;
  half.height = image.height / 2;
  half.sourceColourType = image.sourceColourType;
  half.sourceBitDepth = image.sourceBitDepth;
  half.pixels.resize(static_cast<std::size_t>(half.width) * half.height * 4);
  for (int y = 0; y < half.height; ++y) {
    for (int x = 0; x < half.width; ++x) {
      for (int c = 0; c < 4; ++c) {
        unsigned sum = 0;
        for (int dy = 0; dy < 2; ++dy)
          for (int dx = 0; dx < 2; ++dx)
            sum += image.pixels[(static_cast<std::size_t>(2 * y + dy) * image.width + (2 * x + dx)) * 4 + c];
        half.pixels[(static_cast<std::size_t>(y) * half.width + x) * 4 + c] = static_cast<std::uint8_t>((sum + 2) / 4);
      }
    }
  }
  return half;
}

}  // namespace appcensus
