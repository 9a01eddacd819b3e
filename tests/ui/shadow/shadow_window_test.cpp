// The shadow window beside real framework windows under Xvfb: its Window
// attributes, its place, the bitmap it was given and what the screen shows,
// following minimise, restore and a real drag by xdotool.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework_fixture.h"
#include "ui/control.h"
#include "ui/offscreen_surface.h"
#include "ui/paint_manager.h"
#include "ui/shadow.h"

namespace {

using DuiLib::COffscreenSurface;
using DuiLib::CPaintManagerUI;
using DuiLib::CShadowUI;
using kwui::TestWindow;

class Shadow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { kwui::RegisterTestControls(); }
  void TearDown() override { kwui::Pump(20); }
};

std::string Show(const RECT& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom) + ")";
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

RECT Grown(RECT r, int by) {
  InflateRect(&r, by, by);
  return r;
}

// The shadow windows the system knows for a parent, found by class and owner.
std::vector<HWND> ShadowWindowsOf(HWND parent) {
  std::vector<HWND> found;
  HWND window = nullptr;
  while ((window = FindWindowExW(nullptr, window, CShadowUI::kWindowClass, nullptr)) != nullptr) {
    if (GetWindow(window, GW_OWNER) == parent) found.push_back(window);
  }
  return found;
}

RECT WindowRectOf(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

int Alpha(const COffscreenSurface& bitmap, int x, int y) { return static_cast<int>(bitmap.Row(y)[x] >> 24); }

std::wstring Xdotool(const std::wstring& arguments) { return L"/usr/bin/xdotool " + arguments; }
std::wstring At(int x, int y) { return L"mousemove " + std::to_wstring(x) + L" " + std::to_wstring(y); }

// Presses at (x, y) on the screen, drags by (dx, dy) in steps, releases.
int Drag(int x, int y, int dx, int dy) {
  std::wstring steps;
  for (int i = 1; i <= 4; ++i) steps += L" sleep 0.05 " + At(x + dx * i / 4, y + dy * i / 4);
  return kwui::RunUnix(Xdotool(At(x, y) + L" sleep 0.1 mousedown 1" + steps + L" sleep 0.1 mouseup 1 sleep 0.1"));
}

// A skin like the installer's: 600 × 460, the top 66 pixels drag the window,
// a minimise button in the caption, a transparent (layered) background.
std::wstring Skin(const std::wstring& shadow) {
  return L"<Window size=\"600,460\" mininfo=\"600,460\" caption=\"0,0,0,66\" sizebox=\"0,0,0,0\" bktrans=\"true\" " +
         shadow +
         L"><VerticalLayout bkcolor=\"#FF3366CC\"><HorizontalLayout height=\"66\"><Control name=\"title\"/>"
         L"<TestButton name=\"minbtn\" width=\"24\" height=\"24\"/></HorizontalLayout><Control name=\"body\"/>"
         L"</VerticalLayout></Window>";
}

const wchar_t kComputedShadow[] =
    L"showshadow=\"true\" shadowsize=\"10\" shadowsharpness=\"5\" shadowdarkness=\"150\"";

constexpr COLORREF kBelow = RGB(0xF0, 0xA0, 0x00);
constexpr unsigned kBelowPixel = 0xF0A000u;
constexpr unsigned kWindowPixel = 0x3366CCu;

TEST_F(Shadow, WindowAttributesAreRangeChecked) {
  // Each case: attribute, value, then what the shadow reports.
  const struct {
    const wchar_t* name;
    const wchar_t* value;
    int size, sharpness, darkness, x, y;
  } cases[] = {
      {L"shadowsize", L"36", 0, 5, 150, 0, 0},       {L"shadowsize", L"-5", -5, 5, 150, 0, 0},
      {L"shadowsize", L"35", 35, 5, 150, 0, 0},      {L"shadowsize", L"-36", 0, 5, 150, 0, 0},
      {L"shadowposition", L"36,0", 0, 5, 150, 0, 0}, {L"shadowposition", L"0,-36", 0, 5, 150, 0, 0},
      {L"shadowposition", L"-35,35", 0, 5, 150, -35, 35},
      {L"shadowsharpness", L"36", 0, 5, 150, 0, 0},  {L"shadowsharpness", L"0", 0, 0, 150, 0, 0},
      {L"shadowsharpness", L"-1", 0, 5, 150, 0, 0},  {L"shadowdarkness", L"256", 0, 5, 150, 0, 0},
      {L"shadowdarkness", L"255", 0, 5, 255, 0, 0},  {L"shadowdarkness", L"-1", 0, 5, 150, 0, 0},
  };
  for (const auto& c : cases) {
    CPaintManagerUI manager;
    manager.SetWindowAttribute(c.name, c.value);
    const CShadowUI& shadow = *manager.GetShadow();
    EXPECT_EQ(shadow.GetSize(), c.size) << c.name << "=" << c.value;
    EXPECT_EQ(shadow.GetSharpness(), c.sharpness) << c.name << "=" << c.value;
    EXPECT_EQ(shadow.GetDarkness(), c.darkness) << c.name << "=" << c.value;
    EXPECT_EQ(shadow.GetPosition().x, c.x) << c.name << "=" << c.value;
    EXPECT_EQ(shadow.GetPosition().y, c.y) << c.name << "=" << c.value;
  }

  CPaintManagerUI manager;
  manager.SetWindowAttribute(L"shadowcolor", L"#FF336699");
  manager.SetWindowAttribute(L"shadowcorner", L"4,5,6,7");
  manager.SetWindowAttribute(L"shadowcorner", L"1,1,-1,1");
  manager.SetWindowAttribute(L"shadowimage", L"Image/shadow.png");
  manager.SetWindowAttribute(L"showshadow", L"true");
  const CShadowUI& shadow = *manager.GetShadow();
  EXPECT_EQ(shadow.GetColor(), 0x336699u);
  EXPECT_TRUE(SameRect(shadow.GetShadowCorner(), RECT{4, 5, 6, 7})) << Show(shadow.GetShadowCorner());
  EXPECT_EQ(shadow.GetImage(), L"Image/shadow.png");
  EXPECT_TRUE(shadow.IsShowShadow());
}

TEST_F(Shadow, ComputedShadowLiesAroundTheWindowAndIsCutOutUnderIt) {
  kwui::ColourWindow background(RECT{150, 100, 850, 660}, kBelow);
  TestWindow window(Skin(kComputedShadow));
  ASSERT_TRUE(window.Open(200, 150));
  kwui::Pump(200);
  const RECT parent = window.WindowRect();
  ASSERT_TRUE(SameRect(parent, RECT{200, 150, 800, 610})) << Show(parent);

  const std::vector<HWND> shadows = ShadowWindowsOf(window.GetHWND());
  ASSERT_EQ(shadows.size(), 1u);
  const HWND shadowWindow = shadows.front();
  const CShadowUI& shadow = *window.Manager().GetShadow();
  EXPECT_EQ(shadow.GetHWND(), shadowWindow);
  EXPECT_TRUE(IsWindowVisible(shadowWindow));
  const LONG exStyle = GetWindowLongW(shadowWindow, GWL_EXSTYLE);
  EXPECT_EQ(exStyle & (WS_EX_LAYERED | WS_EX_TRANSPARENT), WS_EX_LAYERED | WS_EX_TRANSPARENT);
  // 620 × 480, 10 pixels up and left of the window.
  EXPECT_TRUE(SameRect(WindowRectOf(shadowWindow), RECT{190, 140, 810, 620})) << Show(WindowRectOf(shadowWindow));

  const COffscreenSurface* pushed = shadow.PushedBitmap();
  ASSERT_NE(pushed, nullptr);
  ASSERT_EQ(pushed->Width(), 620);
  ASSERT_EQ(pushed->Height(), 480);
  for (int y = 10; y < 470; y += 5)
    for (int x = 10; x < 610; x += 5) ASSERT_EQ(pushed->Row(y)[x], 0u) << x << "," << y;
  for (int x = 10; x < 610; ++x) ASSERT_EQ(pushed->Row(10)[x], 0u) << "window's top row " << x;
  // Graded outside: from 25 at the shadow's outer edge to 150 near the window.
  const int left[] = {Alpha(*pushed, 0, 240), Alpha(*pushed, 3, 240), Alpha(*pushed, 4, 240), Alpha(*pushed, 9, 240)};
  EXPECT_EQ(left[0], 25);
  EXPECT_EQ(left[1], 100);
  EXPECT_EQ(left[2], 125);
  EXPECT_EQ(left[3], 150);
  EXPECT_EQ(Alpha(*pushed, 619, 240), 25);
  EXPECT_EQ(Alpha(*pushed, 300, 0), 25);
  EXPECT_EQ(Alpha(*pushed, 300, 479), 25);
  EXPECT_EQ(Alpha(*pushed, 0, 0), 0);  // the rounded-off corner
  EXPECT_EQ(pushed->Row(240)[5], 0x96000000u);  // black, premultiplied

  // On screen (no compositor, so no blending): the window shows through the
  // cut-out, the background through the transparent corner, the shadow band
  // is drawn over the background.
  const RECT area{190, 140, 810, 620};
  const std::vector<unsigned> shot = kwui::Screenshot(area);
  ASSERT_EQ(shot.size(), 620u * 480u);
  auto pixel = [&](int x, int y) { return shot[static_cast<size_t>(y) * 620 + x]; };
  EXPECT_EQ(pixel(300, 240), kWindowPixel);
  EXPECT_EQ(pixel(10, 240), kWindowPixel);
  EXPECT_EQ(pixel(0, 0), kBelowPixel);
  EXPECT_NE(pixel(5, 240), kBelowPixel);
  EXPECT_NE(pixel(300, 475), kBelowPixel);
  // Clicks on the shadow reach what lies below it.
  EXPECT_NE(WindowFromPoint(POINT{195, 390}), shadowWindow);
}

TEST_F(Shadow, ImageShadowIsANineGridAroundTheWindow) {
  // A 30 × 30 ring: corners of alpha 200, edges of 100, an empty middle, in
  // colour #204080; corner 10 keeps the corners and stretches the edges.
  CPaintManagerUI::SetResourcePath(KW_SHADOW_SKIN);
  TestWindow window(Skin(L"showshadow=\"true\" shadowimage=\"shadow_ring.png\" shadowcorner=\"10,10,10,10\" "
                         L"shadowsize=\"12\" shadowposition=\"5,5\""));
  ASSERT_TRUE(window.Open(200, 150));
  kwui::Pump(200);
  CPaintManagerUI::SetResourcePath(L"");
  const CShadowUI& shadow = *window.Manager().GetShadow();
  ASSERT_NE(shadow.GetHWND(), nullptr);
  // The image lies evenly around the window: the offset is the computed
  // shadow's.
  EXPECT_TRUE(SameRect(WindowRectOf(shadow.GetHWND()), Grown(window.WindowRect(), 12)))
      << Show(WindowRectOf(shadow.GetHWND()));
  const COffscreenSurface* pushed = shadow.PushedBitmap();
  ASSERT_NE(pushed, nullptr);
  ASSERT_EQ(pushed->Width(), 624);
  ASSERT_EQ(pushed->Height(), 484);
  const struct {
    int x, y;
    unsigned pixel;
  } cells[] = {{5, 5, 0xC8193264u},   {618, 478, 0xC8193264u}, {0, 483, 0xC8193264u}, {300, 5, 0x640C1932u},
               {5, 240, 0x640C1932u}, {620, 240, 0x640C1932u}, {300, 480, 0x640C1932u}, {300, 240, 0u},
               {12, 12, 0u}};
  for (const auto& cell : cells) {
    const unsigned actual = pushed->Row(cell.y)[cell.x];
    for (int shift = 0; shift < 32; shift += 8)
      EXPECT_NEAR(static_cast<int>((actual >> shift) & 0xFF), static_cast<int>((cell.pixel >> shift) & 0xFF), 1)
          << cell.x << "," << cell.y << " " << std::hex << actual;
  }
}

TEST_F(Shadow, TheShadowFollowsTheFirstFrame) {
  // Made before the first frame, it would hold that frame back by about as
  // much as drawing the window takes.
  TestWindow window(Skin(kComputedShadow));
  // Created and shown (the style is visible), not yet painted: nothing pumped.
  ASSERT_NE(window.Create(nullptr, L"KW Framework Test", 0x96C80000, WS_EX_WINDOWEDGE), nullptr);
  SetWindowPos(window.GetHWND(), nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ASSERT_TRUE(IsWindowVisible(window.GetHWND()));
  ASSERT_EQ(window.Manager().CompletedPaints(), 0u);
  EXPECT_TRUE(ShadowWindowsOf(window.GetHWND()).empty());

  ASSERT_TRUE(kwui::PumpUntil([&] { return ShadowWindowsOf(window.GetHWND()).size() == 1; }, 2000));
  EXPECT_GE(window.Manager().CompletedPaints(), 1u);
  const HWND shadowWindow = ShadowWindowsOf(window.GetHWND()).front();
  kwui::Pump(100);
  EXPECT_TRUE(IsWindowVisible(shadowWindow));
  EXPECT_TRUE(SameRect(WindowRectOf(shadowWindow), Grown(window.WindowRect(), 10))) << Show(WindowRectOf(shadowWindow));

  // A new root keeps the one shadow.
  window.Manager().AttachDialog(new DuiLib::CControlUI);
  kwui::Pump(100);
  EXPECT_EQ(ShadowWindowsOf(window.GetHWND()).size(), 1u);
}

TEST_F(Shadow, MinimiseHidesTheShadowRestoreShowsItAndItFollowsADrag) {
  TestWindow window(Skin(kComputedShadow));
  ASSERT_TRUE(window.Open(200, 150));
  kwui::Pump(200);
  const std::vector<HWND> shadows = ShadowWindowsOf(window.GetHWND());
  ASSERT_EQ(shadows.size(), 1u);
  const HWND shadowWindow = shadows.front();
  ASSERT_TRUE(IsWindowVisible(shadowWindow));

  // The caption's minimise button, pressed with the real mouse.
  const RECT parent = window.WindowRect();
  const RECT button = window.Pos(L"minbtn");
  const int bx = parent.left + (button.left + button.right) / 2, by = parent.top + (button.top + button.bottom) / 2;
  ASSERT_EQ(kwui::RunUnix(Xdotool(At(bx, by) + L" sleep 0.1 click 1 sleep 0.1")), 0);
  ASSERT_TRUE(kwui::PumpUntil([&] { return IsIconic(window.GetHWND()) != FALSE; }, 2000));
  kwui::Pump(100);
  EXPECT_FALSE(IsWindowVisible(shadowWindow));
  EXPECT_FALSE(window.Manager().GetShadow()->IsVisible());

  // Restored as the taskbar would.
  SendMessageW(window.GetHWND(), WM_SYSCOMMAND, SC_RESTORE, 0);
  ASSERT_TRUE(kwui::PumpUntil([&] { return !IsIconic(window.GetHWND()) && IsWindowVisible(shadowWindow); }, 2000));
  kwui::Pump(200);
  const RECT restored = window.WindowRect();
  EXPECT_TRUE(SameRect(restored, parent)) << Show(restored);
  EXPECT_TRUE(SameRect(WindowRectOf(shadowWindow), Grown(restored, 10))) << Show(WindowRectOf(shadowWindow));

  // A real drag on the caption: the shadow moves with the window.
  ASSERT_EQ(Drag(restored.left + 200, restored.top + 30, 60, 40), 0);
  kwui::Pump(200);
  const RECT moved = window.WindowRect();
  EXPECT_EQ(moved.left - restored.left, 60) << Show(moved);
  EXPECT_EQ(moved.top - restored.top, 40) << Show(moved);
  EXPECT_TRUE(IsWindowVisible(shadowWindow));
  EXPECT_TRUE(SameRect(WindowRectOf(shadowWindow), Grown(moved, 10))) << Show(WindowRectOf(shadowWindow));

  // With the window the shadow goes.
  window.Destroy();
  EXPECT_FALSE(IsWindow(shadowWindow));
}

TEST_F(Shadow, ShownShadowWithoutSizeChangesNothing) {
  // The installer's skin: showshadow="true" and nothing else. The same window
  // without it is the reference for the screen and for a drag.
  kwui::ColourWindow background(RECT{150, 100, 850, 660}, kBelow);
  struct Run {
    std::vector<unsigned> shot;
    RECT moved{};
    size_t shadowWindows = 0;
    bool pushed = false;
  };
  auto run = [&](const std::wstring& shadow) {
    Run result;
    TestWindow window(Skin(shadow));
    EXPECT_TRUE(window.Open(200, 150));
    kwui::Pump(200);
    result.shot = kwui::Screenshot(RECT{180, 130, 820, 630});
    const RECT before = window.WindowRect();
    EXPECT_EQ(Drag(before.left + 200, before.top + 30, 60, 40), 0);
    kwui::Pump(200);
    const RECT after = window.WindowRect();
    result.moved = RECT{after.left - before.left, after.top - before.top, after.right - before.right,
                        after.bottom - before.bottom};
    result.shadowWindows = ShadowWindowsOf(window.GetHWND()).size();
    result.pushed = window.Manager().GetShadow()->PushedBitmap() != nullptr;
    return result;
  };
  const Run with = run(L"showshadow=\"true\"");
  const Run without = run(L"");
  EXPECT_EQ(with.shadowWindows, 1u);  // made, and following, but given no bitmap
  EXPECT_EQ(without.shadowWindows, 0u);
  EXPECT_FALSE(with.pushed);
  ASSERT_EQ(with.shot.size(), 640u * 500u);
  ASSERT_EQ(with.shot.size(), without.shot.size());
  EXPECT_EQ(with.shot[5 * 640 + 5], kBelowPixel);
  EXPECT_EQ(with.shot[250 * 640 + 320], kWindowPixel);
  size_t differing = 0;
  for (size_t i = 0; i < with.shot.size(); ++i) differing += with.shot[i] != without.shot[i];
  EXPECT_EQ(differing, 0u);
  EXPECT_TRUE(SameRect(with.moved, RECT{60, 40, 60, 40})) << Show(with.moved);
  EXPECT_TRUE(SameRect(with.moved, without.moved)) << Show(without.moved);
}

}  // namespace
