// The rich edit's arithmetic and rules.
#include <gtest/gtest.h>

#include "ui/rich_edit_math.h"

namespace {

using namespace DuiLib;

TEST(RichEditMath, Units) {
  struct Case {
    long height;
    int dpi;
    long twips;
  } const cases[] = {{-14, 96, 210}, {-21, 144, 210}, {-18, 120, 216}, {14, 96, 210}, {-14, 0, 0}};
  for (const Case& c : cases) EXPECT_EQ(TwipsFromFontHeight(c.height, c.dpi), c.twips) << c.height << "@" << c.dpi;
  EXPECT_EQ(HimetricFromPixels(96, 96), 2540);
  EXPECT_EQ(HimetricFromPixels(300, 144), 5291);
  EXPECT_EQ(HimetricFromPixels(10, 0), 0);
}

TEST(RichEditMath, DisplayRatioDpi) {
  struct Case {
    double ratio;
    int dpi;
  } const cases[] = {{0.5, 0}, {1.0, 0}, {1.25, 120}, {1.5, 144}, {1.6, 144}, {1.75, 168}, {2.0, 192}, {3.0, 192}};
  for (const Case& c : cases) EXPECT_EQ(DpiFromDisplayRatio(c.ratio), c.dpi) << c.ratio;
}

TEST(RichEditMath, TextRectIsTheItemMinusInsetAndPadding) {
  // The path field at 150 %: padding 15,8,0,8 scaled to 23,12,0,12.
  EXPECT_EQ(TextRectOf({0, 0, 750, 51}, {}, {23, 12, 0, 12}), (IntRect{23, 12, 750, 39}));
  EXPECT_EQ(TextRectOf({10, 20, 110, 60}, {1, 2, 3, 4}, {5, 6, 7, 8}), (IntRect{16, 28, 100, 48}));
  // Padding larger than the control leaves an empty rect, never an inverted one.
  EXPECT_EQ(TextRectOf({0, 0, 20, 10}, {}, {15, 8, 15, 8}), (IntRect{15, 8, 15, 8}));
}

TEST(RichEditMath, ReturnRule) {
  struct Case {
    bool wantReturn, wantCtrlReturn, ctrl, engine;
  } const cases[] = {
      {false, false, false, false}, {false, true, true, false}, {true, true, false, true},
      {true, true, true, true},     {true, false, true, false}, {true, false, false, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ReturnGoesToEngine(c.wantReturn, c.wantCtrlReturn, c.ctrl), c.engine)
        << c.wantReturn << c.wantCtrlReturn << c.ctrl;
}

TEST(RichEditMath, MenuGreying) {
  struct Case {
    bool undo, redo, readOnly, selection;
    // enabled: undo, redo, cut, copy, paste, clear, select all
    bool enabled[7];
  } const cases[] = {
      {false, false, false, false, {false, false, false, false, true, false, true}},
      {true, true, false, true, {true, true, true, true, true, true, true}},
      {true, false, true, true, {true, false, false, true, false, false, true}},
      {false, true, true, false, {false, true, false, false, false, false, true}},
  };
  const EditCommand order[] = {EditCommand::Undo,  EditCommand::Redo,  EditCommand::Cut,      EditCommand::Copy,
                               EditCommand::Paste, EditCommand::Clear, EditCommand::SelectAll};
  for (const Case& c : cases) {
    const auto items = EditMenuItems(c.undo, c.redo, c.readOnly, c.selection);
    int command = 0;
    for (const EditMenuItem& item : items) {
      if (item.command == EditCommand::None) continue;
      ASSERT_LT(command, 7);
      EXPECT_EQ(item.command, order[command]);
      EXPECT_EQ(item.enabled, c.enabled[command]) << static_cast<int>(item.command);
      ++command;
    }
    EXPECT_EQ(command, 7);
    EXPECT_EQ(items[2].command, EditCommand::None);
    EXPECT_EQ(items[7].command, EditCommand::None);
  }
  EXPECT_EQ(EditMenuItems(false, false, false, false)[0].text, L"撤销(&U)");
  EXPECT_EQ(EditMenuItems(false, false, false, false)[8].text, L"全选(&A)");
}

}  // namespace
