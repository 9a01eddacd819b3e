// The framework's platform-free arithmetic: DPI scaling, attribute values and
// layout distribution. Built into the Windows test program and natively
// (tests/ui/native) from this one file.
#include <gtest/gtest.h>

#include <vector>

#include "ui/dpi_scale.h"
#include "ui/layout_math.h"
#include "ui/value_parse.h"

namespace DuiLib {
namespace {

DpiScale At(int dpi) {
  DpiScale scale;
  scale.SetScaleFromDpi(dpi);
  return scale;
}

struct ScaleCase {
  int dpi;
  int value;
  int scaled;
};

TEST(DpiArithmetic, ScaleRoundsHalvesAwayFromZero) {
  const ScaleCase cases[] = {
      {96, 7, 7},     {120, 1, 1},    {120, 2, 3},    {120, 12, 15},  {120, 14, 18},  {120, -2, -3},
      {144, 1, 2},    {144, 3, 5},    {144, 12, 18},  {144, -1, -2},  {168, 1, 2},    {168, 2, 4},
      {168, 12, 21},  {168, 14, 25},  {168, 28, 49},  {192, 13, 26},  {120, 600, 750}, {144, 460, 690},
  };
  for (const ScaleCase& c : cases) {
    EXPECT_EQ(At(c.dpi).Scale(c.value), c.scaled) << "dpi " << c.dpi << " value " << c.value;
  }
}

TEST(DpiArithmetic, DpiGivesScaleAndSystemScaleOnce) {
  const int dpis[] = {96, 120, 144, 168, 192};
  const int scales[] = {100, 125, 150, 175, 200};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(At(dpis[i]).GetScale(), scales[i]);
  DpiScale scale;
  scale.SetScaleFromDpi(144);
  scale.SetScaleFromDpi(120);
  EXPECT_EQ(scale.GetScale(), 125);
  EXPECT_EQ(scale.GetSystemScale(), 150);
  scale.SetAwareness(DpiScale::SystemAware);
  EXPECT_EQ(scale.Scale(10), 15);
  scale.SetAwareness(DpiScale::Unaware);
  EXPECT_EQ(scale.Scale(10), 10);
  EXPECT_EQ(scale.Unscale(10), 10);
}

TEST(DpiArithmetic, ScaleRectScalesEdgesAndSizesSeparately) {
  struct Case {
    int dpi;
    IntRect in;
    IntRect out;
  } cases[] = {
      {168, {14, 0, 28, 14}, {25, 0, 50, 25}},
      {120, {0, 1, 14, 15}, {0, 1, 18, 19}},
      {144, {14, 0, 28, 14}, {21, 0, 42, 21}},
      {192, {14, 0, 28, 14}, {28, 0, 56, 28}},
      {144, {15, 8, 0, 8}, {23, 12, 0, 12}},  // a rich edit's text padding: right edge via the width
  };
  for (const Case& c : cases) EXPECT_EQ(At(c.dpi).ScaleRect(c.in), c.out) << "dpi " << c.dpi;
}

TEST(DpiArithmetic, UnscaleAndMonitorSnapping) {
  EXPECT_EQ(At(120).Unscale(245), 196);
  EXPECT_EQ(At(144).Unscale(3), 2);
  const int monitor[][2] = {{72, 72}, {96, 96}, {110, 96}, {120, 120}, {143, 120}, {150, 144},
                            {168, 168}, {191, 168}, {192, 192}, {288, 192}};
  for (const auto& m : monitor) EXPECT_EQ(SnapMonitorDpi(m[0]), m[1]) << m[0];
  EXPECT_EQ(MulDivRound(5, 3, 0), -1);
}

TEST(ValueParsing, Integers) {
  EXPECT_EQ(ParseInt(L"42px"), 42);
  EXPECT_EQ(ParseInt(L"-7"), -7);
  EXPECT_EQ(ParseInt(L"+7"), 0);
  EXPECT_EQ(ParseInt(L" 7"), 0);
  EXPECT_EQ(ParseInt(L"-"), 0);
  EXPECT_EQ(ParseInt(L""), 0);
}

TEST(ValueParsing, IntegerListsSplitAtEverySeparator) {
  EXPECT_EQ(ParseIntList(L"0, 0"), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(ParseIntList(L"1,-2,3"), (std::vector<int>{1, -2, 3}));
  EXPECT_EQ(ParseRect(L"16,0,0,0"), (IntRect{16, 0, 0, 0}));
  EXPECT_EQ(ParseRect(L"1,2"), (IntRect{1, 2, 0, 0}));
  EXPECT_EQ(ParseRect(L"10, 20, 30, 40"), (IntRect{10, 0, 20, 0}));
  EXPECT_EQ(ParseSize(L"600,460"), (IntSize{600, 460}));
}

TEST(ValueParsing, Colours) {
  EXPECT_EQ(ParseColor(L"#FF333333"), 0xFF333333u);
  EXPECT_EQ(ParseColor(L"0xffffffff"), 0xFFFFFFFFu);
  EXPECT_EQ(ParseColor(L"#ff8b8989"), 0xFF8B8989u);
  EXPECT_EQ(ParseColor(L""), 0u);
  EXPECT_EQ(ParseColor(L"#FF00;"), 0xFF00u);
}

TEST(ValueParsing, Booleans) {
  for (const wchar_t* yes : {L"true", L"on", L"yes", L"ok", L"1", L"True", L"anything"}) EXPECT_TRUE(ParseBool(yes)) << yes;
  for (const wchar_t* no : {L"false", L"off", L"no", L"cancel", L"0", L""}) EXPECT_FALSE(ParseBool(no)) << no;
}

TEST(ValueParsing, QuotedPairs) {
  const auto pairs = ParseQuotedPairs(L"file='a.png' source=\"0,0,1,1\"  fade='128'");
  ASSERT_EQ(pairs.size(), 3u);
  EXPECT_EQ(pairs[0].key, L"file");
  EXPECT_EQ(pairs[0].value, L"a.png");
  EXPECT_EQ(pairs[1].value, L"0,0,1,1");
  EXPECT_EQ(pairs[2].key, L"fade");
  EXPECT_TRUE(ParseQuotedPairs(L"x='unterminated").empty());
}

TEST(ValueParsing, FloatAlignTokens) {
  EXPECT_EQ(ApplyFloatAlign(0, L"right,vcenter"), static_cast<unsigned>(kFloatAlignRight | kFloatAlignVCenter));
  EXPECT_EQ(ApplyFloatAlign(kFloatAlignRight, L"left bottom"), static_cast<unsigned>(kFloatAlignBottom));
  EXPECT_EQ(ApplyFloatAlign(kFloatAlignCenter | kFloatAlignBottom, L"nullptr"), 0u);
}

// A row of `children` in a content rect, each child estimating its fixed size.
std::vector<IntRect> Row(IntRect content, std::vector<LayoutChild> children, bool balance, int gap = 0) {
  LinearLayoutInput input;
  input.content = content;
  input.available = IntSize{content.Width(), content.Height()};
  input.expandBalance = balance;
  input.childPadding = gap;
  return LayoutHorizontal(input, children,
                          [&](std::size_t i, IntSize) {
                            return IntSize{children[i].fixedWidth, children[i].fixedHeight};
                          })
      .rects;
}

std::vector<int> Widths(const std::vector<IntRect>& rects) {
  std::vector<int> widths;
  for (const IntRect& r : rects) widths.push_back(r.Width());
  return widths;
}

TEST(LayoutArithmetic, AdjustableShares) {
  const std::vector<LayoutChild> three(3);
  EXPECT_EQ(Widths(Row({0, 0, 100, 20}, three, true)), (std::vector<int>{34, 33, 33}));
  EXPECT_EQ(Widths(Row({0, 0, 100, 20}, three, false)), (std::vector<int>{33, 33, 34}));
  // Fixed children first, the rest shared; the last adjustable takes the remainder.
  std::vector<LayoutChild> mixed(3);
  mixed[1].fixedWidth = 40;
  const auto rects = Row({10, 0, 111, 20}, mixed, false, 5);
  EXPECT_EQ(Widths(rects), (std::vector<int>{25, 40, 26}));
  EXPECT_EQ(rects[0].left, 10);
  EXPECT_EQ(rects[1].left, 40);
  EXPECT_EQ(rects[2].right, 111);
}

TEST(LayoutArithmetic, PaddingAndCrossAlignment) {
  LayoutChild child;
  child.fixedWidth = 24;
  child.fixedHeight = 24;
  child.padding = IntRect{16, 0, 0, 0};
  LinearLayoutInput input;
  input.content = IntRect{0, 0, 500, 34};
  input.available = IntSize{500, 34};
  const auto estimate = [](std::size_t, IntSize) { return IntSize{24, 24}; };
  EXPECT_EQ(LayoutHorizontal(input, {child}, estimate).rects[0], (IntRect{16, 0, 40, 24}));
  input.crossAlign = CrossAlign::Center;
  EXPECT_EQ(LayoutHorizontal(input, {child}, estimate).rects[0], (IntRect{16, 5, 40, 29}));
  input.crossAlign = CrossAlign::End;
  EXPECT_EQ(LayoutHorizontal(input, {child}, estimate).rects[0], (IntRect{16, 10, 40, 34}));
}

TEST(LayoutArithmetic, VerticalSharesWithoutBalance) {
  LinearLayoutInput input;
  input.content = IntRect{0, 0, 50, 100};
  input.available = IntSize{50, 100};
  input.expandBalance = true;  // ignored by columns
  const std::vector<LayoutChild> three(3);
  const auto rects =
      LayoutVertical(input, three, [](std::size_t, IntSize) { return IntSize{0, 0}; }).rects;
  ASSERT_EQ(rects.size(), 3u);
  EXPECT_EQ(rects[0], (IntRect{0, 0, 50, 33}));
  EXPECT_EQ(rects[1], (IntRect{0, 33, 50, 66}));
  EXPECT_EQ(rects[2], (IntRect{0, 66, 50, 100}));
}

TEST(LayoutArithmetic, FloatPlacement) {
  const IntRect row{50, 100, 550, 134};
  EXPECT_EQ(FloatPosition(row, kFloatAlignRight | kFloatAlignVCenter, {}, {0, 0}, {38, 34}),
            (IntRect{512, 100, 550, 134}));
  EXPECT_EQ(FloatPosition(row, kFloatAlignCenter, {}, {0, 3}, {100, 10}), (IntRect{250, 103, 350, 113}));
  EXPECT_EQ(FloatPosition(IntRect{0, 0, 600, 460}, 0, {}, {0, 10}, {600, 24}), (IntRect{0, 10, 600, 34}));
  EXPECT_EQ(FloatPosition(IntRect{0, 0, 200, 100}, 0, {0.5, 0.5, 0.5, 0.5}, {0, 0}, {10, 10}),
            (IntRect{100, 50, 110, 60}));
  EXPECT_EQ(CenteredStart(0, 600, 500), 50);
  EXPECT_EQ(CenteredStart(10, 24, 17), 14);
}

}  // namespace
}  // namespace DuiLib
