// Descriptors and images through a window's paint manager: DPI variants
// from the archive, the 125 % sprite, pair order, and how often anything is
// parsed or decoded over repeated repaints.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "image_skin.h"
#include "framework_fixture.h"
#include "test_host.h"
#include "ui/button.h"
#include "ui/container.h"
#include "ui/control_factory.h"
#include "ui/dialog_builder.h"
#include "ui/image_prefetch.h"
#include "ui/image_types.h"
#include "ui/label.h"
#include "ui/option.h"
#include "ui/progress.h"

namespace DuiLib {
namespace {

std::uint32_t Rgb(std::uint32_t pixel) { return pixel & 0xFFFFFF; }

// A white window holding these controls, as the skin would write them.
std::wstring Root(std::wstring_view children) {
  kwtest::UseImageSkin();
  return L"<Window><Container bkcolor=\"#FFFFFFFF\">" + std::wstring(children) + L"</Container></Window>";
}

bool HasImage(CPaintManagerUI& m, std::wstring_view name) {
  return m.WindowImageCaches().images.count(std::wstring(name)) != 0 ||
         CPaintManagerUI::SharedImageCaches().images.count(std::wstring(name)) != 0;
}

TEST(ImageCache, FactoryMakesTheBasicControls) {
  for (const wchar_t* name : {L"CLabelUI", L"CButtonUI", L"COptionUI", L"CCheckBoxUI", L"CProgressUI"}) {
    CControlUI* control = CControlFactory::Instance().CreateControl(name);
    ASSERT_NE(control, nullptr) << name;
    EXPECT_EQ(L"C" + std::wstring(control->GetClassName()), name);
    delete control;
  }
}

struct VariantCase {
  int dpi;
  const wchar_t* loaded;
  std::uint32_t colour;
};

TEST(ImageCache, RasterVariantByScale) {
  const VariantCase cases[] = {{96, L"Image/BkViewInit.png", 0xC82828},
                               {144, L"Image/BkViewInit@150.png", 0x2828C8},
                               {192, L"Image/BkViewInit@200.png", 0x28C8C8}};
  for (const VariantCase& c : cases) {
    kwtest::TestHost host(Root(L"<Label float=\"true\" pos=\"0,0,100,40\" bkimage=\"Image/BkViewInit.png\"/>"), 200,
                          100, c.dpi);
    CPaintManagerUI& m = host.Manager();
    EXPECT_TRUE(HasImage(m, c.loaded)) << c.dpi;
    EXPECT_EQ(Rgb(host.Pixel(m.Scale(50), m.Scale(20))), c.colour) << c.dpi;
    if (c.dpi == 96) {
      for (const auto& [name, image] : m.WindowImageCaches().images) EXPECT_EQ(name.find(L'@'), std::wstring::npos);
    }
  }
}

TEST(ImageCache, SpriteAt125RendersLargerAndDrawsItsCell) {
  kwtest::TestHost host(Root(L"<Button float=\"true\" pos=\"0,0,216,36\" "
                             L"normalimage=\"file='Image/BtnInstall.svg' source='0,0,216,38'\"/>"),
                        400, 100, 120);
  CPaintManagerUI& m = host.Manager();
  const ImageEntry* sprite = m.GetImage(L"Image/BtnInstall@125.svg");
  ASSERT_NE(sprite, nullptr);
  EXPECT_EQ(sprite->width, 1080);
  EXPECT_EQ(sprite->height, 45);
  const ImageDescriptor* d = m.GetDrawInfo(L"file='Image/BtnInstall.svg' source='0,0,216,38'", L"");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->source, (IntRect{0, 0, 270, 48}));
  EXPECT_EQ(ImageSource(d->source, sprite->width, sprite->height), (IntRect{0, 0, 270, 45}));
  // The button is 270 x 45 now and shows the first cell pixel for pixel
  // (opaque pixels are copied unchanged; the rest is blended over white).
  host.Paint();
  int compared = 0;
  for (int y = 0; y < 45; ++y) {
    for (int x = 0; x < 270; ++x) {
      const std::uint32_t image = sprite->bits[y * 1080 + x];
      if ((image >> 24) != 255) continue;
      ++compared;
      ASSERT_EQ(Rgb(host.Pixel(x, y)), Rgb(image)) << x << "," << y;
    }
  }
  EXPECT_GT(compared, 270 * 45 / 2);
  EXPECT_EQ(Rgb(host.Pixel(275, 20)), 0xFFFFFFu);  // the second cell is not drawn
}

TEST(ImageCache, PairOrderMakesTwoEntriesAndOneDrawing) {
  kwtest::TestHost host(
      Root(L"<Label float=\"true\" pos=\"0,0,28,28\" bkimage=\"file='Image/CheckLicence.svg' source='28,0,42,14'\"/>"
           L"<Label float=\"true\" pos=\"40,0,68,28\" bkimage=\"source='28,0,42,14' file='Image/CheckLicence.svg'\"/>"),
      100, 40, 144);
  CPaintManagerUI& m = host.Manager();
  EXPECT_EQ(m.WindowImageCaches().descriptors.count(L"file='Image/CheckLicence.svg' source='28,0,42,14'"), 1u);
  EXPECT_EQ(m.WindowImageCaches().descriptors.count(L"source='28,0,42,14' file='Image/CheckLicence.svg'"), 1u);
  EXPECT_EQ(m.WindowImageCaches().images.count(L"Image/CheckLicence@150.svg"), 1u);
  int differing = 0, coloured = 0;
  for (int y = 0; y < m.Scale(28); ++y) {
    for (int x = 0; x < m.Scale(28); ++x) {
      differing += host.Pixel(x, y) != host.Pixel(x + m.Scale(40), y);
      coloured += Rgb(host.Pixel(x, y)) != 0xFFFFFF;
    }
  }
  EXPECT_EQ(differing, 0);
  EXPECT_GT(coloured, 100);
}

TEST(ImageCache, EachDescriptorParsedOnceAndEachImageDecodedOncePerScale) {
  const wchar_t* children =
      L"<Label float=\"true\" pos=\"0,0,100,40\" bkimage=\"Image/BkViewInit.png\"/>"
      L"<Label float=\"true\" pos=\"100,0,200,40\" bkimage=\"Image/BkViewInit.png\"/>"
      L"<Button float=\"true\" pos=\"0,50,216,86\" normalimage=\"file='Image/BtnInstall.svg' source='0,0,216,36'\" "
      L"hotimage=\"file='Image/BtnInstall.svg' source='216,0,432,36'\"/>"
      L"<Option float=\"true\" pos=\"0,90,14,104\" normalimage=\"file='Image/CheckLicence.svg' source='0,0,14,14'\" "
      L"selectedimage=\"file='Image/CheckLicence.svg' source='28,0,42,14'\" selected=\"true\"/>"
      L"<Label float=\"true\" pos=\"20,90,36,106\" bkimage=\"Image/Icon.svg\"/>"
      L"<Progress float=\"true\" pos=\"0,110,200,126\" bkimage=\"Image/ProgressBk.png\" "
      L"foreimage=\"Image/ProgressFore.png\" value=\"30\"/>"
      L"<Label float=\"true\" pos=\"0,130,20,150\" bkimage=\"Image/Redodi.png\"/>";
  kwtest::TestHost host(Root(children), 300, 160);
  CPaintManagerUI& m = host.Manager();
  ImageCaches& caches = m.WindowImageCaches();
  const std::size_t parsed = caches.descriptorsParsed, loaded = caches.imagesLoaded;
  EXPECT_EQ(caches.loadsFailed, 1u);  // Image/Redodi.png is not in the skin
  for (int i = 0; i < 10; ++i) host.Paint();
  EXPECT_EQ(caches.loadsFailed, 1u);  // and is not looked for again
  // Descriptors: the background (one text for two labels), two button
  // states drawn (normal), the option's selected image, the icon, the
  // progress background and fore with its modifier, the missing image.
  EXPECT_EQ(caches.descriptorsParsed, parsed);
  EXPECT_EQ(caches.imagesLoaded, loaded);
  std::printf("100 %%: %zu descriptors parsed, %zu images decoded, after 11 paints\n", caches.descriptorsParsed,
              caches.imagesLoaded);
  EXPECT_EQ(caches.descriptors.size(), caches.descriptorsParsed);
  EXPECT_EQ(caches.descriptorsParsed, 7u);
  EXPECT_EQ(caches.imagesLoaded, 6u);  // BkViewInit, BtnInstall, CheckLicence, Icon, ProgressBk, ProgressFore

  // A new scale parses and decodes everything once more, then again never.
  m.SetDPI(144);
  host.Paint();
  const std::size_t parsed150 = caches.descriptorsParsed, loaded150 = caches.imagesLoaded;
  for (int i = 0; i < 10; ++i) host.Paint();
  EXPECT_EQ(caches.descriptorsParsed, parsed150);
  EXPECT_EQ(caches.imagesLoaded, loaded150);
  EXPECT_EQ(loaded150 - loaded, 6u);
  EXPECT_EQ(parsed150 - parsed, parsed);
  EXPECT_EQ(caches.loadsFailed, 2u);
  std::printf("150 %%: %zu more descriptors parsed, %zu more images decoded, after 11 paints\n", parsed150 - parsed,
              loaded150 - loaded);
  EXPECT_TRUE(HasImage(m, L"Image/BkViewInit@150.png"));
  EXPECT_TRUE(HasImage(m, L"Image/BtnInstall@150.svg"));
}

TEST(ImageCache, DestFromTheRightEdge) {
  kwtest::TestHost host(Root(L"<Label float=\"true\" pos=\"0,0,200,40\" "
                             L"bkimage=\"file='Image/Plain.png' dest='-30,5,-10,25'\"/>"),
                        200, 40);
  EXPECT_EQ(Rgb(host.Pixel(175, 15)), 0x0A780Au);
  EXPECT_EQ(Rgb(host.Pixel(165, 15)), 0xFFFFFFu);
  EXPECT_EQ(Rgb(host.Pixel(195, 15)), 0xFFFFFFu);
  EXPECT_EQ(Rgb(host.Pixel(10, 15)), 0xFFFFFFu);
}

TEST(ImageCache, AWindowsFirstViewImagesAreDecodedWhileItIsMade) {
  kwtest::UseImageSkin();
  // The page shown and the autodpi window's monitor scale (96 here) decide;
  // the hidden page's image is loaded only when it shows.
  kwui::TestWindow window(
      L"<Window size=\"200,100\" autodpi=\"true\"><TabLayout name=\"tabs\">"
      L"<Container><Label float=\"true\" pos=\"0,0,100,40\" bkimage=\"Image/BkViewInit.png\"/>"
      L"<Button float=\"true\" pos=\"0,50,216,86\" normalimage=\"file='Image/BtnInstall.svg' source='0,0,216,38'\"/>"
      L"</Container><Label bkimage=\"Image/Icon.svg\"/></TabLayout></Window>");
  // Made and shown, not yet painted (nothing pumped): the prefetch runs.
  ASSERT_NE(window.Create(nullptr, L"KW Framework Test", 0x96C80000, WS_EX_WINDOWEDGE), nullptr);
  SetWindowPos(window.GetHWND(), nullptr, 120, 120, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ASSERT_NE(window.Manager().ImagePrefetch(), nullptr);
  // However slow this machine, both are decoded before the first paint asks.
  window.Manager().ImagePrefetch()->WaitUntilDecoded();
  ASSERT_TRUE(kwui::PumpUntil([&] { return window.Manager().ImagePrefetch() == nullptr; }));  // gone after the first frame
  kwui::Pump(100);
  const ImageCaches& caches = window.Manager().WindowImageCaches();
  EXPECT_EQ(caches.imagesPrefetched, 2u);
  EXPECT_EQ(caches.imagesLoaded, 2u);
  EXPECT_TRUE(HasImage(window.Manager(), L"Image/BkViewInit.png"));
  EXPECT_TRUE(HasImage(window.Manager(), L"Image/BtnInstall.svg"));
  // What the screen shows is the decoded image (the 96-DPI file is red).
  const RECT r = window.WindowRect();
  const std::vector<unsigned> pixel = kwui::Screenshot(RECT{r.left + 50, r.top + 20, r.left + 51, r.top + 21});
  ASSERT_EQ(pixel.size(), 1u);
  EXPECT_EQ(Rgb(pixel[0]), 0xC82828u);

  auto* tabs = static_cast<CTabLayoutUI*>(window.Find(L"tabs"));
  ASSERT_NE(tabs, nullptr);
  tabs->SelectItem(1);
  kwui::Pump(200);
  EXPECT_TRUE(HasImage(window.Manager(), L"Image/Icon.svg"));
  EXPECT_EQ(caches.imagesLoaded, 3u);
  EXPECT_EQ(caches.imagesPrefetched, 2u);
}

}  // namespace
}  // namespace DuiLib
