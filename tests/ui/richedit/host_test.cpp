// The text host alone over the system's text engine, in a plain window.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/handles.h"
#include "core/system_dll.h"
#include "ui/txt_win_host.h"

namespace {

using DuiLib::CTxtWinHost;
using DuiLib::TextEngineSource;
using DuiLib::TextHostSettings;

// Records what the engine asks of its control.
class RecordingSite : public DuiLib::ITxtHostSite {
 public:
  explicit RecordingSite(HWND window) : window_(window) {}
  HWND HostWindow() const override { return window_; }
  bool IsHostLayered() const override { return layered; }
  void HostInvalidate(const RECT& rect) override { invalidated.push_back(rect); }
  bool HostSetTimer(UINT id, UINT) override {
    timers.push_back(id);
    return true;
  }
  void HostKillTimer(UINT) override {}
  void HostSetCapture(bool) override {}
  void HostSetFocus() override {}
  HRESULT HostNotify(DWORD code, void*) override {
    if (code == EN_CHANGE) ++changes;
    return S_OK;
  }

  bool layered = false;
  int changes = 0;
  std::vector<RECT> invalidated;
  std::vector<UINT> timers;

 private:
  HWND window_;
};

class PlainWindow {
 public:
  PlainWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KwHostTestWindow";
    RegisterClassW(&wc);
    window_.Reset(CreateWindowExW(0, wc.lpszClassName, L"host test", WS_POPUP, 0, 0, 400, 100, nullptr, nullptr,
                                  wc.hInstance, nullptr));
  }
  HWND Get() const { return window_.Get(); }

 private:
  kw::UniqueWindow window_;
};

TextHostSettings PathFieldSettings() {
  TextHostSettings settings;
  settings.font.lfHeight = -14;
  settings.font.lfWeight = FW_NORMAL;
  settings.font.lfCharSet = DEFAULT_CHARSET;
  wcscpy(settings.font.lfFaceName, L"Tahoma");
  settings.textColor = RGB(0, 0, 255);
  settings.rich = false;
  settings.multiLine = false;
  settings.transparent = true;
  settings.scrollBars = ES_AUTOHSCROLL;
  return settings;
}

class TextHost : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(window_.Get(), nullptr);
    host_ = CTxtWinHost::Create(site_, PathFieldSettings(), L"C:\\Program Files\\KWSweep");
    ASSERT_TRUE(host_) << "the system's text engine was not created";
    host_->Send(EM_SETEVENTMASK, 0, ENM_CHANGE);
    host_->SetClientRect(RECT{10, 10, 210, 40});
  }

  PlainWindow window_;
  RecordingSite site_{window_.Get()};
  kw::ComPtr<CTxtWinHost> host_;
};

TEST_F(TextHost, InitialTextAndReplacementRoundTrip) {
  EXPECT_EQ(host_->GetText(), L"C:\\Program Files\\KWSweep");
  const std::wstring cases[] = {
      L"D:\\软件\\清理工具",              // Chinese
      L"C:\\Cafe\u0301\\n\u0303o\u0308",  // combining acute, tilde and diaeresis
      L"E:\\\U0001F600\\x",               // a surrogate pair
      L"",
  };
  for (const std::wstring& text : cases) {
    host_->ReplaceAllText(text);
    EXPECT_EQ(host_->GetText(), text);
  }
}

TEST_F(TextHost, TypedCharactersChangeTheTextOnceEach) {
  host_->OnSetFocus();
  host_->Send(EM_SETSEL, -1, -1);
  site_.changes = 0;
  for (wchar_t ch : std::wstring(L"\\Ab")) host_->Send(WM_CHAR, ch, 1);
  EXPECT_EQ(host_->GetText(), L"C:\\Program Files\\KWSweep\\Ab");
  EXPECT_EQ(site_.changes, 3);
}

TEST_F(TextHost, FormatsAndPropertyBitsFollowTheSettings) {
  const int dpi = DuiLib::LogicalDpiOf(window_.Get());
  const CHARFORMAT2W& cf = host_->CharFormat();
  EXPECT_EQ(cf.yHeight, 14 * 1440 / dpi);
  EXPECT_STREQ(cf.szFaceName, L"Tahoma");
  EXPECT_EQ(cf.crTextColor, RGB(0, 0, 255));
  EXPECT_EQ(cf.dwEffects & (CFE_BOLD | CFE_ITALIC | CFE_UNDERLINE), 0u);
  EXPECT_EQ(host_->ParaFormat().wAlignment, PFA_LEFT);
  EXPECT_EQ(host_->ParaFormat().cTabCount, 1);
  EXPECT_EQ(host_->ParaFormat().rgxTabs[0], 720);

  DWORD bits = 0;
  host_->TxGetPropertyBits(TXTBIT_RICHTEXT | TXTBIT_MULTILINE | TXTBIT_READONLY | TXTBIT_WORDWRAP, &bits);
  EXPECT_EQ(bits, 0u);
  host_->SetReadOnly(true);
  host_->TxGetPropertyBits(TXTBIT_READONLY | TXTBIT_RICHTEXT, &bits);
  EXPECT_EQ(bits, static_cast<DWORD>(TXTBIT_READONLY));
  // The engine itself refuses typing now.
  host_->Send(EM_SETSEL, -1, -1);
  host_->Send(WM_CHAR, L'z', 1);
  EXPECT_EQ(host_->GetText(), L"C:\\Program Files\\KWSweep");

  TXTBACKSTYLE style{};
  host_->TxGetBackStyle(&style);
  EXPECT_EQ(style, TXTBACK_TRANSPARENT);
  SIZEL extent = host_->Extent();
  EXPECT_EQ(extent.cx, 200 * 2540 / dpi);
  EXPECT_EQ(extent.cy, 30 * 2540 / dpi);

  LOGFONTW bold = PathFieldSettings().font;
  bold.lfWeight = FW_BOLD;
  bold.lfItalic = TRUE;
  bold.lfHeight = -21;
  host_->SetFont(bold);
  EXPECT_EQ(host_->CharFormat().yHeight, 21 * 1440 / dpi);
  EXPECT_EQ(host_->CharFormat().dwEffects & (CFE_BOLD | CFE_ITALIC), static_cast<DWORD>(CFE_BOLD | CFE_ITALIC));
}

// Pixels of a white 32-bit surface after the engine drew into it.
struct Surface {
  Surface(int width, int height) : width(width), height(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    bitmap.Reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    pixels = static_cast<std::uint32_t*>(bits);
    dc.Reset(CreateCompatibleDC(nullptr));
    selection = kw::Selection(dc.Get(), bitmap.Get());
    for (int i = 0; i < width * height; ++i) pixels[i] = 0x00FFFFFF;
  }
  bool Changed(int x, int y) const { return (pixels[y * width + x] & 0xFFFFFF) != 0xFFFFFF; }
  int width;
  int height;
  kw::UniqueBitmap bitmap;
  kw::UniqueMemoryDc dc;
  kw::Selection selection;
  std::uint32_t* pixels = nullptr;
};

TEST_F(TextHost, DrawsTransparentlyInsideItsClientRectOnly) {
  Surface surface(260, 60);
  const RECT all{0, 0, 260, 60};
  host_->Draw(surface.dc.Get(), all);
  GdiFlush();
  int inside = 0;
  int outside = 0;
  int blue = 0;
  for (int y = 0; y < surface.height; ++y) {
    for (int x = 0; x < surface.width; ++x) {
      if (!surface.Changed(x, y)) continue;
      const bool in = x >= 10 && x < 210 && y >= 10 && y < 40;
      ++(in ? inside : outside);
      const std::uint32_t p = surface.pixels[y * surface.width + x];
      if ((p & 0xFF) > ((p >> 16) & 0xFF) + 40) ++blue;
    }
  }
  EXPECT_GT(inside, 50) << "no text drawn";
  EXPECT_EQ(outside, 0);
  EXPECT_GT(blue, 20) << "the text colour is not used";
  // The background stayed: the corners of the client rect are untouched.
  EXPECT_FALSE(surface.Changed(10, 10));
  EXPECT_FALSE(surface.Changed(209, 39));
}

TEST_F(TextHost, LongPathScrollsToKeepTheCaretVisible) {
  std::wstring path = L"C:\\";
  while (path.size() < 320) path += L"folder\\";
  host_->OnSetFocus();
  host_->ReplaceAllText(path);
  const LRESULT length = static_cast<LRESULT>(path.size());
  host_->Send(EM_SETSEL, length, length);
  host_->Send(EM_SCROLLCARET);
  POINTL last{};
  host_->Send(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&last), length - 1);
  POINTL first{};
  host_->Send(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&first), 0);
  EXPECT_GE(last.x, 10);
  EXPECT_LT(last.x, 210) << "the end of the path is outside the field";
  EXPECT_LT(first.x, 10) << "the start did not scroll out of view";
  EXPECT_EQ(host_->GetText(), path);
}

TEST_F(TextHost, CaretFollowsTheEngineAndInvalidatesOnLayeredWindows) {
  site_.layered = true;
  host_->OnSetFocus();
  EXPECT_TRUE(host_->IsCaretShown());
  const RECT caret = host_->CaretRect();
  EXPECT_GT(caret.bottom - caret.top, 0);
  EXPECT_GT(caret.right - caret.left, 0);
  EXPECT_GE(caret.left, 10);
  site_.invalidated.clear();
  host_->Send(EM_SETSEL, 5, 5);
  const RECT moved = host_->CaretRect();
  EXPECT_NE(moved.left, caret.left);
  bool oldSeen = false;
  bool newSeen = false;
  for (const RECT& r : site_.invalidated) {
    oldSeen |= EqualRect(&r, &caret) != FALSE;
    newSeen |= EqualRect(&r, &moved) != FALSE;
  }
  EXPECT_TRUE(oldSeen);
  EXPECT_TRUE(newSeen);
  host_->OnKillFocus();
  EXPECT_FALSE(host_->IsCaretShown());
}

HMODULE LoadBesideTests(const wchar_t* name) { return kw::LoadLibraryBesideExecutable(name); }

TEST(TextHostWithoutEngine, EveryMissingPieceLeavesNoHost) {
  PlainWindow window;
  RecordingSite site(window.Get());
  struct Case {
    const char* what;
    TextEngineSource source;
  };
  const Case cases[] = {
      {"library", {L"KwNoSuchTextEngine.dll", "CreateTextServices", "IID_ITextServices", nullptr}},
      {"entry point", {L"Msftedit.dll", "KwNoSuchEntry", "IID_ITextServices", nullptr}},
      {"IID export", {L"Msftedit.dll", "CreateTextServices", "KwNoSuchIid", nullptr}},
      {"object", {L"kwtest_text_engine.dll", "CreateTextServices", "IID_ITextServices", LoadBesideTests}},
      // The object exists but has no interface of that IID.
      {"interface", {L"Msftedit.dll", "CreateTextServices", "IID_ITextHost", nullptr}},
  };
  for (const Case& c : cases) {
    kw::ComPtr<CTxtWinHost> host = CTxtWinHost::Create(site, PathFieldSettings(), L"x", c.source);
    EXPECT_FALSE(host) << c.what;
  }
  // The stand-in itself loads: its object is what is missing.
  kw::UniqueModule standin(LoadBesideTests(L"kwtest_text_engine.dll"));
  EXPECT_TRUE(standin);
}

}  // namespace
