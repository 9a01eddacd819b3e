// The rich edit in real windows under real input (xdotool) and screenshots:
// the install-path field of the installer's skin.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "framework_fixture.h"
#include "ui/rich_edit.h"

using namespace DuiLib;
using kwui::TestWindow;

namespace {

constexpr wchar_t kNormalImage[] = L"file='Image/BkPath.svg' source='0,0,500,34'";
constexpr wchar_t kFocusedImage[] = L"file='Image/BkPath.svg' source='500,0,1000,34'";
constexpr unsigned kNormalFrame = 0xC8C8C8;
constexpr unsigned kFocusedFrame = 0x2080F0;

// The initial view's path row: the field, the floating button at its right
// end, a button before them in the tab order.
std::wstring PathSkin(const std::wstring& windowAttributes, const std::wstring& fieldAttributes = L"") {
  return L"<Window size=\"600,200\" normaltab=\"false\" " + windowAttributes +
         L"><Font id=\"0\" name=\"Tahoma\" size=\"14\" default=\"true\"/><VerticalLayout bkcolor=\"#FFF0F0F0\">"
         L"<TestButton name=\"BtnBefore\" height=\"40\" TabSuppot=\"true\"/>"
         L"<HorizontalLayout width=\"500\" height=\"34\" padding=\"50,0,0,0\">"
         L"<RichEdit name=\"EditInstallPath\" multiline=\"false\" wantreturn=\"false\" rich=\"false\" "
         L"autohscroll=\"true\" textpadding=\"15,8,0,8\" RichEditDpiTextPadding=\"true\" textcolor=\"#FF333333\" "
         L"TabSuppot=\"true\" text=\"C:\\Program Files\\KWSweep\" userdata=\"InstallPath\" normalimage=\"" +
         std::wstring(kNormalImage) + L"\" focusedimage=\"" + kFocusedImage + L"\" " + fieldAttributes +
         L"/><TestButton name=\"BtnSelectPath\" float=\"true\" floatalign=\"right,vcenter\" width=\"38\" "
         L"height=\"34\" TabSuppot=\"true\"/></HorizontalLayout>"
         L"<TestButton name=\"BtnAfter\" height=\"40\" TabSuppot=\"true\"/></VerticalLayout></Window>";
}

std::wstring Xdotool(const std::wstring& arguments) { return L"/usr/bin/xdotool " + arguments; }

class RichEdit : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    kwui::RegisterTestControls();
    CPaintManagerUI::SetResourcePath(KW_RICHEDIT_SKIN);
  }
  static void TearDownTestSuite() { CPaintManagerUI::SetResourcePath(L""); }
  void TearDown() override {
    CPaintManagerUI::SetAllDPI(96);
    kwui::Pump(20);
  }

  bool Open(TestWindow& window) {
    if (!window.Open(100, 100)) return false;
    SetForegroundWindow(window.GetHWND());
    kwui::Pump(100);
    field_ = static_cast<CRichEditUI*>(window.Find(L"EditInstallPath"));
    window_ = &window;
    return field_ != nullptr;
  }
  // Screen point of a client point of the window.
  POINT Screen(POINT client) const {
    ClientToScreen(window_->GetHWND(), &client);
    return client;
  }
  std::wstring MoveTo(POINT client) const {
    const POINT p = Screen(client);
    return L"mousemove " + std::to_wstring(p.x) + L" " + std::to_wstring(p.y);
  }
  POINT InField(int dx = 60) const {
    const RECT r = field_->GetPos();
    return POINT{r.left + dx, (r.top + r.bottom) / 2};
  }
  // xdotool's "type" takes the rest of the line: the pause comes after the tool.
  int Run(const std::wstring& arguments) { return kwui::RunUnix(Xdotool(arguments) + L"; sleep 0.2"); }
  void ClickField() {
    ASSERT_EQ(Run(MoveTo(InField()) + L" sleep 0.1 click 1"), 0);
    ASSERT_EQ(window_->Manager().GetFocus(), field_);
  }
  std::wstring FocusName() const {
    CControlUI* focus = window_->Manager().GetFocus();
    return focus ? focus->GetName() : L"(none)";
  }

  CRichEditUI* field_ = nullptr;
  TestWindow* window_ = nullptr;
};

TEST_F(RichEdit, TypingReturnAndTabInThePathField) {
  TestWindow window(PathSkin(L""));
  ASSERT_TRUE(Open(window));
  ASSERT_TRUE(field_->HasTextHost());
  EXPECT_EQ(field_->GetText(), L"C:\\Program Files\\KWSweep");
  ClickField();

  window.seen.clear();
  ASSERT_EQ(Run(L"key End sleep 0.1 type --delay 60 '\\Ab1'"), 0);
  EXPECT_EQ(field_->GetText(), L"C:\\Program Files\\KWSweep\\Ab1");
  EXPECT_EQ(window.Count(L"textchanged", L"EditInstallPath"), 4) << "one per typed character";

  window.seen.clear();
  ASSERT_EQ(Run(L"key Return"), 0);
  EXPECT_EQ(window.Count(L"return", L"EditInstallPath"), 1);
  EXPECT_EQ(window.Count(L"textchanged"), 0);
  EXPECT_EQ(field_->GetText(), L"C:\\Program Files\\KWSweep\\Ab1");

  window.seen.clear();
  ASSERT_EQ(Run(L"key Tab"), 0);
  EXPECT_EQ(FocusName(), L"BtnSelectPath");
  EXPECT_EQ(field_->GetText(), L"C:\\Program Files\\KWSweep\\Ab1");
  EXPECT_EQ(window.Count(L"textchanged"), 0);
  for (const kwui::Seen& s : window.seen) EXPECT_FALSE(s.type == L"keydown" && s.wParam == VK_TAB);
  // Typing now goes nowhere near the field.
  ASSERT_EQ(Run(L"type x"), 0);
  EXPECT_EQ(field_->GetText(), L"C:\\Program Files\\KWSweep\\Ab1");
}

std::wstring ClipboardText(HWND owner) {
  std::wstring text;
  for (int attempt = 0; attempt < 20 && !OpenClipboard(owner); ++attempt) Sleep(20);
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

TEST_F(RichEdit, SelectAllReplacesCopyAndPasteGoThroughTheClipboard) {
  TestWindow window(PathSkin(L""));
  ASSERT_TRUE(Open(window));
  ClickField();
  ASSERT_EQ(Run(L"key ctrl+a sleep 0.1 type --delay 60 'D:\\Kw'"), 0);
  EXPECT_EQ(field_->GetText(), L"D:\\Kw");

  ASSERT_EQ(Run(L"key ctrl+a sleep 0.1 key ctrl+c"), 0);
  kwui::Pump(100);
  EXPECT_EQ(ClipboardText(window.GetHWND()), L"D:\\Kw");
  ASSERT_EQ(Run(L"key End sleep 0.1 key ctrl+v"), 0);
  EXPECT_EQ(field_->GetText(), L"D:\\KwD:\\Kw");

  // Text another program put on the clipboard comes in too.
  ASSERT_TRUE(OpenClipboard(window.GetHWND()));
  EmptyClipboard();
  const std::wstring outside = L"E:\\软件\\清理";
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (outside.size() + 1) * sizeof(wchar_t));
  wcscpy(static_cast<wchar_t*>(GlobalLock(memory)), outside.c_str());
  GlobalUnlock(memory);
  SetClipboardData(CF_UNICODETEXT, memory);
  CloseClipboard();
  ASSERT_EQ(Run(L"key ctrl+a sleep 0.1 key ctrl+v"), 0);
  EXPECT_EQ(field_->GetText(), outside);
}

// The menu's items as the control offered them, answered with one command.
struct MenuAnswer {
  EditCommand answer = EditCommand::None;
  int shown = 0;
  EditMenuItems9 items{};
};

bool Enabled(const EditMenuItems9& items, EditCommand command) {
  for (const EditMenuItem& item : items) {
    if (item.command == command) return item.enabled;
  }
  return false;
}

TEST_F(RichEdit, ContextMenuCommandsAndGreying) {
  MenuAnswer menu;
  ScopedEditMenuAction replaced([&](HWND, POINT, const EditMenuItems9& items) {
    ++menu.shown;
    menu.items = items;
    return menu.answer;
  });
  TestWindow window(PathSkin(L""));
  ASSERT_TRUE(Open(window));
  ClickField();
  auto rightClick = [&](EditCommand answer, POINT at) {
    menu.answer = answer;
    return Run(MoveTo(at) + L" sleep 0.1 click 3");
  };
  auto text = [&] { return field_->GetText(); };

  // Nothing selected, nothing to undo: only paste and select all.
  field_->TxSendMessage(EM_EMPTYUNDOBUFFER);
  field_->TxSendMessage(EM_SETSEL, 0, 0);
  ASSERT_EQ(rightClick(EditCommand::SelectAll, InField(300)), 0);
  ASSERT_EQ(menu.shown, 1);
  EXPECT_EQ(menu.items[0].text, L"撤销(&U)");
  EXPECT_FALSE(Enabled(menu.items, EditCommand::Undo));
  EXPECT_FALSE(Enabled(menu.items, EditCommand::Redo));
  EXPECT_FALSE(Enabled(menu.items, EditCommand::Cut));
  EXPECT_FALSE(Enabled(menu.items, EditCommand::Copy));
  EXPECT_FALSE(Enabled(menu.items, EditCommand::Clear));
  EXPECT_TRUE(Enabled(menu.items, EditCommand::Paste));
  EXPECT_TRUE(field_->HasSelection()) << "select all";

  // With everything selected: cut, copy, clear are offered.
  ASSERT_EQ(rightClick(EditCommand::Copy, InField(300)), 0);
  EXPECT_TRUE(Enabled(menu.items, EditCommand::Cut));
  EXPECT_TRUE(Enabled(menu.items, EditCommand::Copy));
  EXPECT_TRUE(Enabled(menu.items, EditCommand::Clear));
  EXPECT_EQ(ClipboardText(window.GetHWND()), L"C:\\Program Files\\KWSweep");

  ASSERT_EQ(rightClick(EditCommand::Cut, InField(300)), 0);
  EXPECT_EQ(text(), L"");
  ASSERT_EQ(rightClick(EditCommand::Undo, InField(300)), 0);
  EXPECT_TRUE(Enabled(menu.items, EditCommand::Undo));
  EXPECT_EQ(text(), L"C:\\Program Files\\KWSweep");
  ASSERT_EQ(rightClick(EditCommand::Redo, InField(300)), 0);
  EXPECT_TRUE(Enabled(menu.items, EditCommand::Redo));
  EXPECT_EQ(text(), L"");
  ASSERT_EQ(rightClick(EditCommand::Paste, InField(300)), 0);
  EXPECT_EQ(text(), L"C:\\Program Files\\KWSweep");
  field_->TxSendMessage(EM_SETSEL, 0, 3);
  ASSERT_EQ(rightClick(EditCommand::Clear, InField(300)), 0);
  EXPECT_EQ(text(), L"Program Files\\KWSweep");

  // Read-only: paste, cut and clear are greyed; copy stays with a selection.
  field_->SetReadOnly(true);
  field_->TxSendMessage(EM_SETSEL, 0, 7);
  ASSERT_EQ(rightClick(EditCommand::None, InField(300)), 0);
  EXPECT_FALSE(Enabled(menu.items, EditCommand::Paste));
  EXPECT_FALSE(Enabled(menu.items, EditCommand::Cut));
  EXPECT_FALSE(Enabled(menu.items, EditCommand::Clear));
  EXPECT_TRUE(Enabled(menu.items, EditCommand::Copy));

  // Over the floating button or with the menu unwanted: no menu.
  const int before = menu.shown;
  const RECT button = window.Pos(L"BtnSelectPath");
  ASSERT_EQ(rightClick(EditCommand::None, POINT{(button.left + button.right) / 2, (button.top + button.bottom) / 2}),
            0);
  field_->SetWantMenu(false);
  ASSERT_EQ(rightClick(EditCommand::None, InField(300)), 0);
  EXPECT_EQ(menu.shown, before);
}

TEST_F(RichEdit, TheRealMenuShowsAndRuns) {
  TestWindow window(PathSkin(L""));
  ASSERT_TRUE(Open(window));
  ClickField();
  field_->TxSendMessage(EM_SETSEL, 0, 0);
  // "全选(&A)" by its access key, then typing replaces everything.
  ASSERT_EQ(Run(MoveTo(InField(300)) + L" sleep 0.1 click 3 sleep 0.5 key a sleep 0.3 type Z"), 0);
  EXPECT_EQ(field_->GetText(), L"Z");
}

TEST_F(RichEdit, TextPaddingFollowsTheScale) {
  TestWindow window(PathSkin(L""));
  ASSERT_TRUE(Open(window));
  auto padding = [&] {
    const RECT item = field_->GetPos();
    const RECT text = field_->GetTextRect();
    return std::vector<long>{text.left - item.left, text.top - item.top, item.right - text.right,
                             item.bottom - text.bottom};
  };
  EXPECT_EQ(padding(), (std::vector<long>{15, 8, 0, 8}));
  CPaintManagerUI::SetAllDPI(144);
  kwui::PumpUntil([&] { return field_->GetPos().bottom - field_->GetPos().top == 51; });
  EXPECT_EQ(padding(), (std::vector<long>{23, 12, 0, 12}));
  // The engine draws into exactly that rect.
  const RECT client = field_->GetTextHost()->ClientRect();
  const RECT text = field_->GetTextRect();
  EXPECT_TRUE(EqualRect(&client, &text));
  // Without the rich edit's own switch the padding stays as written.
  field_->SetRichEditDpiTextPadding(false);
  EXPECT_EQ(padding(), (std::vector<long>{15, 8, 0, 8}));
}

unsigned At(const std::vector<unsigned>& shot, int width, int x, int y) {
  return shot[static_cast<std::size_t>(y) * width + x];
}

// The rows of the field's text that hold ink (pixels darker than the frame),
// relative to the text rect: first and one past the last.
struct InkRows {
  int top = 0;
  int bottom = 0;
  int Height() const { return bottom - top; }
  double Centre() const { return (top + bottom) / 2.0; }
};

TEST_F(RichEdit, FontFollowsTheScaleAndTheTextStaysCentred) {
  TestWindow window(PathSkin(L""));
  ASSERT_TRUE(Open(window));
  ASSERT_EQ(Run(L"mousemove 5 5"), 0);
  auto ink = [&](int scale) {
    kwui::Pump(200);
    const RECT text = field_->GetTextRect();
    const POINT corner = Screen(POINT{text.left, text.top});
    const int width = 200 * scale / 100;
    const int height = text.bottom - text.top;
    const std::vector<unsigned> shot = kwui::Screenshot(RECT{corner.x, corner.y, corner.x + width, corner.y + height});
    InkRows rows{height, 0};
    if (shot.size() != static_cast<std::size_t>(width) * height) return InkRows{};
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        if ((At(shot, width, x, y) & 0xFF) >= 0x80) continue;
        rows.top = std::min(rows.top, y);
        rows.bottom = std::max(rows.bottom, y + 1);
      }
    }
    return rows;
  };
  const auto at96 = ink(100);
  ASSERT_GT(at96.Height(), 6) << "no text drawn at 96 DPI";
  const int rect96 = field_->GetTextRect().bottom - field_->GetTextRect().top;
  CPaintManagerUI::SetAllDPI(144);
  kwui::PumpUntil([&] { return field_->GetPos().bottom - field_->GetPos().top == 51; });
  const auto at144 = ink(150);
  const int rect144 = field_->GetTextRect().bottom - field_->GetTextRect().top;
  // The glyphs grow with the scale (rounding of the font sizes aside).
  EXPECT_NEAR(at144.Height(), at96.Height() * 1.5, 2.0) << at96.Height() << " px at 96 DPI";
  // And keep their place in the text rect: as centred as at 96 DPI.
  EXPECT_NEAR(at144.Centre() - rect144 / 2.0, (at96.Centre() - rect96 / 2.0) * 1.5, 2.0)
      << "ink rows " << at144.top << ".." << at144.bottom << " of " << rect144;
  // The new font is no edit of the person's.
  EXPECT_FALSE(field_->CanUndo());
}

TEST_F(RichEdit, FocusedImageShowsWhileTheMouseIsElsewhere) {
  TestWindow window(PathSkin(L""));
  ASSERT_TRUE(Open(window));
  const RECT pos = field_->GetPos();
  const POINT corner = Screen(POINT{pos.left, pos.top});
  const RECT area{corner.x, corner.y, corner.x + 500, corner.y + 34};
  auto frame = [&] {
    const std::vector<unsigned> shot = kwui::Screenshot(area);
    return shot.size() == 500u * 34u ? At(shot, 500, 100, 0) : 0xDEADu;
  };
  ASSERT_EQ(Run(L"mousemove 5 5"), 0);
  kwui::Pump(100);
  EXPECT_EQ(frame(), kNormalFrame);
  ClickField();
  ASSERT_EQ(Run(L"mousemove 5 5"), 0);
  kwui::Pump(100);
  EXPECT_EQ(frame(), kFocusedFrame);
  // The text is drawn inside the frame, in the field's colour (#333333).
  const std::vector<unsigned> shot = kwui::Screenshot(area);
  ASSERT_EQ(shot.size(), 500u * 34u);
  int dark = 0;
  for (int y = 8; y < 26; ++y) {
    for (int x = 15; x < 200; ++x) dark += (At(shot, 500, x, y) & 0xFF) < 0x80;
  }
  EXPECT_GT(dark, 40);
}

TEST_F(RichEdit, LayeredCaretBlinksAndNothingElseChanges) {
  TestWindow window(PathSkin(L"layered=\"true\""));
  ASSERT_TRUE(Open(window));
  ASSERT_TRUE(window.Manager().IsLayered());
  ClickField();
  ASSERT_EQ(Run(L"key End mousemove 5 5"), 0);
  const UINT blink = GetCaretBlinkTime();
  const RECT rect = window.WindowRect();
  const int width = rect.right - rect.left;
  // Several pairs half a blink period apart: each pair differs only at the caret.
  int differing = 0;
  for (int pair = 0; pair < 3; ++pair) {
    const std::vector<unsigned> first = kwui::Screenshot(rect);
    kwui::Pump(blink);
    const std::vector<unsigned> second = kwui::Screenshot(rect);
    ASSERT_EQ(first.size(), second.size());
    ASSERT_FALSE(first.empty());
    RECT caret = field_->GetTextHost()->CaretRect();
    InflateRect(&caret, 1, 1);
    for (std::size_t i = 0; i < first.size(); ++i) {
      if (first[i] == second[i]) continue;
      const POINT p{static_cast<LONG>(i % width), static_cast<LONG>(i / width)};
      EXPECT_TRUE(PtInRect(&caret, p)) << "change at " << p.x << "," << p.y;
      ++differing;
    }
  }
  EXPECT_GT(differing, 0) << "the caret never blinked";
}

TEST_F(RichEdit, LongPathScrollsInsideTheField) {
  TestWindow window(PathSkin(L""));
  ASSERT_TRUE(Open(window));
  std::wstring path = L"C:\\";
  while (path.size() < 320) path += L"长路径\\folder\\";
  field_->SetText(path);
  ClickField();
  ASSERT_EQ(Run(L"key End"), 0);
  const RECT text = field_->GetTextRect();
  const auto length = static_cast<LPARAM>(path.size());
  POINTL last{};
  field_->TxSendMessage(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&last), length - 1);
  POINTL first{};
  field_->TxSendMessage(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&first), 0);
  EXPECT_GE(last.x, text.left);
  EXPECT_LT(last.x, text.right);
  EXPECT_LT(first.x, text.left);
  EXPECT_EQ(field_->GetText(), path);
  // Nothing of the text shows left of the field's padding.
  const RECT pos = field_->GetPos();
  const POINT corner = Screen(POINT{pos.left, pos.top});
  const std::vector<unsigned> shot = kwui::Screenshot(RECT{corner.x, corner.y, corner.x + 15, corner.y + 34});
  ASSERT_EQ(shot.size(), 15u * 34u);
  for (int y = 3; y < 31; ++y) {
    for (int x = 3; x < 15; ++x) EXPECT_EQ(At(shot, 15, x, y), 0xFFFFFFu) << x << "," << y;
  }
}

TEST_F(RichEdit, ChineseAndCombiningMarksRoundTrip) {
  TestWindow window(PathSkin(L""));
  ASSERT_TRUE(Open(window));
  const std::wstring cases[] = {L"D:\\软件\\清理工具", L"C:\\Cafe\u0301\\n\u0303", L"E:\\\U0001F600", L""};
  for (const std::wstring& text : cases) {
    field_->SetText(text);
    EXPECT_EQ(field_->GetText(), text);
  }
}

TEST_F(RichEdit, WithoutTheEngineOnlyTheImagesShow) {
  ScopedTextEngineSource missing(TextEngineSource{L"KwNoSuchTextEngine.dll", "CreateTextServices",
                                                  "IID_ITextServices", nullptr});
  TestWindow window(PathSkin(L""));
  ASSERT_TRUE(Open(window));
  EXPECT_FALSE(field_->HasTextHost());
  EXPECT_EQ(field_->GetText(), L"");
  field_->SetText(L"X:\\stored");
  EXPECT_EQ(field_->GetText(), L"");
  ASSERT_EQ(Run(MoveTo(InField()) + L" sleep 0.1 click 1 sleep 0.1 key Return sleep 0.1 type abc"), 0);
  EXPECT_EQ(window.Count(L"textchanged"), 0);
  EXPECT_EQ(window.Count(L"return"), 0);
  ASSERT_EQ(Run(L"mousemove 5 5"), 0);
  const RECT pos = field_->GetPos();
  const POINT corner = Screen(POINT{pos.left, pos.top});
  const std::vector<unsigned> shot = kwui::Screenshot(RECT{corner.x, corner.y, corner.x + 500, corner.y + 34});
  ASSERT_EQ(shot.size(), 500u * 34u);
  EXPECT_EQ(At(shot, 500, 100, 0), kFocusedFrame);  // clicked: focused, its image drawn
  for (int x = 15; x < 300; ++x) EXPECT_EQ(At(shot, 500, x, 17), 0xFFFFFFu) << x;  // no text
}

}  // namespace
