// The host of the platform's windowless rich-text engine (the text services
// of "Msftedit.dll"): it answers the engine's questions about formats,
// property bits and geometry, hands its timers, caret, capture and
// notifications to the control it serves, and draws it into a DC.
#pragma once
#include <windows.h>
#include <richedit.h>
#include <textserv.h>

#include <string>
#include <string_view>

#include "core/handles.h"

namespace DuiLib {

// What the host needs from the control it serves (the rich edit, or a test's
// stand-in). Rectangles are client coordinates of the window.
class ITxtHostSite {
 public:
  virtual HWND HostWindow() const = 0;
  virtual bool IsHostLayered() const = 0;
  virtual void HostInvalidate(const RECT& rect) = 0;
  virtual bool HostSetTimer(UINT id, UINT elapse) = 0;
  virtual void HostKillTimer(UINT id) = 0;
  virtual void HostSetCapture(bool capture) = 0;
  virtual void HostSetFocus() = 0;
  // EN_CHANGE and the engine's other notifications.
  virtual HRESULT HostNotify(DWORD code, void* data) = 0;

 protected:
  ~ITxtHostSite() = default;
};

// Where the engine comes from. The production source is Msftedit from the
// system folder; tests name missing pieces or load a stand-in.
struct TextEngineSource {
  const wchar_t* library = L"Msftedit.dll";
  const char* entryPoint = "CreateTextServices";
  // The DLL's own export of the text-services IID (mingw's libuuid lacks it).
  const char* servicesIidExport = "IID_ITextServices";
  HMODULE (*load)(const wchar_t* fileName) = nullptr;  // null: kw::LoadSystemLibrary
};

// The source every new host uses unless it is given one.
const TextEngineSource& CurrentTextEngineSource();
class ScopedTextEngineSource {
 public:
  explicit ScopedTextEngineSource(const TextEngineSource& source);
  ~ScopedTextEngineSource();
  ScopedTextEngineSource(const ScopedTextEngineSource&) = delete;
  ScopedTextEngineSource& operator=(const ScopedTextEngineSource&) = delete;

 private:
  TextEngineSource saved_;
};

// The defaults the host reports to the engine.
struct TextHostSettings {
  LOGFONTW font{};              // the control's font
  COLORREF textColor = 0;       // already made non-black for layered windows
  WORD alignment = PFA_LEFT;    // PFA_LEFT, PFA_CENTER, PFA_RIGHT
  bool rich = true;
  bool multiLine = false;
  bool readOnly = false;
  bool password = false;
  bool transparent = true;
  wchar_t passwordChar = L'*';
  DWORD scrollBars = 0;         // ES_AUTOHSCROLL, ES_AUTOVSCROLL, WS_HSCROLL, WS_VSCROLL
  LONG maxLength = 32767;
};

// Height of a logical font in twips at the given DPI (logical fonts carry
// negative heights).
LONG FontHeightToTwips(LONG logicalHeight, int dpi);
// The vertical logical DPI of a window's DC; when that answers 0 the DPI the
// display reports, then 96.
int LogicalDpiOf(HWND window);

class CTxtWinHost final : public ITextHost {
 public:
  // Null when the library, the entry point, the object or its interface is
  // missing: the control then stays without an engine.
  static kw::ComPtr<CTxtWinHost> Create(ITxtHostSite& site, const TextHostSettings& settings,
                                        std::wstring_view initialText,
                                        const TextEngineSource& source = CurrentTextEngineSource());

  ITextServices* Services() const { return services_.Get(); }
  // The engine's answer to a message (0 when it declines).
  LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0, HRESULT* status = nullptr);
  // Releases the engine; later requests do nothing.
  void Shutdown();

  std::wstring GetText();
  // Selects everything and replaces it without an undo step.
  void ReplaceAllText(std::wstring_view text);

  const RECT& ClientRect() const { return clientRect_; }
  SIZEL Extent() const { return extent_; }
  void SetClientRect(const RECT& rect);
  // Draws the text within the client rect, limited to the paint area.
  void Draw(HDC dc, const RECT& paintArea);

  void SetFont(const LOGFONTW& font);
  void SetTextColor(COLORREF color);
  void SetAlignment(WORD alignment);
  void SetRich(bool rich);
  void SetMultiLine(bool multiLine);
  void SetReadOnly(bool readOnly);
  void SetPassword(bool password, wchar_t passwordChar);
  void SetTransparent(bool transparent);
  void SetMaxLength(LONG maxLength);
  void SetScrollBars(DWORD scrollBars);
  const CHARFORMAT2W& CharFormat() const { return charFormat_; }
  const PARAFORMAT2& ParaFormat() const { return paraFormat_; }
  DWORD PropertyBits() const { return propertyBits_; }

  // Focus: the engine is activated (caret shown) or deactivated.
  void OnSetFocus();
  void OnKillFocus();

  bool IsCaretShown() const { return caretShown_; }
  // Caret position and size in client coordinates (empty before the engine made one).
  RECT CaretRect() const;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // ITextHost
  HDC TxGetDC() override;
  INT TxReleaseDC(HDC dc) override;
  WINBOOL TxShowScrollBar(INT bar, WINBOOL show) override;
  WINBOOL TxEnableScrollBar(INT flags, INT arrows) override;
  WINBOOL TxSetScrollRange(INT bar, LONG minPos, INT maxPos, WINBOOL redraw) override;
  WINBOOL TxSetScrollPos(INT bar, INT pos, WINBOOL redraw) override;
  void TxInvalidateRect(LPCRECT rect, WINBOOL mode) override;
  void TxViewChange(WINBOOL update) override;
  WINBOOL TxCreateCaret(HBITMAP bitmap, INT width, INT height) override;
  WINBOOL TxShowCaret(WINBOOL show) override;
  WINBOOL TxSetCaretPos(INT x, INT y) override;
  WINBOOL TxSetTimer(UINT id, UINT timeout) override;
  void TxKillTimer(UINT id) override;
  void TxScrollWindowEx(INT dx, INT dy, LPCRECT scroll, LPCRECT clip, HRGN updateRegion, LPRECT update,
                        UINT flags) override;
  void TxSetCapture(WINBOOL capture) override;
  void TxSetFocus() override;
  void TxSetCursor(HCURSOR cursor, WINBOOL text) override;
  WINBOOL TxScreenToClient(LPPOINT point) override;
  WINBOOL TxClientToScreen(LPPOINT point) override;
  HRESULT TxActivate(LONG* oldState) override;
  HRESULT TxDeactivate(LONG newState) override;
  HRESULT TxGetClientRect(LPRECT rect) override;
  HRESULT TxGetViewInset(LPRECT rect) override;
  HRESULT TxGetCharFormat(const CHARFORMATW** format) override;
  HRESULT TxGetParaFormat(const PARAFORMAT** format) override;
  COLORREF TxGetSysColor(int index) override;
  HRESULT TxGetBackStyle(TXTBACKSTYLE* style) override;
  HRESULT TxGetMaxLength(DWORD* length) override;
  HRESULT TxGetScrollBars(DWORD* scrollBars) override;
  HRESULT TxGetPasswordChar(TCHAR* ch) override;
  HRESULT TxGetAcceleratorPos(LONG* position) override;
  HRESULT TxGetExtent(LPSIZEL extent) override;
  HRESULT OnTxCharFormatChange(const CHARFORMATW* format) override;
  HRESULT OnTxParaFormatChange(const PARAFORMAT* format) override;
  HRESULT TxGetPropertyBits(DWORD mask, DWORD* bits) override;
  HRESULT TxNotify(DWORD code, void* data) override;
  HIMC TxImmGetContext() override;
  void TxImmReleaseContext(HIMC context) override;
  HRESULT TxGetSelectionBarWidth(LONG* width) override;

 private:
  CTxtWinHost(ITxtHostSite& site, const TextHostSettings& settings);
  ~CTxtWinHost();
  void ApplyFont(const LOGFONTW& font);
  // Hands the character format to the engine.
  void CharFormatChanged();
  void SetBit(DWORD bit, bool on);
  void PropertyChanged(DWORD mask);
  void InvalidateCaret();

  ULONG references_ = 1;
  ITxtHostSite& site_;
  // The engine's library; pinned once an engine exists (see Create).
  kw::UniqueModule module_;
  // The engine's clipboard and drag-and-drop need OLE. Uninitialised before
  // the library may go: OLE's last uninitialisation renders what the
  // clipboard holds through the engine's own data object.
  kw::OleScope ole_;
  kw::ComPtr<ITextServices> services_;
  RECT clientRect_{};
  SIZEL extent_{};
  CHARFORMAT2W charFormat_{};
  PARAFORMAT2 paraFormat_{};
  DWORD propertyBits_ = 0;
  bool transparent_ = true;
  wchar_t passwordChar_ = L'*';
  DWORD scrollBars_ = 0;
  LONG maxLength_ = 32767;
  bool active_ = false;
  bool caretShown_ = false;
  SIZE caretSize_{};
  POINT caretPos_{};
};

}  // namespace DuiLib
