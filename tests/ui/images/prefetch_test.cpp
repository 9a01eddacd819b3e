// The first view's images read from the markup alone (which elements show,
// which attributes name an image of the first state), and their decoding
// ahead of the window: handed over once, pixel for pixel what the loader
// decodes; what was not asked for, failed, or was not started is left to the
// caller.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image_skin.h"
#include "ui/first_view_images.h"
#include "ui/image_loader.h"
#include "ui/image_prefetch.h"
#include "ui/markup.h"

namespace DuiLib {
namespace {

std::vector<std::wstring> Names(const std::vector<ImageRequest>& requests) {
  std::vector<std::wstring> names;
  for (const ImageRequest& r : requests) names.push_back(r.name);
  return names;
}

std::vector<ImageRequest> Plan(const std::wstring& skin, const DescriptorContext& context = {}) {
  CMarkup markup;
  EXPECT_TRUE(markup.ParseText(skin)) << skin;
  return FirstViewImages(markup.GetRoot(), context);
}

TEST(FirstViewImages, WhatShowsAtFirst) {
  const struct {
    const wchar_t* body;
    std::vector<std::wstring> names;
  } cases[] = {
      // Every image attribute of the first state, once, in document order.
      {LR"(<VerticalLayout bkimage="a.png"><Button normalimage="file='b.svg' source='0,0,1,1'" foreimage="c.png"/>)"
       LR"(<Label bkimage="a.png"/><Option selectedimage="s.png" stateimage="t.png"/></VerticalLayout>)",
       {L"a.png", L"b.svg", L"c.png", L"s.png", L"t.png"}},
      // States the window does not start in.
      {LR"(<Button hotimage="h.png" pushedimage="p.png" focusedimage="f.png" disabledimage="d.png" )"
       LR"(selectedhotimage="sh.png" selectedpushedimage="sp.png" selecteddisabledimage="sd.png" )"
       LR"(hotforeimage="hf.png" pushedforeimage="pf.png" normalimage="n.png"/>)",
       {L"n.png"}},
      // A hidden element hides what it holds; "true" shows.
      {LR"(<Label visible="false" bkimage="g.png"><Label bkimage="h.png"/></Label><Label visible="true" bkimage="v.png"/>)",
       {L"v.png"}},
      // Of a tab only the selected page, the first without selectedid.
      {LR"(<TabLayout selectedid="1"><Label bkimage="p0.png"/><Label bkimage="p1.png"><Label bkimage="p1c.png"/>)"
       LR"(</Label><Label bkimage="p2.png"/></TabLayout><TabLayout><Label bkimage="q0.png"/><Label bkimage="q1.png"/>)"
       LR"(</TabLayout>)",
       {L"p1.png", L"p1c.png", L"q0.png"}},
      // Resources, defaults, styles and includes are no view; empty images name nothing.
      {LR"(<Image name="r.png"/><Default name="Label" value="bkimage=&quot;d.png&quot;"/><Include source="x.xml"/>)"
       LR"(<Label bkimage=""/><Label text="image" textimage2="not-an-image-attribute"/>)",
       {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Names(Plan(L"<Window>" + std::wstring(c.body) + L"</Window>")), c.names) << c.body;
  }
}

TEST(FirstViewImages, NamesAreTheCachesKeys) {
  // The variant for the scale where the skin has one; type and mask as the descriptor gives them.
  DescriptorContext context;
  context.scalePercent = 150;
  context.variantExists = [](const std::wstring& name) { return name == L"Image/Bk@150.png"; };
  const std::vector<ImageRequest> requests =
      Plan(LR"(<Window><Label bkimage="Image/Bk.png"/><Label bkimage="Image/Other.png"/>)"
           LR"(<Label bkimage="file='7' restype='PNG' mask='#FFFF00FF'"/></Window>)",
           context);
  const std::vector<ImageRequest> expected = {
      {L"Image/Bk@150.png", L"", 0}, {L"Image/Other.png", L"", 0}, {L"7", L"PNG", 0xFFFF00FF}};
  EXPECT_EQ(requests, expected);
}

TEST(ImagePrefetch, HandsOverEachDecodedImageOnce) {
  kwtest::UseImageSkin();
  CImagePrefetch prefetch(LR"(<Window><VerticalLayout bkimage="Image/BkViewInit.png">)"
                          LR"(<Button normalimage="file='Image/BtnInstall.svg' source='0,0,216,38'"/>)"
                          LR"(<Label bkimage="Image/Redodi.png"/></VerticalLayout></Window>)",
                          150);
  EXPECT_EQ(Names(prefetch.Requests()),
            (std::vector<std::wstring>{L"Image/BkViewInit@150.png", L"Image/BtnInstall@150.svg", L"Image/Redodi.png"}));

  // (An image the thread has not started on is left to whoever asks first.)
  prefetch.WaitUntilDecoded();
  for (const wchar_t* name : {L"Image/BkViewInit@150.png", L"Image/BtnInstall@150.svg"}) {
    DecodedImage taken;
    ASSERT_TRUE(prefetch.Take(name, L"", 0, taken)) << name;
    DecodedImage direct;
    ASSERT_TRUE(DecodeSkinImage(name, L"", 0, direct)) << name;
    EXPECT_EQ(taken.width, direct.width) << name;
    EXPECT_EQ(taken.height, direct.height) << name;
    EXPECT_EQ(taken.hasAlpha, direct.hasAlpha) << name;
    EXPECT_TRUE(taken.pixels == direct.pixels) << name;
    EXPECT_FALSE(prefetch.Take(name, L"", 0, taken)) << name << " twice";
  }
  DecodedImage none;
  EXPECT_FALSE(prefetch.Take(L"Image/Redodi.png", L"", 0, none));           // missing from the skin
  EXPECT_FALSE(prefetch.Take(L"Image/BkViewInit.png", L"", 0, none));       // not asked for at this scale
  EXPECT_FALSE(prefetch.Take(L"Image/BkViewInit@150.png", L"PNG", 0, none)); // nor as a resource
  EXPECT_EQ(prefetch.Taken(), 2u);
}

TEST(ImagePrefetch, UnreadableSkinsAndEarlyEndsAreHarmless) {
  kwtest::UseImageSkin();
  {
    CImagePrefetch missing(L"Layout/NoSuchSkin.xml", 100);
    EXPECT_TRUE(missing.Requests().empty());
    CImagePrefetch broken(LR"(<Window><Label bkimage="Image/BkViewInit.png"></Window>)", 100);
    EXPECT_TRUE(broken.Requests().empty());
  }
  // Destroyed at once, with every image still to decode: it stops, no wait for the rest.
  std::wstring many = L"<Window>";
  for (int i = 0; i < 40; ++i) many += L"<Label bkimage=\"Image/BtnInstall@" + std::to_wstring(100 + i) + L".svg\"/>";
  many += L"</Window>";
  for (int i = 0; i < 5; ++i) CImagePrefetch early(many, 100);
}

}  // namespace
}  // namespace DuiLib
