// Every basic control in every state, at 100 % and 150 %: screenshots for
// the eye (bin/ui_data/screens), the glyphs of the mapped "微软雅黑", the
// raster variant picked, and how much sharper an SVG sprite rendered at
// 150 % is than its 100 % rendering scaled up.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "core/handles.h"
#include "core/system_dll.h"
#include "image_skin.h"
#include "test_host.h"
#include "ui/button.h"
#include "ui/label.h"
#include "ui/option.h"
#include "ui/progress.h"

namespace DuiLib {
namespace {

const wchar_t kShowcase[] =
    LR"(<Window size="560,250" gdiplustext="true" textrenderinghint="5">
  <Font id="0" name="微软雅黑" size="12" default="true"/>
  <Font id="1" name="微软雅黑" size="14" bold="true"/>
  <Container bkcolor="#FFF4F6F9">
    <Label float="true" pos="10,8,200,32" text="标签 Label 微软雅黑" textcolor="#FF202020"/>
    <Label name="disabledlabel" float="true" pos="210,8,330,32" text="禁用 disabled" disabledtextcolor="#FFA0A0A0"/>
    <Label float="true" pos="340,4,440,44" bkimage="Image/BkViewInit.png" text="PNG" textcolor="#FFFFFFFF" align="center"/>
    <Label float="true" pos="450,8,474,32" bkimage="Image/Icon.svg"/>
    <Button name="normal" float="true" pos="10,56,136,92" text="立即安装" font="1" textcolor="0xffffffff" normalimage="file='Image/BtnInstall.svg' source='0,0,216,36'" hotimage="file='Image/BtnInstall.svg' source='216,0,432,36'" pushedimage="file='Image/BtnInstall.svg' source='432,0,648,36'" disabledimage="file='Image/BtnInstall.svg' source='648,0,864,36'"/>
    <Button name="hot" float="true" pos="146,56,272,92" text="悬停 hot" font="1" textcolor="0xffffffff" normalimage="file='Image/BtnInstall.svg' source='0,0,216,36'" hotimage="file='Image/BtnInstall.svg' source='216,0,432,36'" pushedimage="file='Image/BtnInstall.svg' source='432,0,648,36'" disabledimage="file='Image/BtnInstall.svg' source='648,0,864,36'"/>
    <Button name="pushed" float="true" pos="282,56,408,92" text="按下 pushed" font="1" textcolor="0xffffffff" normalimage="file='Image/BtnInstall.svg' source='0,0,216,36'" hotimage="file='Image/BtnInstall.svg' source='216,0,432,36'" pushedimage="file='Image/BtnInstall.svg' source='432,0,648,36'" disabledimage="file='Image/BtnInstall.svg' source='648,0,864,36'"/>
    <Button name="disabled" float="true" pos="418,56,544,92" text="禁用" font="1" textcolor="0xffffffff" normalimage="file='Image/BtnInstall.svg' source='0,0,216,36'" hotimage="file='Image/BtnInstall.svg' source='216,0,432,36'" pushedimage="file='Image/BtnInstall.svg' source='432,0,648,36'" disabledimage="file='Image/BtnInstall.svg' source='648,0,864,36'"/>
    <Option name="opt0" float="true" pos="10,110,130,128" text="未选 option" textpadding="20,0,0,0" normalimage="file='Image/CheckLicence.svg' source='0,0,14,14' dest='0,2,14,16'" hotimage="file='Image/CheckLicence.svg' source='14,0,28,14' dest='0,2,14,16'" selectedimage="file='Image/CheckLicence.svg' source='28,0,42,14' dest='0,2,14,16'" selectedhotimage="file='Image/CheckLicence.svg' source='42,0,56,14' dest='0,2,14,16'"/>
    <Option name="opt1" float="true" pos="140,110,260,128" text="悬停 hot" textpadding="20,0,0,0" normalimage="file='Image/CheckLicence.svg' source='0,0,14,14' dest='0,2,14,16'" hotimage="file='Image/CheckLicence.svg' source='14,0,28,14' dest='0,2,14,16'" selectedimage="file='Image/CheckLicence.svg' source='28,0,42,14' dest='0,2,14,16'" selectedhotimage="file='Image/CheckLicence.svg' source='42,0,56,14' dest='0,2,14,16'"/>
    <Option name="opt2" float="true" pos="270,110,390,128" selected="true" text="已选 selected" textpadding="20,0,0,0" selectedtextcolor="#FF1F7AE0" normalimage="file='Image/CheckLicence.svg' source='0,0,14,14' dest='0,2,14,16'" hotimage="file='Image/CheckLicence.svg' source='14,0,28,14' dest='0,2,14,16'" selectedimage="file='Image/CheckLicence.svg' source='28,0,42,14' dest='0,2,14,16'" selectedhotimage="file='Image/CheckLicence.svg' source='42,0,56,14' dest='0,2,14,16'"/>
    <CheckBox name="chk" float="true" pos="400,110,540,128" selected="true" text="复选 check" textpadding="20,0,0,0" normalimage="file='Image/CheckLicence.svg' source='0,0,14,14' dest='0,2,14,16'" selectedimage="file='Image/CheckLicence.svg' source='28,0,42,14' dest='0,2,14,16'" selectedhotimage="file='Image/CheckLicence.svg' source='42,0,56,14' dest='0,2,14,16'"/>
    <Label name="sharp" float="true" pos="10,140,24,154" bkimage="file='Image/CheckLicence.svg' source='28,0,42,14'"/>
    <Progress float="true" pos="10,170,190,186" bkimage="Image/ProgressBk.png" foreimage="Image/ProgressFore.png" value="0"/>
    <Progress float="true" pos="200,170,380,186" bkimage="Image/ProgressBk.png" foreimage="Image/ProgressFore.png" value="50"/>
    <Progress float="true" pos="390,170,550,186" bkimage="Image/ProgressBk.png" foreimage="Image/ProgressFore.png" value="100"/>
    <Label float="true" pos="10,200,550,240" text="安装进度 50% — 文字由 GDI+ 绘制，ClearType 网格对齐" textcolor="#FF303030" wordbreak="true"/>
  </Container>
</Window>)";

void PutInStates(kwtest::TestHost& host) {
  CPaintManagerUI& m = host.Manager();
  TEventUI enter;
  enter.type = UIEVENT_MOUSEENTER;
  for (const wchar_t* name : {L"hot", L"opt1"}) m.FindControl(name)->Event(enter);
  TEventUI down;
  down.type = UIEVENT_BUTTONDOWN;
  CControlUI* pushed = m.FindControl(L"pushed");
  const RECT& r = pushed->GetPos();
  down.mousePoint = POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  pushed->Event(down);
  m.FindControl(L"disabled")->SetEnabled(false);
  m.FindControl(L"disabledlabel")->SetEnabled(false);
  host.Paint();
}

double Luminance(std::uint32_t p) {
  return 0.2126 * ((p >> 16) & 0xFF) + 0.7152 * ((p >> 8) & 0xFF) + 0.0722 * (p & 0xFF);
}

using Image = std::vector<std::vector<double>>;

Image Grab(kwtest::TestHost& host, const RECT& r) {
  Image out(r.bottom - r.top, std::vector<double>(r.right - r.left));
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) out[y - r.top][x - r.left] = Luminance(host.Pixel(x, y));
  return out;
}

// Bilinear scaling to width x height (pixel centres mapped onto each other).
Image Upscale(const Image& in, int width, int height) {
  const int w = static_cast<int>(in[0].size()), h = static_cast<int>(in.size());
  Image out(height, std::vector<double>(width));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      double sx = std::clamp((x + 0.5) * w / width - 0.5, 0.0, w - 1.0);
      double sy = std::clamp((y + 0.5) * h / height - 0.5, 0.0, h - 1.0);
      int x0 = static_cast<int>(sx), y0 = static_cast<int>(sy);
      int x1 = std::min(x0 + 1, w - 1), y1 = std::min(y0 + 1, h - 1);
      double fx = sx - x0, fy = sy - y0;
      out[y][x] = (in[y0][x0] * (1 - fx) + in[y0][x1] * fx) * (1 - fy) + (in[y1][x0] * (1 - fx) + in[y1][x1] * fx) * fy;
    }
  }
  return out;
}

// Acutance: mean squared gradient (neighbour differences), in luminance
// units squared. A crisper rendering of the same picture scores higher.
double Acutance(const Image& img) {
  double sum = 0;
  int n = 0;
  for (std::size_t y = 0; y + 1 < img.size(); ++y) {
    for (std::size_t x = 0; x + 1 < img[y].size(); ++x) {
      const double dx = img[y][x + 1] - img[y][x], dy = img[y + 1][x] - img[y][x];
      sum += dx * dx + dy * dy;
      ++n;
    }
  }
  return n ? sum / n : 0;
}

// Pixels of the middle row that are neither background nor fill (between
// 15 % and 85 % of the way): how wide the edges are smeared.
int SmearedPixels(const Image& img) {
  const std::vector<double>& row = img[img.size() / 2];
  const double lo = *std::min_element(row.begin(), row.end()), hi = *std::max_element(row.begin(), row.end());
  int n = 0;
  for (double v : row) n += v > lo + 0.15 * (hi - lo) && v < lo + 0.85 * (hi - lo);
  return n;
}

TEST(Showcase, EveryControlInEveryStateAt100And150) {
  kwtest::UseImageSkin();
  const std::wstring screens = kwtest::UiDataPath(L"screens");
  CreateDirectoryW(screens.c_str(), nullptr);
  Image at100, at150;
  for (int dpi : {96, 144}) {
    kwtest::TestHost host(kShowcase, 560, 250, dpi, 20, 20);
    CPaintManagerUI& m = host.Manager();
    PutInStates(host);
    SCOPED_TRACE(dpi);
    // The mapped face exists and GDI+ drew the texts.
    EXPECT_TRUE(m.IsUseGdiplusText());
    const FontEntry* font = m.GetFontInfo(0);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->metrics.tmHeight > 0, true);
    // The PNG variant of the scale (red at 100 %, blue at 150 %).
    const std::uint32_t bk = host.Pixel(m.Scale(345), m.Scale(8)) & 0xFFFFFF;
    EXPECT_EQ(bk, dpi == 96 ? 0xC82828u : 0x2828C8u);
    // The label's text is drawn: dark pixels inside its rect.
    int dark = 0;
    for (int y = m.Scale(8); y < m.Scale(32); ++y)
      for (int x = m.Scale(10); x < m.Scale(200); ++x) dark += Luminance(host.Pixel(x, y)) < 100;
    EXPECT_GT(dark, 20 * m.Scale(100) / 100);
    // The hot and pushed buttons show their cells (hot is lighter than normal, pushed darker).
    const double normal = Luminance(host.Pixel(m.Scale(20), m.Scale(60)));
    const double hot = Luminance(host.Pixel(m.Scale(156), m.Scale(60)));
    const double pushed = Luminance(host.Pixel(m.Scale(292), m.Scale(60)));
    EXPECT_GT(hot, normal);
    EXPECT_LT(pushed, normal);
    const RECT sharp = m.FindControl(L"sharp")->GetPos();
    (dpi == 96 ? at100 : at150) = Grab(host, sharp);
    const std::wstring shot = screens + (dpi == 96 ? L"\\controls-100.png" : L"\\controls-150.png");
    EXPECT_TRUE(host.Screenshot(shot));
    std::printf("screenshot: %ls\n", shot.c_str());
  }
  ASSERT_EQ(at100.size(), 14u);
  ASSERT_EQ(at150.size(), 21u);
  const Image scaledUp = Upscale(at100, 21, 21);
  const double native = Acutance(at150), stretched = Acutance(scaledUp);
  std::printf("checked box at 150 %%: acutance %.0f rendered at the scale, %.0f as the 100 %% rendering scaled up; "
              "smeared pixels on the middle row %d against %d\n",
              native, stretched, SmearedPixels(at150), SmearedPixels(scaledUp));
  EXPECT_GT(native, stretched * 1.2);
  EXPECT_LE(SmearedPixels(at150), SmearedPixels(scaledUp));
}

}  // namespace
}  // namespace DuiLib
