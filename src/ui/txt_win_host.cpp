#include "ui/txt_win_host.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/system_dll.h"
#include "ui/rich_edit_math.h"

namespace DuiLib {

namespace {

// {C5BDD8D0-D26E-11CE-A89E-00AA006CADC5}, for engines that do not export it.
constexpr IID kTextHostIid = {0xc5bdd8d0, 0xd26e, 0x11ce, {0xa8, 0x9e, 0x00, 0xaa, 0x00, 0x6c, 0xad, 0xc5}};

using CreateTextServicesFn = HRESULT(STDAPICALLTYPE*)(IUnknown* outer, ITextHost* host, IUnknown** object);

TextEngineSource& SourceSlot() {
  static TextEngineSource source;
  return source;
}

int DisplayDerivedDpi(HDC dc) {
  const int logicalWidth = GetDeviceCaps(dc, HORZRES);
  const int physicalWidth = GetDeviceCaps(dc, DESKTOPHORZRES);
  if (logicalWidth > 0) {
    if (int dpi = DpiFromDisplayRatio(static_cast<double>(physicalWidth) / logicalWidth)) return dpi;
  }
  // The per-monitor query (Shcore, Windows 8.1 and later).
  using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  static const HMODULE shcore = kw::LoadSystemLibrary(L"Shcore.dll");
  if (auto query = kw::ModuleProc<GetDpiForMonitorFn>(shcore, "GetDpiForMonitor")) {
    UINT dpiX = 0;
    UINT dpiY = 0;
    const HMONITOR monitor = MonitorFromWindow(WindowFromDC(dc), MONITOR_DEFAULTTOPRIMARY);
    if (SUCCEEDED(query(monitor, 0, &dpiX, &dpiY)) && dpiY > 0) return static_cast<int>(dpiY);
  }
  return 0;
}

}  // namespace

const TextEngineSource& CurrentTextEngineSource() { return SourceSlot(); }

ScopedTextEngineSource::ScopedTextEngineSource(const TextEngineSource& source) : saved_(SourceSlot()) {
  SourceSlot() = source;
}

ScopedTextEngineSource::~ScopedTextEngineSource() { SourceSlot() = saved_; }

LONG FontHeightToTwips(LONG logicalHeight, int dpi) { return TwipsFromFontHeight(logicalHeight, dpi); }

int LogicalDpiOf(HWND window) {
  kw::WindowDc dc(window);
  if (!dc) return 96;
  int dpi = GetDeviceCaps(dc.Get(), LOGPIXELSY);
  if (dpi <= 0) dpi = DisplayDerivedDpi(dc.Get());
  return dpi > 0 ? dpi : 96;
}

kw::ComPtr<CTxtWinHost> CTxtWinHost::Create(ITxtHostSite& site, const TextHostSettings& settings,
                                            std::wstring_view initialText, const TextEngineSource& source) {
  kw::ComPtr<CTxtWinHost> host(new CTxtWinHost(site, settings));
  host->module_.Reset(source.load ? source.load(source.library) : kw::LoadSystemLibrary(source.library));
  auto create = kw::ModuleProc<CreateTextServicesFn>(host->module_.Get(), source.entryPoint);
  auto servicesIid = kw::ModuleProc<const IID*>(host->module_.Get(), source.servicesIidExport);
  if (!create || !servicesIid) return {};
  kw::ComPtr<IUnknown> object;
  if (FAILED(create(nullptr, host.Get(), object.Receive())) || !object) return {};
  if (FAILED(object->QueryInterface(*reinterpret_cast<const IID*>(servicesIid), host->services_.ReceiveVoid())) ||
      !host->services_)
    return {};
  // The clipboard may hold the engine's data objects after every host is
  // gone: its code stays loaded for the life of the process.
  HMODULE pinned = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(create)), &pinned);
  const std::wstring text(initialText);
  host->services_->TxSetText(text.c_str());
  return host;
}

CTxtWinHost::CTxtWinHost(ITxtHostSite& site, const TextHostSettings& settings)
    : site_(site),
      transparent_(settings.transparent),
      passwordChar_(settings.passwordChar),
      scrollBars_(settings.scrollBars),
      maxLength_(settings.maxLength) {
  charFormat_.cbSize = sizeof(charFormat_);
  ApplyFont(settings.font);
  charFormat_.crTextColor = settings.textColor;
  charFormat_.dwMask |= CFM_COLOR;

  paraFormat_.cbSize = sizeof(paraFormat_);
  paraFormat_.dwMask = PFM_ALL;
  paraFormat_.wAlignment = settings.alignment;
  paraFormat_.cTabCount = 1;
  paraFormat_.rgxTabs[0] = 720;  // half an inch

  SetBit(TXTBIT_RICHTEXT, settings.rich);
  SetBit(TXTBIT_MULTILINE, settings.multiLine);
  SetBit(TXTBIT_READONLY, settings.readOnly);
  SetBit(TXTBIT_USEPASSWORD, settings.password);
  // Only a multi-line text without horizontal scrolling wraps.
  SetBit(TXTBIT_WORDWRAP, settings.multiLine && !(settings.scrollBars & (ES_AUTOHSCROLL | WS_HSCROLL)));
}

CTxtWinHost::~CTxtWinHost() { Shutdown(); }

void CTxtWinHost::Shutdown() {
  if (!services_) return;
  if (active_) services_->OnTxInPlaceDeactivate();
  active_ = false;
  services_.Reset();
}

LRESULT CTxtWinHost::Send(UINT message, WPARAM wParam, LPARAM lParam, HRESULT* status) {
  LRESULT result = 0;
  HRESULT hr = E_FAIL;
  if (services_) hr = services_->TxSendMessage(message, wParam, lParam, &result);
  if (status) *status = hr;
  return result;
}

std::wstring CTxtWinHost::GetText() {
  if (!services_) return {};
  GETTEXTLENGTHEX lengthQuery{GTL_DEFAULT, 1200};
  const LRESULT length = Send(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthQuery), 0);
  if (length <= 0) return {};
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
  GETTEXTEX textQuery{};
  textQuery.cb = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  textQuery.flags = GT_DEFAULT;
  textQuery.codepage = 1200;
  const LRESULT copied = Send(EM_GETTEXTEX, reinterpret_cast<WPARAM>(&textQuery),
                              reinterpret_cast<LPARAM>(buffer.data()));
  const std::size_t count = std::min<std::size_t>(copied > 0 ? static_cast<std::size_t>(copied) : 0, length);
  return std::wstring(buffer.data(), count);
}

void CTxtWinHost::ReplaceAllText(std::wstring_view text) {
  if (!services_) return;
  const std::wstring copy(text);
  Send(EM_SETSEL, 0, -1);
  Send(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(copy.c_str()));
}

void CTxtWinHost::SetClientRect(const RECT& rect) {
  clientRect_ = rect;
  const int dpi = LogicalDpiOf(site_.HostWindow());
  extent_.cx = HimetricFromPixels(rect.right - rect.left, dpi);
  extent_.cy = HimetricFromPixels(rect.bottom - rect.top, dpi);
  if (!services_) return;
  if (!active_) {
    active_ = SUCCEEDED(services_->OnTxInPlaceActivate(&clientRect_));
  }
  services_->OnTxPropertyBitsChange(TXTBIT_CLIENTRECTCHANGE | TXTBIT_EXTENTCHANGE,
                                    TXTBIT_CLIENTRECTCHANGE | TXTBIT_EXTENTCHANGE);
}

void CTxtWinHost::Draw(HDC dc, const RECT& paintArea) {
  if (!services_) return;
  RECT area{};
  if (!IntersectRect(&area, &paintArea, &clientRect_)) return;
  RECTL bounds{clientRect_.left, clientRect_.top, clientRect_.right, clientRect_.bottom};
  services_->TxDraw(DVASPECT_CONTENT, 0, nullptr, nullptr, dc, nullptr, &bounds, nullptr, &area, nullptr, 0,
                    TXTVIEW_ACTIVE);
}

void CTxtWinHost::ApplyFont(const LOGFONTW& font) {
  const int dpi = LogicalDpiOf(site_.HostWindow());
  charFormat_.yHeight = FontHeightToTwips(font.lfHeight, dpi);
  charFormat_.yOffset = 0;
  charFormat_.dwEffects = 0;
  if (font.lfWeight >= FW_BOLD) charFormat_.dwEffects |= CFE_BOLD;
  if (font.lfItalic) charFormat_.dwEffects |= CFE_ITALIC;
  if (font.lfUnderline) charFormat_.dwEffects |= CFE_UNDERLINE;
  charFormat_.bCharSet = font.lfCharSet;
  charFormat_.bPitchAndFamily = font.lfPitchAndFamily;
  const std::size_t faceLength = wcsnlen(font.lfFaceName, LF_FACESIZE - 1);
  std::memset(charFormat_.szFaceName, 0, sizeof(charFormat_.szFaceName));
  std::memcpy(charFormat_.szFaceName, font.lfFaceName, faceLength * sizeof(wchar_t));
  charFormat_.dwMask |= CFM_SIZE | CFM_OFFSET | CFM_FACE | CFM_CHARSET | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE;
}

void CTxtWinHost::SetBit(DWORD bit, bool on) {
  if (on)
    propertyBits_ |= bit;
  else
    propertyBits_ &= ~bit;
}

void CTxtWinHost::PropertyChanged(DWORD mask) {
  if (services_) services_->OnTxPropertyBitsChange(mask, propertyBits_ & mask);
}

void CTxtWinHost::SetFont(const LOGFONTW& font) {
  ApplyFont(font);
  CharFormatChanged();
}

void CTxtWinHost::SetTextColor(COLORREF color) {
  charFormat_.crTextColor = color;
  charFormat_.dwMask |= CFM_COLOR;
  CharFormatChanged();
}

void CTxtWinHost::CharFormatChanged() {
  if (!services_) return;
  services_->OnTxPropertyBitsChange(TXTBIT_CHARFORMATCHANGE, TXTBIT_CHARFORMATCHANGE);
  // Some engines read the host's character format only when they are made:
  // the format also goes to their default and to the text there is. That is
  // no edit of the person's, so it leaves no undo step of its own.
  const bool couldUndo = Send(EM_CANUNDO) != 0;
  CHARFORMAT2W format = charFormat_;
  Send(EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
  Send(EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
  if (!couldUndo) Send(EM_EMPTYUNDOBUFFER);
}

void CTxtWinHost::SetAlignment(WORD alignment) {
  paraFormat_.wAlignment = alignment;
  if (services_) services_->OnTxPropertyBitsChange(TXTBIT_PARAFORMATCHANGE, TXTBIT_PARAFORMATCHANGE);
}

void CTxtWinHost::SetRich(bool rich) {
  SetBit(TXTBIT_RICHTEXT, rich);
  PropertyChanged(TXTBIT_RICHTEXT);
}

void CTxtWinHost::SetMultiLine(bool multiLine) {
  SetBit(TXTBIT_MULTILINE, multiLine);
  SetBit(TXTBIT_WORDWRAP, multiLine && !(scrollBars_ & (ES_AUTOHSCROLL | WS_HSCROLL)));
  PropertyChanged(TXTBIT_MULTILINE | TXTBIT_WORDWRAP);
}

void CTxtWinHost::SetReadOnly(bool readOnly) {
  SetBit(TXTBIT_READONLY, readOnly);
  PropertyChanged(TXTBIT_READONLY);
}

void CTxtWinHost::SetPassword(bool password, wchar_t passwordChar) {
  passwordChar_ = passwordChar;
  SetBit(TXTBIT_USEPASSWORD, password);
  PropertyChanged(TXTBIT_USEPASSWORD);
}

void CTxtWinHost::SetTransparent(bool transparent) {
  transparent_ = transparent;
  if (services_) services_->OnTxPropertyBitsChange(TXTBIT_BACKSTYLECHANGE, 0);
}

void CTxtWinHost::SetMaxLength(LONG maxLength) {
  maxLength_ = maxLength;
  if (services_) services_->OnTxPropertyBitsChange(TXTBIT_MAXLENGTHCHANGE, TXTBIT_MAXLENGTHCHANGE);
}

void CTxtWinHost::SetScrollBars(DWORD scrollBars) {
  scrollBars_ = scrollBars;
  SetBit(TXTBIT_WORDWRAP, (propertyBits_ & TXTBIT_MULTILINE) && !(scrollBars & (ES_AUTOHSCROLL | WS_HSCROLL)));
  PropertyChanged(TXTBIT_WORDWRAP);
  if (services_) services_->OnTxPropertyBitsChange(TXTBIT_SCROLLBARCHANGE, TXTBIT_SCROLLBARCHANGE);
}

void CTxtWinHost::OnSetFocus() {
  if (!services_) return;
  if (!active_) active_ = SUCCEEDED(services_->OnTxInPlaceActivate(&clientRect_));
  services_->OnTxUIActivate();
  Send(WM_SETFOCUS, 0, 0);
}

void CTxtWinHost::OnKillFocus() {
  if (!services_) return;
  Send(WM_KILLFOCUS, 0, 0);
  services_->OnTxUIDeactivate();
}

RECT CTxtWinHost::CaretRect() const {
  return RECT{caretPos_.x, caretPos_.y, caretPos_.x + caretSize_.cx, caretPos_.y + caretSize_.cy};
}

void CTxtWinHost::InvalidateCaret() {
  const RECT caret = CaretRect();
  if (caret.right > caret.left && caret.bottom > caret.top) site_.HostInvalidate(caret);
}

// IUnknown

HRESULT CTxtWinHost::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, kTextHostIid)) {
    *object = static_cast<ITextHost*>(this);
  } else if (auto exported = kw::ModuleProc<const IID*>(module_.Get(), "IID_ITextHost");
             exported && IsEqualIID(riid, *reinterpret_cast<const IID*>(exported))) {
    *object = static_cast<ITextHost*>(this);
  }
  if (!*object) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

ULONG CTxtWinHost::AddRef() { return ++references_; }

ULONG CTxtWinHost::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

// ITextHost

HDC CTxtWinHost::TxGetDC() { return GetDC(site_.HostWindow()); }

// The engine's callback whose contract is to give back the DC TxGetDC handed out.
INT CTxtWinHost::TxReleaseDC(HDC dc) { return ReleaseDC(site_.HostWindow(), dc); }

// The control has no platform scroll bars: the engine scrolls its view.
WINBOOL CTxtWinHost::TxShowScrollBar(INT, WINBOOL) { return FALSE; }
WINBOOL CTxtWinHost::TxEnableScrollBar(INT, INT) { return FALSE; }
WINBOOL CTxtWinHost::TxSetScrollRange(INT, LONG, INT, WINBOOL) { return FALSE; }
WINBOOL CTxtWinHost::TxSetScrollPos(INT, INT, WINBOOL) { return FALSE; }

void CTxtWinHost::TxInvalidateRect(LPCRECT rect, WINBOOL) { site_.HostInvalidate(rect ? *rect : clientRect_); }

void CTxtWinHost::TxViewChange(WINBOOL) {}

WINBOOL CTxtWinHost::TxCreateCaret(HBITMAP bitmap, INT width, INT height) {
  // Width 0 asks for the system's border width, as CreateCaret does.
  caretSize_ = SIZE{width > 0 ? width : GetSystemMetrics(SM_CXBORDER), height > 0 ? height : GetSystemMetrics(SM_CYBORDER)};
  return CreateCaret(site_.HostWindow(), bitmap, width, height);
}

WINBOOL CTxtWinHost::TxShowCaret(WINBOOL show) {
  caretShown_ = show != FALSE;
  if (site_.IsHostLayered()) InvalidateCaret();
  return show ? ShowCaret(site_.HostWindow()) : HideCaret(site_.HostWindow());
}

WINBOOL CTxtWinHost::TxSetCaretPos(INT x, INT y) {
  const bool layered = site_.IsHostLayered();
  if (layered) InvalidateCaret();
  caretPos_ = POINT{x, y};
  if (layered) InvalidateCaret();
  return SetCaretPos(x, y);
}

WINBOOL CTxtWinHost::TxSetTimer(UINT id, UINT timeout) { return site_.HostSetTimer(id, timeout); }

void CTxtWinHost::TxKillTimer(UINT id) { site_.HostKillTimer(id); }

void CTxtWinHost::TxScrollWindowEx(INT, INT, LPCRECT scroll, LPCRECT, HRGN, LPRECT, UINT) {
  site_.HostInvalidate(scroll ? *scroll : clientRect_);
}

void CTxtWinHost::TxSetCapture(WINBOOL capture) { site_.HostSetCapture(capture != FALSE); }

void CTxtWinHost::TxSetFocus() { site_.HostSetFocus(); }

void CTxtWinHost::TxSetCursor(HCURSOR cursor, WINBOOL) { SetCursor(cursor); }

WINBOOL CTxtWinHost::TxScreenToClient(LPPOINT point) { return ScreenToClient(site_.HostWindow(), point); }

WINBOOL CTxtWinHost::TxClientToScreen(LPPOINT point) { return ClientToScreen(site_.HostWindow(), point); }

HRESULT CTxtWinHost::TxActivate(LONG* oldState) {
  if (oldState) *oldState = 0;
  return S_OK;
}

HRESULT CTxtWinHost::TxDeactivate(LONG) { return S_OK; }

HRESULT CTxtWinHost::TxGetClientRect(LPRECT rect) {
  if (!rect) return E_INVALIDARG;
  *rect = clientRect_;
  return S_OK;
}

HRESULT CTxtWinHost::TxGetViewInset(LPRECT rect) {
  if (!rect) return E_INVALIDARG;
  *rect = RECT{};  // the padding is already outside the client rect
  return S_OK;
}

HRESULT CTxtWinHost::TxGetCharFormat(const CHARFORMATW** format) {
  if (!format) return E_INVALIDARG;
  *format = reinterpret_cast<const CHARFORMATW*>(&charFormat_);
  return S_OK;
}

HRESULT CTxtWinHost::TxGetParaFormat(const PARAFORMAT** format) {
  if (!format) return E_INVALIDARG;
  *format = reinterpret_cast<const PARAFORMAT*>(&paraFormat_);
  return S_OK;
}

COLORREF CTxtWinHost::TxGetSysColor(int index) { return GetSysColor(index); }

HRESULT CTxtWinHost::TxGetBackStyle(TXTBACKSTYLE* style) {
  if (!style) return E_INVALIDARG;
  *style = transparent_ ? TXTBACK_TRANSPARENT : TXTBACK_OPAQUE;
  return S_OK;
}

HRESULT CTxtWinHost::TxGetMaxLength(DWORD* length) {
  if (!length) return E_INVALIDARG;
  *length = static_cast<DWORD>(maxLength_);
  return S_OK;
}

HRESULT CTxtWinHost::TxGetScrollBars(DWORD* scrollBars) {
  if (!scrollBars) return E_INVALIDARG;
  *scrollBars = scrollBars_;
  return S_OK;
}

HRESULT CTxtWinHost::TxGetPasswordChar(TCHAR* ch) {
  if (!ch) return E_INVALIDARG;
  *ch = passwordChar_;
  return S_OK;
}

HRESULT CTxtWinHost::TxGetAcceleratorPos(LONG* position) {
  if (!position) return E_INVALIDARG;
  *position = -1;
  return S_OK;
}

HRESULT CTxtWinHost::TxGetExtent(LPSIZEL extent) {
  if (!extent) return E_INVALIDARG;
  *extent = extent_;
  return S_OK;
}

HRESULT CTxtWinHost::OnTxCharFormatChange(const CHARFORMATW*) { return S_OK; }

HRESULT CTxtWinHost::OnTxParaFormatChange(const PARAFORMAT*) { return S_OK; }

HRESULT CTxtWinHost::TxGetPropertyBits(DWORD mask, DWORD* bits) {
  if (!bits) return E_INVALIDARG;
  *bits = propertyBits_ & mask;
  return S_OK;
}

HRESULT CTxtWinHost::TxNotify(DWORD code, void* data) { return site_.HostNotify(code, data); }

namespace {
// IMM is looked up at run time, so the UI library adds no import of its own.
HMODULE ImmModule() {
  static const HMODULE imm = kw::LoadSystemLibrary(L"imm32.dll");
  return imm;
}
}  // namespace

HIMC CTxtWinHost::TxImmGetContext() {
  using GetContextFn = HIMC(WINAPI*)(HWND);
  auto getContext = kw::ModuleProc<GetContextFn>(ImmModule(), "ImmGetContext");
  return getContext ? getContext(site_.HostWindow()) : nullptr;
}

void CTxtWinHost::TxImmReleaseContext(HIMC context) {
  using ReleaseContextFn = BOOL(WINAPI*)(HWND, HIMC);
  if (auto release = kw::ModuleProc<ReleaseContextFn>(ImmModule(), "ImmReleaseContext"))
    release(site_.HostWindow(), context);
}

HRESULT CTxtWinHost::TxGetSelectionBarWidth(LONG* width) {
  if (!width) return E_INVALIDARG;
  *width = 0;
  return S_OK;
}

}  // namespace DuiLib
