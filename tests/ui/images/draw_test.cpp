// Loaded images onto a 32-bit surface: copies, stretches, per-pixel and
// constant alpha through AlphaBlend, nine-grid with a hole, the paint area.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "ui/image_draw.h"
#include "ui/image_loader.h"
#include "ui/offscreen_surface.h"
#include "ui/system_libraries.h"

namespace DuiLib {
namespace {

std::unique_ptr<ImageEntry> Solid(int w, int h, std::uint32_t bgra) {
  DecodedImage image;
  image.width = w;
  image.height = h;
  image.pixels.assign(static_cast<std::size_t>(w) * h, bgra);
  image.hasAlpha = (bgra >> 24) != 255;
  return CreateImageEntry(image, false);
}

struct Surface {
  COffscreenSurface surface;
  Surface(int w, int h, std::uint32_t fill) {
    EXPECT_TRUE(surface.Create(nullptr, w, h));
    for (int i = 0; i < w * h; ++i) surface.Pixels()[i] = fill;
  }
  std::uint32_t At(int x, int y) const {
    GdiFlush();
    return surface.Row(y)[x];
  }
};

int Channel(std::uint32_t v, int shift) { return (v >> shift) & 0xFF; }

void ExpectNear(std::uint32_t actual, std::uint32_t expected, const char* what) {
  for (int shift : {0, 8, 16, 24}) {
    EXPECT_LE(std::abs(Channel(actual, shift) - Channel(expected, shift)), 1)
        << what << ": " << std::hex << actual << " against " << expected;
  }
}

ImageDrawParams Params(ImageRect dest, ImageRect source, bool alpha = false) {
  ImageDrawParams p;
  p.dest = dest;
  p.paint = {0, 0, 1000, 1000};
  p.source = source;
  p.alphaBlend = alpha;
  return p;
}

TEST(ImageDraw, BlendFunctionFromTheSystemFolder) {
  ASSERT_TRUE(HasAlphaBlend());
  wchar_t path[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameW(GetModuleHandleW(L"msimg32.dll"), path, MAX_PATH), 0u);
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  EXPECT_EQ(_wcsnicmp(path, system, wcslen(system)), 0) << path;
}

TEST(ImageDraw, OpaqueCopyAndStretch) {
  auto green = Solid(8, 8, 0xFF0A780A);
  Surface s(32, 16, 0);
  ASSERT_TRUE(DrawImageEntry(s.surface.Dc(), *green, Params({4, 4, 12, 12}, {0, 0, 8, 8})));
  EXPECT_EQ(s.At(4, 4), 0xFF0A780Au);
  EXPECT_EQ(s.At(11, 11), 0xFF0A780Au);
  EXPECT_EQ(s.At(3, 4), 0u);
  EXPECT_EQ(s.At(12, 11), 0u);
  // Stretched to twice the width.
  ASSERT_TRUE(DrawImageEntry(s.surface.Dc(), *green, Params({14, 0, 30, 8}, {0, 0, 8, 8})));
  EXPECT_EQ(s.At(14, 0), 0xFF0A780Au);
  EXPECT_EQ(s.At(29, 7), 0xFF0A780Au);
  EXPECT_EQ(s.At(30, 7), 0u);
}

TEST(ImageDraw, PerPixelAndConstantAlpha) {
  struct Case {
    const char* what;
    std::uint32_t image, background;
    BYTE fade;
    bool alpha;
    std::uint32_t expected;
  } cases[] = {
      {"half red over white", 0x80800000, 0xFFFFFFFF, 255, true, 0xFFFF7F7F},
      {"half red over transparent", 0x80800000, 0x00000000, 255, true, 0x80800000},
      {"opaque green faded to half over black", 0xFF00C800, 0xFF000000, 128, false, 0xFF006400},
      {"transparent pixels leave the background", 0x00000000, 0xFF123456, 255, true, 0xFF123456},
  };
  for (const Case& c : cases) {
    auto image = Solid(4, 4, c.image);
    Surface s(4, 4, c.background);
    ImageDrawParams p = Params({0, 0, 4, 4}, {0, 0, 4, 4}, c.alpha);
    p.fade = c.fade;
    ASSERT_TRUE(DrawImageEntry(s.surface.Dc(), *image, p));
    ExpectNear(s.At(2, 2), c.expected, c.what);
  }
}

TEST(ImageDraw, NineGridHoleAndPaintArea) {
  auto blue = Solid(12, 12, 0xFF0000FF);
  Surface s(40, 30, 0xFF000000);
  ImageDrawParams p = Params({0, 0, 40, 30}, {0, 0, 12, 12});
  p.layout.corner = {4, 4, 4, 4};
  p.layout.hole = true;
  ASSERT_TRUE(DrawImageEntry(s.surface.Dc(), *blue, p));
  EXPECT_EQ(s.At(0, 0), 0xFF0000FFu);    // corner
  EXPECT_EQ(s.At(20, 2), 0xFF0000FFu);   // top edge, stretched
  EXPECT_EQ(s.At(38, 15), 0xFF0000FFu);  // right edge
  EXPECT_EQ(s.At(20, 15), 0xFF000000u);  // the hole

  // Only copies that touch the paint area are made.
  Surface t(40, 30, 0xFF000000);
  ImageDrawParams q = Params({0, 0, 40, 30}, {0, 0, 12, 12});
  q.layout.corner = {4, 4, 4, 4};
  q.paint = {0, 0, 4, 4};
  ASSERT_TRUE(DrawImageEntry(t.surface.Dc(), *blue, q));
  EXPECT_EQ(t.At(0, 0), 0xFF0000FFu);
  EXPECT_EQ(t.At(38, 28), 0xFF000000u);
}

}  // namespace
}  // namespace DuiLib
