// Image descriptors: pair syntax, key order, DPI variants, scaled and
// per-scale rectangles, the SVG render scale in a file name.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "ui/image_descriptor.h"

namespace DuiLib {
namespace {

// A skin whose archive holds only these raster variants.
DescriptorContext Window(int percent, std::set<std::wstring> present = {}) {
  DescriptorContext c;
  c.scalePercent = percent;
  c.variantExists = [present](const std::wstring& name) { return present.count(name) != 0; };
  return c;
}

const std::set<std::wstring> kArchive = {L"Image/BkViewInit@125.png", L"Image/BkViewInit@150.png",
                                         L"Image/BkViewInit@175.png", L"Image/BkViewInit@200.png"};

TEST(ImageDescriptorPairs, QuotesBlanksAndRepeats) {
  auto pairs = SplitDescriptorPairs(L"  file='a b.png'  source=\"1,2,3,4\" fade='128' fade='64' ");
  ASSERT_EQ(pairs.size(), 3u);
  EXPECT_EQ(pairs[L"file"], L"a b.png");
  EXPECT_EQ(pairs[L"source"], L"1,2,3,4");
  EXPECT_EQ(pairs[L"fade"], L"64");  // the last one wins
  EXPECT_TRUE(SplitDescriptorPairs(L"Image/BkViewInit.png").empty());
  // An unterminated quote or an unquoted value ends the list.
  EXPECT_TRUE(SplitDescriptorPairs(L"file='x.png").empty());
  EXPECT_EQ(SplitDescriptorPairs(L"fade='9' file=x.png source='1,1,1,1'").size(), 1u);
}

struct NameCase {
  const char* what;
  int percent;
  const wchar_t* text;
  const wchar_t* modify;
  const wchar_t* expectedName;
  bool variant;
};

TEST(ImageDescriptorNames, VariantsByScaleAndSource) {
  const NameCase cases[] = {
      {"no @ name at 100 %", 100, L"Image/BkViewInit.png", L"", L"Image/BkViewInit.png", false},
      {"no @ name for an SVG at 100 %", 100, L"file='Image/BtnInstall.svg'", L"", L"Image/BtnInstall.svg", false},
      {"no window: as written", 0, L"Image/BkViewInit.png", L"", L"Image/BkViewInit.png", false},
      {"archive variant at 150 %", 150, L"Image/BkViewInit.png", L"", L"Image/BkViewInit@150.png", true},
      {"missing raster variant keeps the name", 125, L"Image/QuickMark.jpg", L"", L"Image/QuickMark.jpg", false},
      {"an SVG variant is always taken", 125, L"file='Image/CheckLicence.svg'", L"", L"Image/CheckLicence@125.svg",
       true},
      {"first dot only", 175, L"file='Image/a.b.svg'", L"", L"Image/a@175.b.svg", true},
      {"a name without a dot has no variant", 150, L"file='Image/plain'", L"", L"Image/plain", false},
      {"res wins over file", 100, L"res='Image/b.png' file='Image/a.png'", L"", L"Image/b.png", false},
      {"the modify text names the file last", 100, L"file='a.png'", L"file='b.png'", L"b.png", false},
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.what);
    ImageDescriptor d = ParseImageDescriptor(c.text, c.modify, Window(c.percent, kArchive));
    EXPECT_EQ(d.imageName, c.expectedName);
    EXPECT_EQ(d.dpiVariant, c.variant);
    if (c.percent == 100) {
      EXPECT_EQ(d.imageName.find(L'@'), std::wstring::npos);
    }
  }
}

struct RectCase {
  const char* what;
  int percent;
  const wchar_t* text;
  ImageRect dest;
  ImageRect source;
};

TEST(ImageDescriptorRects, ScaledAndPerScale) {
  const wchar_t* check = L"file='Image/CheckLicence.svg' source='14,0,28,14' source125='18,0,36,18' "
                         L"source175='25,0,50,25' dest='0,1,14,15'";
  const RectCase cases[] = {
      {"100 %", 100, check, {0, 1, 14, 15}, {14, 0, 28, 14}},
      {"125 %: source125 overrides", 125, check, {0, 1, 18, 19}, {18, 0, 36, 18}},
      {"150 %: scaled source", 150, check, {0, 2, 21, 23}, {21, 0, 42, 21}},
      {"175 %: source175", 175, check, {0, 2, 25, 27}, {25, 0, 50, 25}},
      {"200 %: scaled source", 200, check, {0, 2, 28, 30}, {28, 0, 56, 28}},
      {"175 %: 24.5 rounds to 25 for edge and width", 175, L"file='Image/x.svg' source='14,0,28,14'", {},
       {25, 0, 50, 25}},
      {"no variant: source as written", 150, L"file='Image/QuickMark.jpg' source='1,2,3,4' dest='1,2,3,4'",
       {2, 3, 5, 6}, {1, 2, 3, 4}},
      {"dest150 as written beats dest", 150, L"dest150='1,1,5,5' dest='1,1,5,5' file='a.svg'", {1, 1, 5, 5}, {}},
      {"dest125 does not apply at 150 %", 150, L"dest125='9,9,9,9' dest='2,2,4,4' file='a.svg'", {3, 3, 6, 6}, {}},
      {"no window: nothing scaled, no per-scale key", 0, L"dest='2,2,4,4' dest0='1,1,1,1' source='1,1,2,2'",
       {2, 2, 4, 4}, {1, 1, 2, 2}},
      {"negative edges scale too", 150, L"dest='-30,2,-10,18' file='a.svg'", {-45, 3, -15, 27}, {}},
  };
  for (const RectCase& c : cases) {
    SCOPED_TRACE(c.what);
    ImageDescriptor d = ParseImageDescriptor(c.text, L"", Window(c.percent, kArchive));
    EXPECT_EQ(d.dest, c.dest);
    EXPECT_EQ(d.source, c.source);
  }
}

TEST(ImageDescriptorFields, EveryKey) {
  ImageDescriptor d = ParseImageDescriptor(
      L"file='a.png' restype='PNG' corner='1,2,3,4' mask='#FFFF00FF' fade='300' hole='true' xtiled='yes' "
      L"ytiled='0' hsl='on' iconsize='16,12' iconalign='left' Fade='1'",
      L"", Window(100));
  EXPECT_EQ(d.resourceType, L"PNG");
  EXPECT_EQ(d.corner, (ImageRect{1, 2, 3, 4}));
  EXPECT_EQ(d.mask, 0xFFFF00FFu);
  EXPECT_EQ(d.fade, 255);  // clamped; "Fade" is another key
  EXPECT_TRUE(d.hole);
  EXPECT_TRUE(d.xtiled);
  EXPECT_FALSE(d.ytiled);
  EXPECT_TRUE(d.hsl);
  EXPECT_EQ(d.iconSize, (IntSize{16, 12}));
  EXPECT_EQ(d.iconAlign, L"left");
  // Corners scale with a variant like sources do (left, top, width, height).
  EXPECT_EQ(ParseImageDescriptor(L"file='a.svg' corner='1,2,3,4'", L"", Window(150)).corner,
            (ImageRect{2, 3, 5, 6}));
  EXPECT_EQ(ParseImageDescriptor(L"file='a.png' corner='1,2,3,4'", L"", Window(150)).corner,
            (ImageRect{1, 2, 3, 4}));
}

TEST(ImageDescriptorFields, PairOrderDoesNotMatter) {
  ImageDescriptor a = ParseImageDescriptor(L"file='Image/a.svg' source='14,0,28,14' source175='25,0,50,25'",
                                               L"", Window(175));
  ImageDescriptor b = ParseImageDescriptor(L"source175='25,0,50,25' source='14,0,28,14' file='Image/a.svg'",
                                               L"", Window(175));
  EXPECT_NE(a.drawText, b.drawText);
  EXPECT_EQ(a.imageName, b.imageName);
  EXPECT_EQ(a.source, b.source);
}

TEST(SvgRenderScale, FromTheName) {
  struct Case {
    const wchar_t* in;
    const wchar_t* file;
    double scale;
  } cases[] = {
      {L"Image/BtnInstall@125.svg", L"Image/BtnInstall.svg", 1.25},
      {L"Image/BtnInstall.svg", L"Image/BtnInstall.svg", 1.0},
      {L"Image/Bk@150.png", L"Image/Bk@150.png", 1.0},  // raster: the variant is a file of its own
      {L"Image/x@.svg", L"Image/x@.svg", 1.0},
      {L"Image/x@1a.svg", L"Image/x@1a.svg", 1.0},
      {L"Image/x@0.svg", L"Image/x@0.svg", 1.0},
      {L"Image/x@200.svg", L"Image/x.svg", 2.0},
  };
  for (const Case& c : cases) {
    std::wstring name = c.in;
    EXPECT_DOUBLE_EQ(SvgRenderScale(name), c.scale);
    EXPECT_EQ(name, c.file);
  }
}

TEST(ImageDestination, EdgesFromEitherSide) {
  const ImageRect item{100, 50, 300, 90};
  struct Case {
    const char* what;
    ImageRect dest, expected;
  } cases[] = {
      {"all 0: the item", {0, 0, 0, 0}, item},
      {"relative to the top-left", {2, 3, 20, 30}, {102, 53, 120, 80}},
      {"clamped to the item", {10, 10, 500, 500}, {110, 60, 300, 90}},
      {"negative right: from the right edge", {-30, 2, -10, 18}, {270, 52, 290, 68}},
      {"negative bottom: from the bottom edge", {2, -20, 20, -4}, {102, 70, 120, 86}},
      {"0,0,-10,0: empty", {0, 0, -10, 0}, {300, 50, 290, 50}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ImageDestination(item, c.dest), c.expected);
  }
}

TEST(ImageSource, ClampedToTheImage) {
  EXPECT_EQ(ImageSource({}, 1080, 45), (ImageRect{0, 0, 1080, 45}));
  // The 125 % sprite: source 0,0,216,38 scaled to 0,0,270,48, clamped to the 45-pixel image.
  EXPECT_EQ(ImageSource({0, 0, 270, 48}, 1080, 45), (ImageRect{0, 0, 270, 45}));
}

TEST(ImageBlits, PlainStretchNineGridHoleAndTiles) {
  const ImageRect all{-1000, -1000, 1000, 1000};
  // Plain stretch: one copy.
  auto plain = PlanImageBlits({0, 0, 100, 50}, {0, 0, 10, 10}, {}, all);
  ASSERT_EQ(plain.size(), 1u);
  EXPECT_EQ(plain[0], (ImageBlit{{0, 0, 100, 50}, {0, 0, 10, 10}}));

  // Nine-grid: corners unscaled, edges and middle stretched.
  ImageLayout grid;
  grid.corner = {2, 3, 4, 5};
  auto nine = PlanImageBlits({10, 10, 110, 60}, {0, 0, 20, 20}, grid, all);
  ASSERT_EQ(nine.size(), 9u);
  EXPECT_EQ(nine[0], (ImageBlit{{10, 10, 12, 13}, {0, 0, 2, 3}}));      // top left
  EXPECT_EQ(nine[2], (ImageBlit{{106, 10, 110, 13}, {16, 0, 20, 3}}));  // top right
  EXPECT_EQ(nine[4], (ImageBlit{{12, 13, 106, 55}, {2, 3, 16, 15}}));   // middle
  EXPECT_EQ(nine[8], (ImageBlit{{106, 55, 110, 60}, {16, 15, 20, 20}}));

  grid.hole = true;
  auto holed = PlanImageBlits({10, 10, 110, 60}, {0, 0, 20, 20}, grid, all);
  ASSERT_EQ(holed.size(), 8u);
  for (const ImageBlit& b : holed) EXPECT_NE(b.dest, (ImageRect{12, 13, 106, 55}));

  // Tiles at the source's size, the last one cut short from the source's start.
  ImageLayout tiles;
  tiles.xtiled = true;
  auto row = PlanImageBlits({0, 0, 25, 8}, {4, 0, 14, 4}, tiles, all);
  ASSERT_EQ(row.size(), 3u);
  EXPECT_EQ(row[1], (ImageBlit{{10, 0, 20, 8}, {4, 0, 14, 4}}));
  EXPECT_EQ(row[2], (ImageBlit{{20, 0, 25, 8}, {4, 0, 9, 4}}));

  // Copies outside the clip are left out.
  auto clipped = PlanImageBlits({0, 0, 25, 8}, {4, 0, 14, 4}, tiles, {0, 0, 12, 8});
  EXPECT_EQ(clipped.size(), 2u);
  // A degenerate source cannot tile for ever.
  EXPECT_TRUE(PlanImageBlits({0, 0, 25, 8}, {4, 0, 4, 4}, tiles, all).empty());
}

}  // namespace
}  // namespace DuiLib
