// Skin images by name into 32-bit bitmaps: from the skin archive (DPI
// variants, SVG at the scale in the name), typed resources, the mask and the
// HSL copy; missing or undecodable files load as nothing.
#include <gtest/gtest.h>

#include "image_skin.h"
#include "ui/image_loader.h"

namespace DuiLib {
namespace {

TEST(ImageLoad, FromTheSkinArchiveByName) {
  kwtest::UseImageSkin();
  struct Case {
    const wchar_t* name;
    int width, height;
  } cases[] = {
      {L"Image/BkViewInit.png", 100, 40},
      {L"Image/BkViewInit@150.png", 150, 60},
      {L"image\\bkviewinit@125.PNG", 125, 50},  // '\' and case as the archive allows
      {L"Image/BtnInstall.svg", 864, 36},
      {L"Image/BtnInstall@125.svg", 1080, 45},
      {L"Image/BtnInstall@150.svg", 1296, 54},
      {L"Image/Icon@175.svg", 28, 28},
  };
  for (const Case& c : cases) {
    auto image = LoadSkinImage(c.name, L"", 0);
    ASSERT_TRUE(image) << c.name;
    EXPECT_EQ(image->width, c.width) << c.name;
    EXPECT_EQ(image->height, c.height) << c.name;
    ASSERT_TRUE(image->bitmap);
    BITMAP info{};
    ASSERT_EQ(GetObjectW(image->bitmap.Get(), sizeof info, &info), static_cast<int>(sizeof info));
    EXPECT_EQ(info.bmBitsPixel, 32);
    EXPECT_EQ(info.bmWidth, c.width);
  }
  // Missing, empty, undecodable: no image, no error.
  for (const wchar_t* name : {L"Image/Redodi.png", L"Image/Empty.png", L"Image/Broken.svg", L"Image/"}) {
    EXPECT_FALSE(LoadSkinImage(name, L"", 0)) << name;
  }
  // A typed name is a resource id of this module; none of that type here.
  EXPECT_FALSE(LoadSkinImage(L"101", L"PNG", 0));
  EXPECT_FALSE(LoadSkinImage(L"Image/Plain.png", L"PNG", 0));
}

TEST(ImageLoad, MaskAndHslCopy) {
  kwtest::UseImageSkin();
  auto masked = LoadSkinImage(L"Image/Masked.png", L"", 0xFFFF00FF, true);
  ASSERT_TRUE(masked);
  EXPECT_TRUE(masked->hasAlpha);
  EXPECT_EQ(masked->bits[0], 0u);            // magenta cut out
  EXPECT_EQ(masked->bits[3], 0xFF0000FFu);   // blue stays
  EXPECT_EQ(masked->mask, 0xFFFF00FFu);
  ASSERT_EQ(masked->hslCopy.size(), 16u);
  EXPECT_EQ(masked->hslCopy[3], 0xFF0000FFu);
  auto plain = LoadSkinImage(L"Image/Masked.png", L"", 0);
  ASSERT_TRUE(plain);
  EXPECT_FALSE(plain->hasAlpha);
  EXPECT_EQ(plain->bits[0], 0xFFFF00FFu);
  EXPECT_TRUE(plain->hslCopy.empty());
}

}  // namespace
}  // namespace DuiLib
