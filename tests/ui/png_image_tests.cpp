#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "core/text.h"
#include "ui/image_names.h"
#include "ui/png_image.h"

namespace appcensus {
namespace {

std::vector<std::uint8_t> ReadIcon(const std::u16string& name) {
  const std::string path = std::string(APPCENSUS_ICON_DIR) + "/" + TextToUtf8(name) + ".png";
  std::ifstream file(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

const std::uint8_t* Pixel(const RgbaImage& image, int x, int y) {
  return image.pixels.data() + (static_cast<std::size_t>(y) * image.width + x) * 4;
}

TEST(IconFilesTest, EveryIconDecodesWithItsSizeColourTypeAndTransparentCorners) {
  for (const IconImage& icon : kIcons) {
    SCOPED_TRACE(TextToUtf8(icon.name));
    const auto image = DecodePng(ReadIcon(icon.name));
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->width, icon.size);
    EXPECT_EQ(image->height, icon.size);
    EXPECT_EQ(image->sourceBitDepth, 8);
    EXPECT_EQ(image->sourceColourType, icon.grey ? 4 : 6);  // grey + alpha, or RGBA
    ASSERT_EQ(image->pixels.size(), static_cast<std::size_t>(icon.size * icon.size * 4));
    // A transparent background, and a picture that covers a good part of the square.
    int opaque = 0;
    for (int i = 0; i < icon.size * icon.size; ++i) opaque += image->pixels[i * 4 + 3] == 255;
    EXPECT_GT(opaque, icon.size * icon.size / 3);
    const int last = icon.size - 1;
    int transparentCorners = 0;
    for (auto [x, y] : {std::pair{0, 0}, {last, 0}, {0, last}, {last, last}}) transparentCorners += Pixel(*image, x, y)[3] < 128;
    EXPECT_GE(transparentCorners, 3);
  }
}

TEST(IconFilesTest, StatusIconsShowTheirColour) {
  // The centre-left pixel of each disc: green for done, blue for in progress, red for error.
  for (const auto& [name, channel] : {std::pair{u"ICO_ActionTermine", 1}, {u"ICO_ActionEnCours", 2}, {u"ICO_ActionErreur", 0}}) {
    SCOPED_TRACE(TextToUtf8(name));
    const auto image = DecodePng(ReadIcon(name));
    ASSERT_TRUE(image.has_value());
    const std::uint8_t* p = Pixel(*image, 2, 8);
    for (int other : {(channel + 1) % 3, (channel + 2) % 3}) EXPECT_GT(p[channel], p[other] + 40);
  }
}

TEST(PngDecoderTest, DamagedDataIsRefused) {
  const auto good = ReadIcon(u"ICO_Rechercher");
  ASSERT_TRUE(DecodePng(good).has_value());
  std::vector<std::uint8_t> flipped = good;
  flipped[flipped.size() / 2] ^= 0xFF;  // inside the image data: the chunk's CRC no longer fits
  std::vector<std::uint8_t> badSignature = good;
  badSignature[3] = 'X';
  const std::vector<std::uint8_t> damaged[] = {
      {}, std::vector<std::uint8_t>(200, 0x5A), {good.begin(), good.begin() + good.size() / 2}, flipped, badSignature};
  for (const auto& data : damaged) EXPECT_FALSE(DecodePng(data).has_value()) << data.size() << " bytes";
}

TEST(PngPixelsTest, PremultiplyAndHalve) {
  RgbaImage image{.width = 2, .height = 2, .pixels = {200, 100, 50, 255,  200, 100, 50, 128,  255, 255, 255, 0,  0, 0, 0, 0}};
  PremultiplyAlpha(image);  // 200 * 128 / 255 rounded is 100; fully transparent leaves no colour
  EXPECT_EQ(image.pixels, (std::vector<std::uint8_t>{200, 100, 50, 255,  100, 50, 25, 128,  0, 0, 0, 0,  0, 0, 0, 0}));
  const RgbaImage half = HalveImage(image);  // the mean of the four, rounded
  EXPECT_EQ(half.width, 1);
  EXPECT_EQ(half.pixels, (std::vector<std::uint8_t>{(200 + 100 + 2) / 4, (100 + 50 + 2) / 4, (50 + 25 + 2) / 4, (255 + 128 + 2) / 4}));
}

}  // namespace
}  // namespace appcensus
