// The framework on real windows: layout edge cases, DPI, the builder,
// timers, notifications, keyboard focus, mouse input by xdotool, layered
// painting and the skin that cannot be built.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "framework_fixture.h"
#include "ui/control_factory.h"
#include "ui/dialog_builder.h"
#include "ui/render.h"
#include "ui/ui_actions.h"
#include "ui/warm_up.h"

using namespace DuiLib;
using kwui::TestWindow;

namespace {

// Every test leaves the process at 96 DPI, the state before any SetAllDPI.
class Framework : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { kwui::RegisterTestControls(); }
  void TearDown() override {
    CPaintManagerUI::SetAllDPI(96);
    kwui::Pump(20);
  }
};

std::wstring Page(const std::wstring& window, const std::wstring& content) {
  return L"<Window size=\"600,460\" " + window + L"><VerticalLayout name=\"page\">" + content +
         L"</VerticalLayout></Window>";
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Show(const RECT& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom) + ")";
}

struct LayoutCase {
  const char* what;
  int dpi;
  const wchar_t* content;
  const wchar_t* control;
  RECT expected;  // client coordinates
};

TEST_F(Framework, LayoutEdgeCases) {
  const LayoutCase cases[] = {
      {"padding scales at 150 %", 144,
       L"<HorizontalLayout height=\"40\"><Control name=\"c\" width=\"24\" height=\"24\" padding=\"16,0,0,0\"/>"
       L"</HorizontalLayout>",
       L"c", {24, 0, 60, 36}},
      {"DPIPadding off keeps the offset", 144,
       L"<HorizontalLayout height=\"40\"><Control name=\"c\" width=\"24\" height=\"24\" padding=\"16,0,0,0\" "
       L"DPIPadding=\"false\"/></HorizontalLayout>",
       L"c", {16, 0, 52, 36}},
      {"horzpaddingcenter centres regardless of padding", 96,
       L"<HorizontalLayout name=\"row\" padding=\"0,30,0,0\" width=\"500\" height=\"34\" "
       L"horzpaddingcenter=\"true\"/>",
       L"row", {50, 30, 550, 64}},
      {"only the exact true centres", 96,
       L"<HorizontalLayout name=\"row\" padding=\"0,30,0,0\" width=\"500\" height=\"34\" "
       L"horzpaddingcenter=\"True\"/>",
       L"row", {0, 30, 500, 64}},
      {"vertpaddingcenter centres in the caption bar", 96,
       L"<HorizontalLayout height=\"10\"/><HorizontalLayout height=\"24\"><Control width=\"100\"/>"
       L"<Control name=\"minbtn\" width=\"18\" height=\"18\" vertpaddingcenter=\"true\"/></HorizontalLayout>",
       L"minbtn", {100, 13, 118, 31}},
      {"float right,vcenter sits flush right", 96,
       L"<HorizontalLayout height=\"100\"/><HorizontalLayout width=\"500\" height=\"34\" padding=\"50,0,0,0\">"
       L"<Control name=\"edit\"/><Control name=\"btn\" float=\"true\" floatalign=\"right,vcenter\" width=\"38\" "
       L"height=\"34\"/></HorizontalLayout>",
       L"btn", {512, 100, 550, 134}},
      {"the row under the float is filled", 96,
       L"<HorizontalLayout height=\"100\"/><HorizontalLayout width=\"500\" height=\"34\" padding=\"50,0,0,0\">"
       L"<Control name=\"edit\"/><Control name=\"btn\" float=\"true\" floatalign=\"right,vcenter\" width=\"38\" "
       L"height=\"34\"/></HorizontalLayout>",
       L"edit", {50, 100, 550, 134}},
      {"pos then size on a floating bar", 96,
       L"<HorizontalLayout name=\"bar\" float=\"true\" pos=\"0,10,0,0\" width=\"600\" height=\"24\"/>",
       L"bar", {0, 10, 600, 34}},
      {"siblings without size share the rest", 96,
       L"<HorizontalLayout height=\"20\"><Control name=\"a\"/><Control width=\"100\"/><Control name=\"b\"/>"
       L"</HorizontalLayout>",
       L"b", {350, 0, 600, 20}},
      {"ExpandBalance gives the remainder to the first", 96,
       L"<HorizontalLayout width=\"100\" height=\"20\" ExpandBalance=\"true\"><Control name=\"a\"/><Control/>"
       L"<Control/></HorizontalLayout>",
       L"a", {0, 0, 34, 20}},
      {"without ExpandBalance the last takes it", 96,
       L"<HorizontalLayout width=\"100\" height=\"20\"><Control/><Control/><Control name=\"c\"/>"
       L"</HorizontalLayout>",
       L"c", {66, 0, 100, 20}},
      {"inset scales with the container", 120,
       L"<VerticalLayout inset=\"8,4,0,0\" height=\"40\"><Control name=\"c\" height=\"10\"/></VerticalLayout>",
       L"c", {10, 5, 750, 18}},
      {"a tab layout keeps its inset as written", 120,
       L"<TabLayout inset=\"8,4,0,0\" height=\"40\"><VerticalLayout name=\"p\"/></TabLayout>",
       L"p", {8, 4, 750, 50}},
  };
  for (const LayoutCase& c : cases) {
    TestWindow window(Page(L"", c.content));
    ASSERT_TRUE(window.Open()) << c.what;
    if (c.dpi != 96) {
      window.Manager().SetDPI(c.dpi);
      kwui::PumpUntil([&] { return !window.Manager().GetRoot()->IsUpdateNeeded(); });
      kwui::Pump(50);
    }
    const RECT pos = window.Pos(c.control);
    EXPECT_TRUE(SameRect(pos, c.expected)) << c.what << ": " << Show(pos) << " expected " << Show(c.expected);
  }
}

TEST_F(Framework, TabSelectNotifiesOnlyOnChange) {
  TestWindow window(Page(L"", L"<TabLayout name=\"tabs\"><Control name=\"p0\"/><Control name=\"p1\"/>"
                              L"<Control name=\"p2\"/></TabLayout>"));
  ASSERT_TRUE(window.Open());
  auto* tabs = static_cast<CTabLayoutUI*>(window.Find(L"tabs"));
  ASSERT_NE(tabs, nullptr);
  EXPECT_EQ(tabs->GetCurSel(), 0);
  EXPECT_FALSE(window.Find(L"p1")->IsVisible());
  EXPECT_TRUE(tabs->SelectItem(0));
  EXPECT_EQ(window.Count(L"tabselect"), 0);
  EXPECT_TRUE(tabs->SelectItem(2, false));
  ASSERT_EQ(window.Count(L"tabselect"), 1);
  EXPECT_EQ(window.seen.back().wParam, 2u);
  EXPECT_EQ(window.seen.back().lParam, 0);
  EXPECT_TRUE(window.Find(L"p2")->IsVisible());
  EXPECT_FALSE(window.Find(L"p0")->IsVisible());
  EXPECT_FALSE(tabs->SelectItem(3));
  // Removing the current page selects the first one.
  tabs->Remove(window.Find(L"p2"));
  EXPECT_EQ(tabs->GetCurSel(), 0);
  EXPECT_TRUE(window.Find(L"p0")->IsVisible());
}

LONG FontHeight(HFONT font) {
  LOGFONTW info{};
  GetObjectW(font, sizeof(info), &info);
  return info.lfHeight;
}

TEST_F(Framework, FontsFollowTheScale) {
  const struct {
    int dpi;
    LONG height;
  } cases[] = {{96, -12}, {120, -15}, {144, -18}, {168, -21}, {192, -24}};
  for (const auto& c : cases) {
    CPaintManagerUI manager;
    manager.SetDPI(c.dpi);
    manager.AddFont(3, L"Tahoma", 12, false, false, false);
    EXPECT_EQ(FontHeight(manager.GetFont(3)), c.height) << c.dpi;
  }
  // A font made at 100 % is rebuilt, with ClearType, when the DPI changes.
  CPaintManagerUI manager;
  manager.AddFont(3, L"Tahoma", 12, true, false, false);
  manager.SetDPI(168);
  LOGFONTW info{};
  GetObjectW(manager.GetFont(3), sizeof(info), &info);
  EXPECT_EQ(info.lfHeight, -21);
  EXPECT_EQ(info.lfQuality, CLEARTYPE_QUALITY);
}

TEST_F(Framework, MonitorDpiAndTooltipColours) {
  EXPECT_EQ(CPaintManagerUI::GetMonitorDpi(nullptr), 96);  // the prefix's screen
  EXPECT_EQ(ToColorRef(0xFF8B8989), RGB(0x8B, 0x89, 0x89));
}

TEST_F(Framework, SetAllDpiResizesKeepingTheCorner) {
  TestWindow window(Page(L"", L"<Control name=\"c\" height=\"20\"/>"));
  ASSERT_TRUE(window.Open(120, 80));
  const RECT before = window.WindowRect();
  EXPECT_EQ(before.right - before.left, 600);
  EXPECT_EQ(before.bottom - before.top, 460);
  CPaintManagerUI::SetAllDPI(144);
  kwui::Pump(100);
  const RECT after = window.WindowRect();
  EXPECT_EQ(after.left, 120);
  EXPECT_EQ(after.top, 80);
  EXPECT_EQ(after.right - after.left, 900);
  EXPECT_EQ(after.bottom - after.top, 690);
  EXPECT_EQ(window.Manager().GetDpi().GetScale(), 150);
  EXPECT_EQ(window.Pos(L"c").bottom, 30);  // laid out again at the new scale
  EXPECT_EQ(window.Count(L"dpichanged", L""), 0);  // the root has no name ...
  EXPECT_GE(window.Count(L"dpichanged"), 1);       // ... but it sent it
  EXPECT_EQ(CPaintManagerUI::GetGlobalDpi(), 144);
}

TEST_F(Framework, SetAllDpiLeavesAMaximisedWindowsSize) {
  TestWindow window(Page(L"", L""));
  ASSERT_TRUE(window.Open());
  ::ShowWindow(window.GetHWND(), SW_MAXIMIZE);
  kwui::Pump(100);
  ASSERT_TRUE(IsZoomed(window.GetHWND()));
  const RECT before = window.WindowRect();
  CPaintManagerUI::SetAllDPI(144);
  kwui::Pump(100);
  EXPECT_TRUE(SameRect(window.WindowRect(), before)) << Show(window.WindowRect());
}

// Records the notifications it sees as the root, before any notifier exists.
class CProbeRootUI : public CVerticalLayoutUI {
 public:
  CProbeRootUI() {
    AddNotifyListener([this](TNotifyUI& n) {
      seen.push_back(n.type);
      return true;
    });
  }
  std::vector<std::wstring> seen;
};

TEST_F(Framework, AutoDpiBeforeSetAllDpiAppliesNinetySix) {
  CControlFactory::Instance().RegisterControl(L"CProbeRootUI", []() -> CControlUI* { return new CProbeRootUI; });
  TestWindow window(L"<Window size=\"600,460\" autodpi=\"true\"><Font id=\"2\" name=\"Tahoma\" size=\"12\"/>"
                    L"<ProbeRoot name=\"root\"/></Window>");
  ASSERT_TRUE(window.Open());
  auto* root = static_cast<CProbeRootUI*>(window.Manager().GetRoot());
  ASSERT_EQ(root->GetName(), L"root");
  EXPECT_EQ(window.Manager().GetDpi().GetScale(), 100);
  const RECT rect = window.WindowRect();
  EXPECT_EQ(rect.right - rect.left, 600);
  EXPECT_EQ(rect.bottom - rect.top, 460);
  ASSERT_FALSE(root->seen.empty());
  EXPECT_EQ(root->seen.front(), L"dpichanged");
  // The window base registered itself after the build: it never saw it.
  EXPECT_EQ(window.Count(L"dpichanged"), 0);
  LOGFONTW info{};
  GetObjectW(window.Manager().GetFont(2), sizeof(info), &info);
  EXPECT_EQ(info.lfQuality, CLEARTYPE_QUALITY);
  EXPECT_EQ(info.lfHeight, -12);
}

TEST_F(Framework, BuilderIncludesDefaultsAndUnknownElements) {
  CPaintManagerUI::SetResourcePath(KW_UI_FRAMEWORK_DATA);
  TestWindow window(L"includes.xml");
  ASSERT_TRUE(window.Open());
  CPaintManagerUI& manager = window.Manager();
  EXPECT_TRUE(manager.HasFont(0));
  EXPECT_TRUE(manager.HasFont(1));
  EXPECT_TRUE(manager.HasFont(1000, true));
  EXPECT_FALSE(manager.HasFont(1000));
  EXPECT_EQ(manager.FontCount(), 2);  // the second include replaced the first
  EXPECT_EQ(manager.GetDefaultFontInfo().faceName, L"Tahoma");
  ASSERT_NE(window.Find(L"defaulted"), nullptr);
  EXPECT_EQ(window.Find(L"defaulted")->GetBkColor(), 0xFF0000FFu);
  EXPECT_EQ(window.Find(L"defaulted")->GetFixedWidth(), 20);
  EXPECT_EQ(window.Find(L"own")->GetBkColor(), 0xFF00FF00u);
  EXPECT_EQ(window.Find(L"unknown"), nullptr);
  EXPECT_EQ(window.Find(L"insideUnknown"), nullptr);
  EXPECT_NE(window.Find(L"afterUnknown"), nullptr);
  ASSERT_NE(window.Find(L"includedLeaf"), nullptr);
  ASSERT_NE(window.Find(L"includedRow"), nullptr);
  EXPECT_EQ(window.Find(L"includedRow")->GetParent(), window.Find(L"root"));
  CPaintManagerUI::SetResourcePath(L"");
}

TEST_F(Framework, AttributeListsApplyInNameOrderAndUnknownsAreKept) {
  CControlUI control;
  // "width" after "height" in the text, but applied first; the custom one is stored.
  control.ApplyAttributeList(L"name=\"n\" width=\"5\" height=\"7\" zzz=\"kept\" bkcolor=\"#FF112233\"");
  EXPECT_EQ(control.GetName(), L"n");
  EXPECT_EQ(control.GetFixedWidth(), 5);
  EXPECT_EQ(control.GetFixedHeight(), 7);
  EXPECT_EQ(control.GetBkColor(), 0xFF112233u);
  EXPECT_EQ(control.GetCustomAttribute(L"zzz"), L"kept");
  control.SetAttribute(L"tooltip", L"one<n>two");
  EXPECT_EQ(control.GetToolTip(), L"one\r\ntwo");
  control.SetAttribute(L"width", L"-3");
  EXPECT_EQ(control.GetFixedWidth(), 5);
}

TEST_F(Framework, FactoryKnowsTheSkinClasses) {
  CControlFactory& factory = CControlFactory::Instance();
  for (const wchar_t* name : {L"CControlUI", L"CContainerUI", L"CVerticalLayoutUI", L"CHorizontalLayoutUI",
                              L"CTabLayoutUI", L"CLabelUI", L"CButtonUI", L"COptionUI", L"CCheckBoxUI",
                              L"CProgressUI", L"CRichEditUI", L"CListUI", L"CRingUI"}) {
    CControlUI* control = factory.CreateControl(name);
    ASSERT_NE(control, nullptr) << name;
    delete control;
  }
  EXPECT_EQ(factory.CreateControl(L"CFrobnicateUI"), nullptr);
  CControlUI* tab = factory.CreateControl(L"CTabLayoutUI");
  EXPECT_EQ(tab->GetClassName(), L"TabLayoutUI");
  EXPECT_NE(tab->FindInterface(L"IContainer"), nullptr);
  delete tab;
}

TEST_F(Framework, TimersKeepTheirPeriodUntilKilled) {
  TestWindow window(Page(L"", L"<Control name=\"c\"/>"));
  ASSERT_TRUE(window.Open());
  CControlUI* control = window.Find(L"c");
  EXPECT_TRUE(control->SetTimer(7, 40));
  EXPECT_FALSE(control->SetTimer(7, 5000));  // running: refused, the first period stays
  kwui::Pump(600);
  EXPECT_GE(window.Count(L"timer", L"c"), 4);
  EXPECT_EQ(window.seen.back().wParam, 7u);
  control->KillTimer(7);
  EXPECT_TRUE(control->SetTimer(7, 5000));  // killed: restarted with the new period
  const int before = window.Count(L"timer", L"c");
  kwui::Pump(400);
  EXPECT_EQ(window.Count(L"timer", L"c"), before);
  ASSERT_EQ(window.Manager().GetTimers().size(), 1u);  // the record was reused
  control->KillTimer(7);
  CControlUI detached;
  EXPECT_FALSE(detached.SetTimer(1, 10));
}

TEST_F(Framework, WindowTimerIdsWrapAt240) {
  TestWindow window(Page(L"", L"<Control name=\"c\"/>"));
  ASSERT_TRUE(window.Open());
  CControlUI* control = window.Find(L"c");
  for (UINT id = 1; id <= 241; ++id) ASSERT_TRUE(control->SetTimer(id, 60000)) << id;
  const auto& timers = window.Manager().GetTimers();
  ASSERT_EQ(timers.size(), 241u);
  EXPECT_EQ(timers[0].windowTimerId, 1u);
  EXPECT_EQ(timers[238].windowTimerId, 239u);
  EXPECT_EQ(timers[239].windowTimerId, 0u);
  EXPECT_EQ(timers[240].windowTimerId, 1u);
  window.Manager().KillTimers(control);
  EXPECT_TRUE(window.Manager().GetTimers().empty());
}

TEST_F(Framework, AsyncNotificationOfADestroyedSenderArrivesWithoutSender) {
  TestWindow window(Page(L"", L"<Control name=\"gone\"/><Control name=\"stays\"/>"));
  ASSERT_TRUE(window.Open());
  CControlUI* gone = window.Find(L"gone");
  CControlUI* stays = window.Find(L"stays");
  window.Manager().SendNotify(gone, L"later", 5, 6, true);
  window.Manager().SendNotify(stays, L"later", 7, 8, true);
  EXPECT_EQ(window.Count(L"later"), 0);  // not before the next message
  auto* page = static_cast<CContainerUI*>(window.Find(L"page"));
  page->Remove(gone, true);
  delete gone;
  kwui::PumpUntil([&] { return window.Count(L"later") == 2; });
  ASSERT_EQ(window.Count(L"later"), 2);
  std::vector<kwui::Seen> later;
  for (const kwui::Seen& s : window.seen) {
    if (s.type == L"later") later.push_back(s);
  }
  EXPECT_EQ(later[0].senderPointer, nullptr);
  EXPECT_EQ(later[0].wParam, 5u);
  EXPECT_EQ(later[1].senderPointer, stays);
  EXPECT_EQ(window.Find(L"gone"), nullptr);
}

void Key(HWND window, WPARAM key, bool shift = false) {
  if (shift) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
  }
  PostMessageW(window, WM_KEYDOWN, key, 1);
  kwui::Pump(30);
  if (shift) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
  }
}

std::wstring FocusName(TestWindow& window) {
  CControlUI* focus = window.Manager().GetFocus();
  return focus ? focus->GetName() : L"(none)";
}

TEST_F(Framework, TabWalksTheTabOrderList) {
  TestWindow window(Page(L"normaltab=\"false\"",
                         L"<TabLayout name=\"tabs\">"
                         L"<VerticalLayout><Control name=\"a\" TabSuppot=\"true\"/>"
                         L"<Control name=\"b\" TabSuppot=\"true\" enabled=\"false\"/>"
                         L"<Control name=\"c\" TabSuppot=\"true\"/><Control name=\"plain\"/></VerticalLayout>"
                         L"<VerticalLayout><Control name=\"d\" TabSuppot=\"true\"/></VerticalLayout>"
                         L"</TabLayout>"));
  ASSERT_TRUE(window.Open());
  const auto& order = window.Manager().GetTabControls();
  ASSERT_EQ(order.size(), 4u);
  window.Find(L"a")->SetFocus();
  ASSERT_EQ(FocusName(window), L"a");
  Key(window.GetHWND(), VK_TAB);
  EXPECT_EQ(FocusName(window), L"(none)");  // the disabled entry takes it from a, keeps nothing
  Key(window.GetHWND(), VK_TAB);
  EXPECT_EQ(FocusName(window), L"c");
  Key(window.GetHWND(), VK_TAB);
  EXPECT_EQ(FocusName(window), L"a");  // d's page is hidden
  Key(window.GetHWND(), VK_TAB, true);
  EXPECT_EQ(FocusName(window), L"(none)");  // Shift+Tab walks the same way
  static_cast<CTabLayoutUI*>(window.Find(L"tabs"))->SelectItem(1, false);
  window.Find(L"plain")->SetFocus();  // hidden now: refused
  Key(window.GetHWND(), VK_TAB);
  EXPECT_EQ(FocusName(window), L"d");
  // No control ever receives the Tab key itself.
  for (const kwui::Seen& s : window.seen) EXPECT_FALSE(s.type == L"keydown" && s.wParam == VK_TAB);
}

TEST_F(Framework, TabWithAnEmptyListAndNormalTabOffMovesNothing) {
  TestWindow window(Page(L"normaltab=\"false\"", L"<TestButton name=\"x\"/><TestButton name=\"y\"/>"));
  ASSERT_TRUE(window.Open());
  window.Find(L"x")->SetFocus();
  Key(window.GetHWND(), VK_TAB);
  EXPECT_EQ(FocusName(window), L"x");
  window.Manager().SetNormalTab(true);
  Key(window.GetHWND(), VK_TAB);
  EXPECT_EQ(FocusName(window), L"y");
}

TEST_F(Framework, EscapeIsSwallowedReturnIsPassedOn) {
  TestWindow window(Page(L"", L"<Control name=\"c\"/>"));
  ASSERT_TRUE(window.Open());
  window.Find(L"c")->SetFocus();
  Key(window.GetHWND(), VK_ESCAPE);
  EXPECT_EQ(window.Count(L"keydown", L"c"), 0);
  Key(window.GetHWND(), VK_RETURN);
  ASSERT_EQ(window.Count(L"keydown", L"c"), 1);
  EXPECT_EQ(window.seen.back().wParam, static_cast<WPARAM>(VK_RETURN));
  EXPECT_TRUE(IsWindow(window.GetHWND()));
}

std::wstring Xdotool(const std::wstring& arguments) { return L"/usr/bin/xdotool " + arguments; }

std::wstring At(int x, int y) { return L"mousemove " + std::to_wstring(x) + L" " + std::to_wstring(y); }

// Presses at (x, y) on the screen, drags by (dx, dy) in steps, releases.
int Drag(int x, int y, int dx, int dy) {
  std::wstring steps;
  for (int i = 1; i <= 4; ++i) steps += L" sleep 0.05 " + At(x + dx * i / 4, y + dy * i / 4);
  return kwui::RunUnix(Xdotool(At(x, y) + L" sleep 0.1 mousedown 1" + steps + L" sleep 0.1 mouseup 1 sleep 0.1"));
}

const wchar_t kCaptionSkin[] =
    L"<Window size=\"400,300\" caption=\"0,0,0,66\" sizebox=\"%SIZEBOX%\">"
    L"<VerticalLayout><HorizontalLayout height=\"66\"><Control name=\"label\"/>"
    L"<TestButton name=\"btn\" width=\"60\"/></HorizontalLayout><Control name=\"body\"/></VerticalLayout></Window>";

std::wstring CaptionSkin(const std::wstring& sizebox) {
  std::wstring skin = kCaptionSkin;
  skin.replace(skin.find(L"%SIZEBOX%"), 9, sizebox);
  return skin;
}

TEST_F(Framework, DraggingTheCaptionMovesTheWindow) {
  TestWindow window(CaptionSkin(L"0,0,0,0"));
  ASSERT_TRUE(window.Open(200, 150));
  const RECT before = window.WindowRect();
  ASSERT_EQ(Drag(before.left + 100, before.top + 30, 60, 40), 0);
  kwui::Pump(200);
  const RECT after = window.WindowRect();
  EXPECT_EQ(after.left - before.left, 60) << Show(after);
  EXPECT_EQ(after.top - before.top, 40) << Show(after);
  EXPECT_EQ(window.Count(L"click"), 0);
  // Below the caption the window stays where it is.
  ASSERT_EQ(Drag(after.left + 100, after.top + 200, 60, 40), 0);
  kwui::Pump(200);
  EXPECT_TRUE(SameRect(window.WindowRect(), after)) << Show(window.WindowRect());
}

TEST_F(Framework, AButtonInTheCaptionIsClickedNotDragged) {
  TestWindow window(CaptionSkin(L"0,0,0,0"));
  ASSERT_TRUE(window.Open(200, 150));
  const RECT before = window.WindowRect();
  const RECT button = window.Pos(L"btn");
  const int x = before.left + (button.left + button.right) / 2;
  const int y = before.top + (button.top + button.bottom) / 2;
  ASSERT_EQ(kwui::RunUnix(Xdotool(At(x, y) + L" sleep 0.1 click 1 sleep 0.1")), 0);
  kwui::PumpUntil([&] { return window.Count(L"click", L"btn") == 1; }, 1000);
  EXPECT_EQ(window.Count(L"click", L"btn"), 1);
  ASSERT_EQ(Drag(x, y, 50, 30), 0);
  kwui::Pump(200);
  EXPECT_TRUE(SameRect(window.WindowRect(), before)) << Show(window.WindowRect());
}

TEST_F(Framework, SizeBoxDecidesWhetherTheBorderResizes) {
  const struct {
    const wchar_t* sizebox;
    int grows;
  } cases[] = {{L"0,0,0,0", 0}, {L"6,6,6,6", 40}};
  for (const auto& c : cases) {
    TestWindow window(CaptionSkin(c.sizebox));
    ASSERT_TRUE(window.Open(200, 150));
    const RECT before = window.WindowRect();
    // The right border, below the caption.
    ASSERT_EQ(Drag(before.right - 2, before.top + 150, 40, 0), 0);
    kwui::Pump(200);
    const RECT after = window.WindowRect();
    EXPECT_EQ((after.right - after.left) - (before.right - before.left), c.grows) << "sizebox " << c.sizebox;
    EXPECT_EQ(after.left, before.left);
  }
}

const wchar_t kLayeredSkin[] =
    L"<Window size=\"200,120\" layered=\"true\"><Container name=\"root\">"
    L"<Control name=\"left\" float=\"true\" pos=\"10,10,60,60\" bkcolor=\"#FF3366CC\"/>"
    L"<Control name=\"right\" float=\"true\" floatalign=\"right,bottom\" width=\"30\" height=\"20\" "
    L"bkcolor=\"#FFF0A000\"/></Container></Window>";

TEST_F(Framework, LayeredWindowShowsWhatLiesBelowWhereAlphaIsZero) {
  const COLORREF below = RGB(0, 200, 0);
  kwui::ColourWindow background(RECT{280, 180, 720, 520}, below);
  TestWindow window(kLayeredSkin);
  ASSERT_TRUE(window.Open(300, 200));
  ASSERT_TRUE(window.Manager().IsLayered());
  kwui::Pump(200);
  EXPECT_NE(GetWindowLongW(window.GetHWND(), GWL_EXSTYLE) & WS_EX_LAYERED, 0);
  const COffscreenSurface& surface = window.Manager().GetOffscreenSurface();
  ASSERT_TRUE(surface.Matches(200, 120));
  EXPECT_EQ(surface.Row(5)[5], 0u);                 // transparent background
  EXPECT_EQ(surface.Row(20)[20], 0xFF3366CCu);      // opaque control

  const RECT rect = window.WindowRect();
  const std::vector<unsigned> shot = kwui::Screenshot(rect);
  ASSERT_EQ(shot.size(), 200u * 120u);
  auto pixel = [&](int x, int y) { return shot[static_cast<std::size_t>(y) * 200 + x]; };
  EXPECT_EQ(pixel(5, 5), 0x00C800u);
  EXPECT_EQ(pixel(100, 100), 0x00C800u);
  EXPECT_EQ(pixel(10, 10), 0x3366CCu);
  EXPECT_EQ(pixel(59, 59), 0x3366CCu);
  EXPECT_EQ(pixel(60, 60), 0x00C800u);
  EXPECT_EQ(pixel(185, 110), 0xF0A000u);

  // Larger: a new surface of the new size, the right-aligned control moves.
  SetWindowPos(window.GetHWND(), nullptr, 0, 0, 300, 160, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  kwui::PumpUntil([&] { return surface.Matches(300, 160); }, 2000);
  kwui::Pump(200);
  ASSERT_TRUE(surface.Matches(300, 160));
  const RECT grown = window.WindowRect();
  const std::vector<unsigned> second = kwui::Screenshot(grown);
  ASSERT_EQ(second.size(), 300u * 160u);
  auto pixel2 = [&](int x, int y) { return second[static_cast<std::size_t>(y) * 300 + x]; };
  EXPECT_EQ(pixel2(285, 150), 0xF0A000u);
  EXPECT_EQ(pixel2(185, 110), 0x00C800u);
  EXPECT_EQ(pixel2(20, 20), 0x3366CCu);
}

// The first frame is announced once, after it is on the screen, for plain
// and layered windows alike; later frames say nothing.
TEST_F(Framework, FirstFrameIsAnnouncedOnce) {
  for (const bool layered : {false, true}) {
    SCOPED_TRACE(layered ? "layered" : "plain");
    TestWindow window(layered ? std::wstring(kLayeredSkin) : Page(L"", L"<Control name=\"c\" bkcolor=\"#FF102030\"/>"));
    ASSERT_TRUE(window.Open());
    ASSERT_TRUE(kwui::PumpUntil([&] { return window.Count(L"firstframe") > 0; }));
    EXPECT_GE(window.Manager().CompletedPaints(), 1u);
    window.Manager().Invalidate();
    const unsigned painted = window.Manager().CompletedPaints();
    ASSERT_TRUE(kwui::PumpUntil([&] { return window.Manager().CompletedPaints() > painted; }));
    kwui::Pump(100);
    EXPECT_EQ(window.Count(L"firstframe"), 1);
  }
}

// The warm-up's deferred part waits for the first frame, but waiting for the
// warm-up must not: a window that never painted still shuts down.
TEST(WarmUp, WaitNeedsNoFirstFrame) {
  {
    CWarmUp started;
    started.Start();
    started.Wait();
    started.Wait();  // again: nothing left to wait for
  }
  {
    CWarmUp released;
    released.Start();
    released.ReleaseDeferred();
    released.ReleaseDeferred();
  }  // the destructor waits for both parts
  {
    CWarmUp unreleased;
    unreleased.Start();
  }  // nor does the destructor start the deferred part
  CWarmUp never;
  never.ReleaseDeferred();
  never.Wait();
}

TEST(WarmUp, DestroyingWaitsForTheWorkThatRuns) {
  // What the work uses may go right after the object (at exit: the process's
  // modules), so the destructor must not leave it running.
  auto finished = std::make_shared<std::atomic<int>>(0);
  auto slow = [finished] {
    Sleep(300);
    ++*finished;
  };
  {
    CWarmUp warmUp(slow, slow);
    warmUp.Start();
    warmUp.ReleaseDeferred();
  }
  EXPECT_EQ(finished->load(), 2);
  {
    CWarmUp earlyOnly(slow, slow);
    earlyOnly.Start();
  }
  EXPECT_EQ(finished->load(), 3);  // the deferred part never started
}

TEST_F(Framework, ASkinThatCannotBeBuiltReportsAndExitsWithOne) {
  std::wstring text;
  std::wstring caption;
  UINT flags = 0;
  UINT exitCode = 0;
  ScopedUiActions actions(UiActions{[&](HWND, const std::wstring& t, const std::wstring& c, UINT f) {
                                      text = t;
                                      caption = c;
                                      flags = f;
                                      return IDOK;
                                    },
                                    [&](UINT code) { exitCode = code; }});
  CPaintManagerUI::SetResourcePath(KW_UI_FRAMEWORK_DATA);
  for (const wchar_t* skin : {L"Layout/Missing.xml", L"<Window><A></B></Window>"}) {
    text.clear();
    exitCode = 0;
    TestWindow window(skin);
    EXPECT_EQ(window.Create(nullptr, L"KW Framework Test", 0x96C80000, WS_EX_WINDOWEDGE), nullptr);
    EXPECT_EQ(text, std::wstring(L"加载资源文件失败：") + skin);
    EXPECT_EQ(caption, L"Duilib");
    EXPECT_EQ(flags & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(exitCode, 1u);
  }
  CPaintManagerUI::SetResourcePath(L"");
}

TEST_F(Framework, ASkinThatCannotBeBuiltEndsTheProcessWithOne) {
  kwtest::ChildOptions options;
  options.commandLine = kwtest::Quote(kwtest::ExeFolder() + L"\\ui_framework_driver.exe") + L" " +
                        kwtest::Quote(KW_UI_FRAMEWORK_DATA) + L" Layout/Missing.xml --answer-boxes";
  const kwtest::ChildRun run = kwtest::RunChild(options);
  ASSERT_TRUE(run.started);
  EXPECT_EQ(run.exitCode, 1u);
  // "加载资源文件失败：" as the driver escapes it.
  EXPECT_TRUE(run.HasTrace(L"box: Duilib: \\u52A0\\u8F7D\\u8D44\\u6E90\\u6587\\u4EF6\\u5931\\u8D25\\uFF1ALayout/Missing.xml"))
      << (run.traces.empty() ? std::string("no trace") : std::string(run.traces.back().text.begin(), run.traces.back().text.end()));
}

}  // namespace
