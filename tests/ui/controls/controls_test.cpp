// The basic controls in a real window: attributes, the progress fill,
// buttons and options under the real mouse, check boxes, label sizes, text
// colours and the text renderer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/handles.h"
#include "core/system_dll.h"
#include "image_skin.h"
#include "test_host.h"
#include "ui/button.h"
#include "ui/container.h"
#include "ui/label.h"
#include "ui/option.h"
#include "ui/progress.h"
#include "ui/render.h"
#include "ui/render_gdiplus.h"

namespace DuiLib {
namespace {

using Notes = std::vector<std::wstring>;

template <class T>
T* Add(CContainerUI* root, std::wstring_view attributes) {
  auto* control = new T;
  control->ApplyAttributeList(attributes);
  root->Add(control);
  return control;
}

CContainerUI* WhiteRoot() {
  auto* root = new CContainerUI;
  root->SetBkColor(0xFFFFFFFF);
  return root;
}

std::uint32_t Rgb(std::uint32_t pixel) { return pixel & 0xFFFFFF; }

TEST(BasicControls, ClassAndInterfaceNames) {
  struct Case {
    CControlUI* control;
    const wchar_t* className;
    const wchar_t* interfaceName;
  } cases[] = {{new CLabelUI, L"LabelUI", L"Label"},
               {new CButtonUI, L"ButtonUI", L"Button"},
               {new COptionUI, L"OptionUI", L"Option"},
               {new CCheckBoxUI, L"CheckBoxUI", L"CheckBox"},
               {new CProgressUI, L"ProgressUI", L"Progress"}};
  for (const Case& c : cases) {
    EXPECT_EQ(c.control->GetClassName(), c.className);
    EXPECT_EQ(c.control->FindInterface(c.interfaceName), c.control);
    EXPECT_EQ(c.control->FindInterface(L"Label"), c.control);  // every one is a label
    delete c.control;
  }
  CProgressUI progress;
  EXPECT_EQ(progress.GetFixedHeight(), 12);
  EXPECT_EQ(progress.GetTextStyle(), UINT(DT_CENTER | DT_SINGLELINE));
}

TEST(BasicControls, LabelTextStyleAttributes) {
  struct Case {
    const wchar_t* attributes;
    UINT style;
  } cases[] = {
      {L"", DT_VCENTER | DT_SINGLELINE},
      {L"align=\"center\"", DT_CENTER | DT_VCENTER | DT_SINGLELINE},
      {L"align=\"right\"", DT_RIGHT | DT_VCENTER | DT_SINGLELINE},
      {L"align=\"leftcenter\"", DT_CENTER | DT_VCENTER | DT_SINGLELINE},  // later matches win
      {L"valign=\"top\"", DT_SINGLELINE},
      {L"valign=\"bottom\"", DT_BOTTOM | DT_SINGLELINE},
      {L"wordbreak=\"true\"", DT_VCENTER | DT_WORDBREAK | DT_EDITCONTROL},
      {L"endellipsis=\"true\" noprefix=\"true\"", DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX},
      {L"midellipsis=\"true\"", DT_VCENTER | DT_SINGLELINE | kTextMiddleEllipsis},
  };
  for (const Case& c : cases) {
    CLabelUI label;
    label.ApplyAttributeList(c.attributes);
    EXPECT_EQ(label.GetTextStyle(), c.style) << std::wstring(c.attributes).c_str();
  }
  CButtonUI button;
  button.ApplyAttributeList(L"textcolor=\"0xffffffff\" hottextcolor=\"#FF336699\" focuedfont=\"3\" font=\"2\"");
  EXPECT_EQ(button.GetTextColor(), 0xFFFFFFFFu);
  EXPECT_EQ(button.GetHotTextColor(), 0xFF336699u);
  EXPECT_EQ(button.GetFont(), 2);
}

struct ProgressWindow {
  CContainerUI* root = WhiteRoot();
  CProgressUI* bar = Add<CProgressUI>(root, L"float=\"true\" pos=\"10,10,500,26\" bkimage=\"Image/ProgressBk.png\" "
                                            L"foreimage=\"Image/ProgressFore.png\"");
  kwtest::TestHost host{(kwtest::UseImageSkin(), root), 600, 60};
};

constexpr std::uint32_t kForeDark = 0x005AC8, kForeLight = 0x50AAFF, kTrack = 0xDCDCDC;

TEST(BasicControls, ProgressFillsItsPart) {
  ProgressWindow w;
  ASSERT_EQ(w.bar->GetMaxValue(), 100);
  w.bar->SetValue(50);
  w.host.Paint();
  EXPECT_EQ(w.bar->GetForeModifier(), L"dest='0,0,245,16'");
  // The fore image (dark left half, light right half) stretched into 245 pixels.
  EXPECT_EQ(Rgb(w.host.Pixel(10 + 5, 18)), kForeDark);
  EXPECT_EQ(Rgb(w.host.Pixel(10 + 200, 18)), kForeLight);
  EXPECT_EQ(Rgb(w.host.Pixel(10 + 244, 18)), kForeLight);
  EXPECT_EQ(Rgb(w.host.Pixel(10 + 245, 18)), kTrack);
  EXPECT_EQ(Rgb(w.host.Pixel(10 + 489, 18)), kTrack);

  w.bar->SetValue(0);
  w.host.Paint();
  EXPECT_EQ(w.bar->GetForeModifier(), L"dest='0,0,0,16'");
  EXPECT_EQ(Rgb(w.host.Pixel(10, 18)), kTrack);
  EXPECT_EQ(Rgb(w.host.Pixel(10 + 5, 18)), kTrack);
}

TEST(BasicControls, ProgressIgnoresValuesOutOfRange) {
  ProgressWindow w;
  w.bar->SetValue(40);
  for (int value : {150, -1, 101}) {
    w.bar->SetValue(value);
    EXPECT_EQ(w.bar->GetValue(), 40) << value;
  }
  w.bar->SetAttribute(L"value", L"100");
  EXPECT_EQ(w.bar->GetValue(), 100);
}

TEST(BasicControls, ProgressMaxBelowTheValueDrawsFullAndWritesBack) {
  ProgressWindow w;
  w.bar->SetValue(80);
  w.bar->SetAttribute(L"max", L"60");
  EXPECT_EQ(w.bar->GetValue(), 80);  // stored without a check
  w.host.Paint();
  EXPECT_EQ(w.bar->GetValue(), 60);
  EXPECT_EQ(w.bar->GetForeModifier(), L"dest='0,0,490,16'");
  EXPECT_EQ(Rgb(w.host.Pixel(10 + 489, 18)), kForeLight);
  // min at or above max: max becomes min + 1.
  w.bar->SetAttribute(L"min", L"70");
  w.host.Paint();
  EXPECT_EQ(w.bar->GetMaxValue(), 71);
  EXPECT_EQ(w.bar->GetValue(), 70);
  // Without stretching, the matching part of the image is shown.
  w.bar->SetAttribute(L"isstretchfore", L"false");
  w.bar->SetAttribute(L"max", L"100");
  w.bar->SetAttribute(L"min", L"0");
  w.bar->SetValue(50);
  w.host.Paint();
  EXPECT_EQ(w.bar->GetForeModifier(), L"dest='0,0,245,16' source='0,0,245,16'");
}

struct ButtonWindow {
  CContainerUI* root = WhiteRoot();
  CButtonUI* button = Add<CButtonUI>(root, L"float=\"true\" pos=\"20,20,140,50\" text=\"Button\" bkcolor=\"#FFDDDDDD\"");
  COptionUI* option = Add<COptionUI>(root, L"float=\"true\" pos=\"20,70,140,100\" text=\"Option\" bkcolor=\"#FFDDDDDD\"");
  kwtest::TestHost host{root, 400, 200};
};

TEST(BasicControls, ButtonPressedAndReleasedOutsideSendsNoClick) {
  ButtonWindow w;
  w.host.MouseTo(60, 35);
  w.host.MouseDown();
  EXPECT_TRUE(w.button->GetButtonState() & UISTATE_PUSHED);
  w.host.MouseTo(300, 150);
  EXPECT_FALSE(w.button->GetButtonState() & UISTATE_PUSHED);  // follows the mouse while captured
  w.host.MouseUp();
  EXPECT_EQ(w.host.NotesOf(w.button), (Notes{L"buttondown", L"buttonup"}));
  EXPECT_EQ(w.button->GetButtonState() & (UISTATE_PUSHED | UISTATE_CAPTURED), 0u);

  w.host.Clear();
  w.host.Click(60, 35);
  EXPECT_EQ(w.host.NotesOf(w.button), (Notes{L"buttondown", L"buttonup", L"click"}));
  // Buttons always say when the mouse comes and goes.
  EXPECT_NE(std::find(w.host.Notes().begin(), w.host.Notes().end(), L"mouseenter"), w.host.Notes().end());
}

TEST(BasicControls, UngroupedOptionClickedTwiceTogglesBack) {
  ButtonWindow w;
  ASSERT_FALSE(w.option->IsSelected());
  w.host.Click(60, 85);
  EXPECT_TRUE(w.option->IsSelected());
  Sleep(600);  // no double click
  w.host.Click(60, 85);
  std::vector<std::wstring> clicks;
  for (const std::wstring& n : w.host.NotesOf(w.option))
    if (n == L"click" || n == L"selectchanged") clicks.push_back(n);
  EXPECT_EQ(clicks, (Notes{L"click", L"selectchanged", L"click", L"selectchanged"}));
  EXPECT_FALSE(w.option->IsSelected());
}

TEST(BasicControls, GroupedOptionsDeselectEachOther) {
  CContainerUI* root = WhiteRoot();
  auto* a = Add<COptionUI>(root, L"float=\"true\" pos=\"0,0,50,20\" group=\"g\"");
  auto* b = Add<COptionUI>(root, L"float=\"true\" pos=\"0,30,50,50\" group=\"g\"");
  auto* loner = Add<COptionUI>(root, L"float=\"true\" pos=\"0,60,50,80\" selected=\"true\"");
  kwtest::TestHost host(root, 100, 100);
  a->Selected(true);
  host.Clear();
  b->Activate();
  ASSERT_EQ(host.Notifications().size(), 3u);
  EXPECT_EQ(host.Notifications()[0].type, L"click");
  EXPECT_EQ(host.Notifications()[1].sender, a);  // the deselected one speaks first
  EXPECT_EQ(host.Notifications()[1].type, L"selectchanged");
  EXPECT_EQ(host.Notifications()[2].sender, b);
  EXPECT_FALSE(a->IsSelected());
  EXPECT_TRUE(b->IsSelected());
  EXPECT_TRUE(loner->IsSelected());  // other groups stay
  // A grouped option stays selected when activated again.
  b->Activate();
  EXPECT_TRUE(b->IsSelected());
  // Without notification.
  host.Clear();
  a->Selected(true, false);
  EXPECT_TRUE(host.Notes().empty());
  EXPECT_FALSE(b->IsSelected());
}

TEST(BasicControls, CheckBoxSaysItsStateAndChecksItself) {
  CContainerUI* root = WhiteRoot();
  auto* box = Add<CCheckBoxUI>(root, L"float=\"true\" pos=\"0,0,50,20\"");
  auto* automatic = Add<CCheckBoxUI>(root, L"float=\"true\" pos=\"0,30,50,50\" EnableAutoCheck=\"true\"");
  kwtest::TestHost host(root, 100, 100);
  box->Selected(true);
  box->Selected(false);
  ASSERT_EQ(host.NotesOf(box), (Notes{L"selectchanged", L"selectchanged"}));
  EXPECT_EQ(host.Notifications()[0].wParam, 1u);
  EXPECT_EQ(host.Notifications()[1].wParam, 0u);
  host.Clear();
  TEventUI down;
  down.type = UIEVENT_BUTTONDOWN;
  down.mousePoint = POINT{10, 40};
  automatic->Event(down);
  EXPECT_TRUE(automatic->GetCheck());
  EXPECT_EQ(host.NotesOf(automatic), (Notes{L"selectchanged", L"checkclick"}));
}

TEST(BasicControls, AutoWidthLabelMeasuresOncePerAvailableSize) {
  CContainerUI* root = WhiteRoot();
  auto* label = Add<CLabelUI>(root, L"autocalcwidth=\"true\" height=\"20\" text=\"Licence agreement\" "
                                    L"textpadding=\"3,0,5,0\"");
  kwtest::TestHost host(root, 300, 40);
  const int count = label->GetTextMeasureCount();
  const SIZE first = label->EstimateSize(SIZE{300, 40});
  const SIZE again = label->EstimateSize(SIZE{300, 40});
  EXPECT_EQ(label->GetTextMeasureCount(), count + (count == 0 ? 1 : 0));
  EXPECT_EQ(first.cx, again.cx);
  EXPECT_EQ(first.cy, 20);
  RECT measured{0, 0, 9999, 100};
  CRenderEngine::DrawText(host.Manager().GetPaintDC(), &host.Manager(), measured, L"Licence agreement", 0, -1,
                          DT_SINGLELINE | DT_CALCRECT);
  EXPECT_EQ(first.cx, measured.right - measured.left + 8);
  const int before = label->GetTextMeasureCount();
  label->EstimateSize(SIZE{200, 40});
  EXPECT_EQ(label->GetTextMeasureCount(), before + 1);
  label->SetText(L"Licence agreement, longer");
  const SIZE longer = label->EstimateSize(SIZE{200, 40});
  EXPECT_EQ(label->GetTextMeasureCount(), before + 2);
  EXPECT_GT(longer.cx, first.cx);
}

TEST(BasicControls, WhiteTextIsOpaqueWhite) {
  CContainerUI* root = WhiteRoot();
  auto* button = Add<CButtonUI>(root, L"float=\"true\" pos=\"0,0,200,40\" bkcolor=\"#FF202020\" "
                                      L"textcolor=\"0xffffffff\" text=\"IIIIIIII\" font=\"0\"");
  kwtest::TestHost host(root, 200, 40);
  host.Manager().AddFont(0, L"微软雅黑", 28, true, false, false);
  button->Invalidate();
  host.Paint();
  int white = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 200; ++x) white += Rgb(host.Pixel(x, y)) == 0xFFFFFF;
  EXPECT_GT(white, 40) << "no fully white glyph pixels";
}

TEST(BasicControls, TextThroughGdiUnlessAsked) {
  CContainerUI* root = WhiteRoot();
  Add<CLabelUI>(root, L"text=\"Text\"");
  kwtest::TestHost host(root, 200, 40);
  const std::size_t before = CGdiPlusText::Process().DrawnCount();
  host.Paint();
  EXPECT_EQ(CGdiPlusText::Process().DrawnCount(), before);
  host.Manager().SetUseGdiplusText(true);
  host.Manager().SetGdiplusTextRenderingHint(5);
  host.Paint();
  ASSERT_TRUE(CGdiPlusText::Process().Loaded());
  EXPECT_GT(CGdiPlusText::Process().DrawnCount(), before);
}

}  // namespace
}  // namespace DuiLib
