// PNG decoding (libpng) into 8-bit RGBA pixels, and the pixel work that turns them into
// the images the window shows: premultiplied alpha, and a half-size copy for 16-pixel lists.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace appcensus {

struct RgbaImage {
  int width = 0;
  int height = 0;
  int sourceColourType = -1;        // PNG colour type of the file (6 RGBA, 4 grey + alpha...)
  int sourceBitDepth = 0;
  std::vector<std::uint8_t> pixels;  // rows top to bottom, 4 bytes R G B A per pixel
};

// Any PNG is expanded to 8-bit RGBA; nothing on malformed or truncated data.
std::optional<RgbaImage> DecodePng(std::span<const std::uint8_t> data);

// Multiplies each colour channel by its alpha (rounded), as alpha blending expects.
void PremultiplyAlpha(RgbaImage& image);

// Box-filters an image of even size down to half its width and height; give it premultiplied
// pixels, so that transparent pixels lend no colour to their neighbours.
RgbaImage HalveImage(const RgbaImage& image);

}  // namespace appcensus
