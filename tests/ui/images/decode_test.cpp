// Image files to premultiplied BGRA pixels: the pixel rule, the mask, the
// raster formats, SVG sizes and the PNG round trip. Platform-free.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include "ui/image_decode.h"
#include "ui/svg/svg.h"

namespace DuiLib {
namespace {

struct PixelCase {
  const char* what;
  std::uint8_t rgba[4];
  std::uint32_t mask;
  std::uint32_t expected;
  bool hasAlpha;
};

TEST(ImagePixels, PremultipliedBgraAndMask) {
  const PixelCase cases[] = {
      {"opaque copies", {10, 20, 30, 255}, 0, 0xFF0A141Eu, false},
      {"half alpha premultiplies, integer division", {255, 101, 3, 128}, 0, 0x80803201u, true},
      {"transparent becomes black", {255, 255, 255, 0}, 0, 0x00000000u, true},
      {"the mask colour vanishes", {255, 0, 255, 255}, 0xFFFF00FFu, 0x00000000u, true},
      {"other colours stay", {255, 0, 254, 255}, 0xFFFF00FFu, 0xFFFF00FEu, false},
      {"mask compares after premultiplying", {255, 0, 255, 128}, 0x80800080u, 0x00000000u, true},
  };
  for (const PixelCase& c : cases) {
    SCOPED_TRACE(c.what);
    DecodedImage image = PremultiplyRgba(c.rgba, 1, 1, c.mask);
    ASSERT_EQ(image.pixels.size(), 1u);
    EXPECT_EQ(image.pixels[0], c.expected);
    EXPECT_EQ(image.hasAlpha, c.hasAlpha);
  }
}

void Append(void* context, void* data, int size) {
  auto* out = static_cast<std::string*>(context);
  out->append(static_cast<const char*>(data), size);
}

// A 3 x 2 pattern with one half-transparent pixel.
const std::uint8_t kPattern[] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255,
                                 255, 255, 255, 255, 0, 0, 0, 255, 200, 100, 50, 128};

TEST(ImageFormats, PngBmpJpeg) {
  std::string pngBytes, bmpBytes, jpgBytes;
  ASSERT_TRUE(stbi_write_png_to_func(Append, &pngBytes, 3, 2, 4, kPattern, 12));
  ASSERT_TRUE(stbi_write_bmp_to_func(Append, &bmpBytes, 3, 2, 4, kPattern));
  ASSERT_TRUE(stbi_write_jpg_to_func(Append, &jpgBytes, 3, 2, 4, kPattern, 100));
  const DecodedImage expected = PremultiplyRgba(kPattern, 3, 2, 0);

  DecodedImage png, bmp, jpg;
  ASSERT_TRUE(DecodeRasterImage(reinterpret_cast<const unsigned char*>(pngBytes.data()), pngBytes.size(), 0, png));
  EXPECT_EQ(png.pixels, expected.pixels);
  EXPECT_TRUE(png.hasAlpha);
  ASSERT_TRUE(DecodeRasterImage(reinterpret_cast<const unsigned char*>(bmpBytes.data()), bmpBytes.size(), 0, bmp));
  EXPECT_EQ(bmp.pixels, expected.pixels);
  // JPEG keeps no alpha and is lossy: opaque and near the colours.
  ASSERT_TRUE(DecodeRasterImage(reinterpret_cast<const unsigned char*>(jpgBytes.data()), jpgBytes.size(), 0, jpg));
  ASSERT_EQ(jpg.width, 3);
  ASSERT_EQ(jpg.height, 2);
  EXPECT_FALSE(jpg.hasAlpha);
  EXPECT_EQ(jpg.pixels[0] >> 24, 255u);
  EXPECT_GT((jpg.pixels[0] >> 16) & 0xFF, 150u);  // red stays red

  DecodedImage none;
  const unsigned char garbage[] = "not an image at all";
  EXPECT_FALSE(DecodeRasterImage(garbage, sizeof garbage, 0, none));
  EXPECT_FALSE(DecodeRasterImage(nullptr, 0, 0, none));
}

const char kSvg[] =
    "<svg xmlns='http://www.w3.org/2000/svg' width='16.9' height='10' viewBox='0 0 16 10'>"
    "<circle cx='5' cy='5' r='4.3' fill='#1f7ae0' fill-opacity='0.7'/><rect x='10' y='1' width='5' height='8' "
    "fill='#e0571f'/></svg>";

TEST(ImageSvg, SizeFromTheIntegerDocumentSizeTimesTheScale) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(kSvg);
  struct Case {
    double scale;
    int width, height;
  } cases[] = {{1.0, 16, 10}, {1.25, 20, 12}, {1.5, 24, 15}, {1.75, 28, 17}, {2.0, 32, 20}};
  for (const Case& c : cases) {
    DecodedImage image;
    ASSERT_TRUE(DecodeSvgImage(bytes, sizeof kSvg - 1, c.scale, 0, image));
    EXPECT_EQ(image.width, c.width) << c.scale;
    EXPECT_EQ(image.height, c.height) << c.scale;
    EXPECT_TRUE(image.hasAlpha);
  }
  DecodedImage none;
  const unsigned char notSvg[] = "<html/>";
  EXPECT_FALSE(DecodeSvgImage(notSvg, sizeof notSvg - 1, 1.0, 0, none));
}

// The pixels we keep equal what encoding the rendering as PNG and decoding
// it again would give, so that round trip is left out.
TEST(ImageSvg, SameAsThePngRoundTrip) {
  auto document = kw::svg::Document::LoadFromData(kSvg, sizeof kSvg - 1);
  ASSERT_TRUE(document);
  for (double scale : {1.0, 1.25, 1.5, 1.75, 2.0}) {
    kw::svg::Bitmap bitmap = document->RenderScaled(scale);
    std::string png;
    ASSERT_TRUE(stbi_write_png_to_func(Append, &png, bitmap.width, bitmap.height, 4, bitmap.rgba.data(),
                                       bitmap.width * 4));
    int w = 0, h = 0, n = 0;
    stbi_uc* decoded = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(png.data()),
                                             static_cast<int>(png.size()), &w, &h, &n, 4);
    ASSERT_NE(decoded, nullptr);
    DecodedImage roundTrip = PremultiplyRgba(decoded, w, h, 0);
    stbi_image_free(decoded);
    DecodedImage direct;
    ASSERT_TRUE(DecodeSvgImage(reinterpret_cast<const unsigned char*>(kSvg), sizeof kSvg - 1, scale, 0, direct));
    EXPECT_EQ(direct.pixels, roundTrip.pixels) << scale;
  }
}

}  // namespace
}  // namespace DuiLib
