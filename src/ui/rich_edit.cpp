#include "ui/rich_edit.h"

#include <windowsx.h>

#include <algorithm>
#include <span>

#include "ui/attribute_table.h"
#include "ui/image_types.h"
#include "ui/paint_manager.h"
#include "ui/render.h"
#include "ui/value_parse.h"

namespace DuiLib {

namespace {

EditCommand TrackEditMenu(HWND owner, POINT screenPoint, const EditMenuItems9& items) {
  kw::UniqueMenu menu(CreatePopupMenu());
  if (!menu) return EditCommand::None;
  for (const EditMenuItem& item : items) {
    if (item.command == EditCommand::None) {
      AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
      continue;
    }
    const std::wstring text(item.text);
    AppendMenuW(menu.Get(), MF_STRING | (item.enabled ? MF_ENABLED : MF_GRAYED), static_cast<UINT_PTR>(item.command),
                text.c_str());
  }
  const UINT chosen = static_cast<UINT>(TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN |
                                                                       TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                                       screenPoint.x, screenPoint.y, 0, owner, nullptr));
  return static_cast<EditCommand>(chosen);
}

EditMenuAction& MenuActionSlot() {
  static EditMenuAction action = TrackEditMenu;
  return action;
}

RECT ToRect(const IntRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }
IntRect ToIntRect(const RECT& r) { return IntRect{r.left, r.top, r.right, r.bottom}; }

EditTextAlign ParseAlign(std::wstring_view value) {
  if (value.find(L"center") != std::wstring_view::npos) return EditTextAlign::Center;
  if (value.find(L"right") != std::wstring_view::npos) return EditTextAlign::Right;
  return EditTextAlign::Left;
}

WORD ParagraphAlignment(EditTextAlign align) {
  switch (align) {
    case EditTextAlign::Center:
      return PFA_CENTER;
    case EditTextAlign::Right:
      return PFA_RIGHT;
    default:
      return PFA_LEFT;
  }
}

// Status image slots of SetImage.
enum ImageState { kNormalImage, kHotImage, kFocusedImage, kDisabledImage };

}  // namespace

const EditMenuAction& CurrentEditMenuAction() { return MenuActionSlot(); }

ScopedEditMenuAction::ScopedEditMenuAction(EditMenuAction action) : saved_(MenuActionSlot()) {
  if (action) MenuActionSlot() = std::move(action);
}

ScopedEditMenuAction::~ScopedEditMenuAction() { MenuActionSlot() = std::move(saved_); }

// The attribute table: names the skin writes, in the order of the class's fields.
struct RichEditAttributes {
  using Setter = AttributeSetter<CRichEditUI>;
  static void Style(CRichEditUI& c, DWORD bit, std::wstring_view v) { c.SetWinStyleBit(bit, ParseBool(v)); }
  static constexpr Setter kTable[] = {
      {L"vscrollbar", [](CRichEditUI& c, std::wstring_view v) { Style(c, WS_VSCROLL, v); }},
      {L"hscrollbar", [](CRichEditUI& c, std::wstring_view v) { Style(c, WS_HSCROLL, v); }},
      {L"autovscroll", [](CRichEditUI& c, std::wstring_view v) { Style(c, ES_AUTOVSCROLL, v); }},
      {L"autohscroll", [](CRichEditUI& c, std::wstring_view v) { Style(c, ES_AUTOHSCROLL, v); }},
      {L"multiline", [](CRichEditUI& c, std::wstring_view v) { c.SetMultiLine(ParseBool(v)); }},
      {L"wanttab", [](CRichEditUI& c, std::wstring_view v) { c.SetWantTab(ParseBool(v)); }},
      {L"wantreturn", [](CRichEditUI& c, std::wstring_view v) { c.SetWantReturn(ParseBool(v)); }},
      {L"wantctrlreturn", [](CRichEditUI& c, std::wstring_view v) { c.SetWantCtrlReturn(ParseBool(v)); }},
      {L"transparent", [](CRichEditUI& c, std::wstring_view v) { c.SetTransparent(ParseBool(v)); }},
      {L"rich", [](CRichEditUI& c, std::wstring_view v) { c.SetRich(ParseBool(v)); }},
      {L"readonly", [](CRichEditUI& c, std::wstring_view v) { c.SetReadOnly(ParseBool(v)); }},
      {L"password", [](CRichEditUI& c, std::wstring_view v) { c.SetPassword(ParseBool(v)); }},
      {L"align", [](CRichEditUI& c, std::wstring_view v) { c.SetTextAlign(ParseAlign(v)); }},
      {L"font", [](CRichEditUI& c, std::wstring_view v) { c.SetFont(ParseInt(v)); }},
      {L"textcolor", [](CRichEditUI& c, std::wstring_view v) { c.SetTextColor(ParseColor(v)); }},
      {L"maxchar", [](CRichEditUI& c, std::wstring_view v) { c.SetLimitText(ParseInt(v)); }},
      {L"normalimage", [](CRichEditUI& c, std::wstring_view v) { c.SetImage(kNormalImage, v); }},
      {L"hotimage", [](CRichEditUI& c, std::wstring_view v) { c.SetImage(kHotImage, v); }},
      {L"focusedimage", [](CRichEditUI& c, std::wstring_view v) { c.SetImage(kFocusedImage, v); }},
      {L"disabledimage", [](CRichEditUI& c, std::wstring_view v) { c.SetImage(kDisabledImage, v); }},
      {L"textpadding", [](CRichEditUI& c, std::wstring_view v) { c.SetTextPadding(ToRect(ParseRect(v))); }},
      {L"RichEditDpiTextPadding", [](CRichEditUI& c, std::wstring_view v) { c.SetRichEditDpiTextPadding(ParseBool(v)); }},
      {L"tipvalue", [](CRichEditUI& c, std::wstring_view v) { c.SetTipValue(v); }},
      {L"tipvaluecolor", [](CRichEditUI& c, std::wstring_view v) { c.tipValueColor_ = ParseColor(v); }},
      {L"tipvalueendellipsis", [](CRichEditUI& c, std::wstring_view v) { c.tipValueEndEllipsis_ = ParseBool(v); }},
      {L"tipvaluealign", [](CRichEditUI& c, std::wstring_view v) { c.tipValueAlign_ = ParseAlign(v); }},
      {L"FocusShowTipValue", [](CRichEditUI& c, std::wstring_view v) { c.focusShowsTipValue_ = ParseBool(v); }},
      {L"TipValuePadding", [](CRichEditUI& c, std::wstring_view v) { c.tipValuePadding_ = ToRect(ParseRect(v)); }},
      {L"EnabledAlpha", [](CRichEditUI& c, std::wstring_view v) { c.SetEnabledAlpha(ParseBool(v)); }},
      {L"WantMenu", [](CRichEditUI& c, std::wstring_view v) { c.SetWantMenu(ParseBool(v)); }},
      {L"CaretFollowTextColor", [](CRichEditUI& c, std::wstring_view v) { c.SetCaretFollowTextColor(ParseBool(v)); }},
      {L"firstfocus", [](CRichEditUI& c, std::wstring_view v) { c.firstFocus_ = ParseBool(v); }},
      {L"autoselall", [](CRichEditUI& c, std::wstring_view v) { c.SetAutoSelAll(ParseBool(v)); }},
      // Resource switching is not used by this control.
      {L"NormalImageSwitchRes", [](CRichEditUI&, std::wstring_view) {}},
      {L"HotImageSwitchRes", [](CRichEditUI&, std::wstring_view) {}},
      {L"FocusImageSwitchRes", [](CRichEditUI&, std::wstring_view) {}},
      {L"TipTextColorSwitchRes", [](CRichEditUI&, std::wstring_view) {}},
      {L"NativeBkColorSwitchRes", [](CRichEditUI&, std::wstring_view) {}},
      {L"NativeTextColorSwitchRes", [](CRichEditUI&, std::wstring_view) {}},
  };
};

CRichEditUI::CRichEditUI() = default;

CRichEditUI::~CRichEditUI() {
  if (manager_) {
    if (filterAdded_) manager_->RemoveMessageFilter(this);
    manager_->KillTimers(this);
  }
  if (host_) host_->Shutdown();
  host_.Reset();
}

std::wstring_view CRichEditUI::GetClassName() const { return L"RichEdit"; }

void* CRichEditUI::FindInterface(std::wstring_view name) {
  if (name == L"RichEdit") return static_cast<CRichEditUI*>(this);
  return CContainerUI::FindInterface(name);
}

UINT CRichEditUI::GetControlFlags() const { return UIFLAG_SETCURSOR | (IsEnabled() ? UIFLAG_TABSTOP : 0); }

std::wstring CRichEditUI::GetText() const { return host_ ? host_->GetText() : std::wstring(); }

void CRichEditUI::SetText(std::wstring_view text) {
  text_ = text;
  if (host_) host_->ReplaceAllText(text);
}

LRESULT CRichEditUI::TxSendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
  return host_ ? host_->Send(message, wParam, lParam) : 0;
}

void CRichEditUI::SetTransparent(bool on) {
  transparent_ = on;
  if (host_) host_->SetTransparent(on);
  Invalidate();
}

void CRichEditUI::SetRich(bool on) {
  rich_ = on;
  if (host_) host_->SetRich(on);
}

void CRichEditUI::SetReadOnly(bool on) {
  readOnly_ = on;
  if (host_) host_->SetReadOnly(on);
}

void CRichEditUI::SetPassword(bool on) {
  password_ = on;
  if (host_) host_->SetPassword(on, passwordChar_);
}

void CRichEditUI::SetMultiLine(bool on) {
  SetWinStyleBit(ES_MULTILINE, on);
  if (host_) host_->SetMultiLine(on);
}

void CRichEditUI::SetWinStyleBit(DWORD bit, bool on) {
  if (on)
    style_ |= bit;
  else
    style_ &= ~bit;
  if (host_ && bit != ES_MULTILINE) host_->SetScrollBars(style_ & (ES_AUTOHSCROLL | ES_AUTOVSCROLL | WS_HSCROLL | WS_VSCROLL));
}

void CRichEditUI::SetLimitText(int maxChars) {
  maxChars_ = maxChars;
  if (host_) host_->SetMaxLength(maxChars);
}

void CRichEditUI::SetTextAlign(EditTextAlign align) {
  align_ = align;
  if (host_) host_->SetAlignment(ParagraphAlignment(align));
}

void CRichEditUI::SetFont(int fontId) {
  fontId_ = fontId;
  if (host_) host_->SetFont(FontOfControl());
}

void CRichEditUI::OnDpiFontChanged() { SetFont(fontId_); }

void CRichEditUI::SetTextColor(DWORD argb) {
  textColor_ = argb;
  ApplyTextColor();
  Invalidate();
}

void CRichEditUI::SetImage(int state, std::wstring_view descriptor) {
  std::wstring* slots[] = {&normalImage_, &hotImage_, &focusedImage_, &disabledImage_};
  if (state < 0 || state > kDisabledImage) return;
  *slots[state] = descriptor;
  Invalidate();
}

RECT CRichEditUI::GetTextPadding() const {
  if (manager_ && dpiTextPaddingOwn_ && IsDPITextPadding()) return manager_->ScaleRect(textPadding_);
  return textPadding_;
}

RECT CRichEditUI::GetTextRect() const {
  // The rich edit uses its inset as written.
  return ToRect(TextRectOf(ToIntRect(itemRect_), ToIntRect(inset_), ToIntRect(GetTextPadding())));
}

bool CRichEditUI::IsInTextRect(POINT point) const {
  const RECT text = GetTextRect();
  return PtInRect(&text, point) != FALSE;
}

LOGFONTW CRichEditUI::FontOfControl() const {
  LOGFONTW font{};
  HFONT handle = manager_ ? manager_->GetFont(fontId_) : nullptr;
  if (!handle) handle = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  GetObjectW(handle, sizeof(font), &font);
  return font;
}

COLORREF CRichEditUI::EngineTextColor() const {
  const DWORD argb = IsEnabled() || !manager_ ? textColor_ : manager_->GetDefaultDisabledColor();
  COLORREF color = ToColorRef(argb);
  // Black pixels stay transparent on a layered window: keep the text just off black.
  if (manager_ && manager_->IsLayered() && color == RGB(0, 0, 0)) color = RGB(0, 0, 1);
  return color;
}

void CRichEditUI::ApplyTextColor() {
  if (host_) host_->SetTextColor(EngineTextColor());
}

TextHostSettings CRichEditUI::MakeSettings() const {
  TextHostSettings settings;
  settings.font = FontOfControl();
  settings.textColor = EngineTextColor();
  settings.alignment = ParagraphAlignment(align_);
  settings.rich = rich_;
  settings.multiLine = IsMultiLine();
  settings.readOnly = readOnly_;
  settings.password = password_;
  settings.transparent = transparent_;
  settings.passwordChar = passwordChar_;
  settings.scrollBars = style_ & (ES_AUTOHSCROLL | ES_AUTOVSCROLL | WS_HSCROLL | WS_VSCROLL);
  settings.maxLength = maxChars_;
  return settings;
}

void CRichEditUI::DoInit() {
  if (!manager_) return;
  if (!filterAdded_) filterAdded_ = manager_->AddMessageFilter(this);
  if (host_) return;
  host_ = CTxtWinHost::Create(*this, MakeSettings(), text_);
  if (!host_) return;  // without an engine the control only shows its images
  host_->Send(EM_SETLANGOPTIONS, 0, 0);
  host_->Send(EM_SETEVENTMASK, 0, ENM_CHANGE | ENM_DROPFILES | ENM_LINK);
  host_->SetClientRect(GetTextRect());
  if (manager_->IsLayered()) caretTimerStarted_ = SetTimer(kCaretTimerId, GetCaretBlinkTime());
  if (!IsEnabled()) ApplyTextColor();
}

void CRichEditUI::SetEnabled(bool enabled) {
  CContainerUI::SetEnabled(enabled);
  ApplyTextColor();
}

void CRichEditUI::SetPos(RECT rect, bool invalidate) {
  CContainerUI::SetPos(rect, invalidate);
  if (host_) host_->SetClientRect(GetTextRect());
}

bool CRichEditUI::CanUndo() const { return TxSendMessage(EM_CANUNDO) != 0; }
bool CRichEditUI::CanRedo() const { return TxSendMessage(EM_CANREDO) != 0; }

bool CRichEditUI::HasSelection() const {
  CHARRANGE range{};
  TxSendMessage(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
  return range.cpMax != range.cpMin;
}

void CRichEditUI::Execute(EditCommand command) {
  if (!host_) return;
  switch (command) {
    case EditCommand::Undo:
      host_->Send(EM_UNDO);
      break;
    case EditCommand::Redo:
      host_->Send(EM_REDO);
      break;
    case EditCommand::Cut:
      host_->Send(WM_CUT);
      break;
    case EditCommand::Copy:
      host_->Send(WM_COPY);
      break;
    case EditCommand::Paste:
      host_->Send(WM_PASTE);
      break;
    case EditCommand::Clear:
      host_->Send(WM_CLEAR);
      break;
    case EditCommand::SelectAll:
      host_->Send(EM_SETSEL, 0, -1);
      break;
    case EditCommand::None:
      break;
  }
}

bool CRichEditUI::ShowContextMenu(LPARAM lParam) {
  if (!wantMenu_ || !manager_) return false;
  const HWND window = manager_->GetPaintWindow();
  POINT screen{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  POINT client = screen;
  if (screen.x == -1 && screen.y == -1) {
    // From the keyboard: at the caret of the focused field.
    if (!IsFocused() || !host_) return false;
    const RECT caret = host_->CaretRect();
    client = POINT{caret.left, caret.bottom};
    screen = client;
    ClientToScreen(window, &screen);
  } else {
    ScreenToClient(window, &client);
    if (manager_->FindControl(client) != this) return false;
  }
  const auto items = EditMenuItems(CanUndo(), CanRedo(), readOnly_, HasSelection());
  Execute(CurrentEditMenuAction()(window, screen, items));
  return true;
}

void CRichEditUI::HandleEvent(TEventUI& event) {
  const bool mouseEvent = event.type > UIEVENT__MOUSEBEGIN && event.type < UIEVENT__MOUSEEND;
  if (mouseEvent && !IsMouseEnabled()) {
    if (parent_) {
      parent_->Event(event);
    } else {
      CContainerUI::HandleEvent(event);
    }
    return;
  }
  const bool engine = host_ && IsEnabled();
  switch (event.type) {
    case UIEVENT_SETCURSOR:
      if (engine && IsInTextRect(event.mousePoint)) {
        const RECT client = host_->ClientRect();
        host_->Services()->OnTxSetCursor(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, nullptr, &client,
                                         event.mousePoint.x, event.mousePoint.y);
        return;
      }
      break;
    case UIEVENT_SETFOCUS:
      CContainerUI::HandleEvent(event);
      if (host_) {
        host_->OnSetFocus();
        if (autoSelectAll_) host_->Send(EM_SETSEL, 0, -1);
      }
      caretBlinkOn_ = true;
      return;
    case UIEVENT_KILLFOCUS:
      if (host_) host_->OnKillFocus();
      caretBlinkOn_ = false;
      CContainerUI::HandleEvent(event);
      return;
    case UIEVENT_TIMER:
      if (event.wParam == kCaretTimerId) {
        if (IsFocused() && manager_ && ::GetFocus() == manager_->GetPaintWindow()) {
          caretBlinkOn_ = !caretBlinkOn_;
          const RECT caret = CaretRectClipped();
          if (!IsRectEmpty(&caret)) manager_->Invalidate(caret);
        }
        return;
      }
      CContainerUI::HandleEvent(event);  // "timer"
      if (host_) host_->Send(WM_TIMER, event.wParam, event.lParam);
      return;
    case UIEVENT_MOUSEENTER:
      hot_ = true;
      Invalidate();
      break;
    case UIEVENT_MOUSELEAVE:
      hot_ = false;
      Invalidate();
      break;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
    case UIEVENT_RBUTTONDOWN:
      if (engine && IsInTextRect(event.mousePoint)) {
        const UINT message = event.type == UIEVENT_BUTTONDOWN  ? WM_LBUTTONDOWN
                             : event.type == UIEVENT_DBLCLICK ? WM_LBUTTONDBLCLK
                                                               : WM_RBUTTONDOWN;
        host_->Send(message, event.wParam, event.lParam);
      }
      return;
    case UIEVENT_BUTTONUP:
    case UIEVENT_RBUTTONUP:
      if (engine && (engineCapture_ || IsInTextRect(event.mousePoint)))
        host_->Send(event.type == UIEVENT_BUTTONUP ? WM_LBUTTONUP : WM_RBUTTONUP, event.wParam, event.lParam);
      return;
    case UIEVENT_MOUSEMOVE:
      if (engine && (engineCapture_ || IsInTextRect(event.mousePoint)))
        host_->Send(WM_MOUSEMOVE, event.wParam, event.lParam);
      break;
    case UIEVENT_SCROLLWHEEL:
      if (engine && IsMultiLine()) host_->Send(WM_MOUSEWHEEL, MAKEWPARAM(0, HIWORD(event.wParam)), event.lParam);
      break;
    case UIEVENT_KEYDOWN:
    case UIEVENT_CHAR:
      return;  // the message filter gave keys to the engine already
    default:
      break;
  }
  CContainerUI::HandleEvent(event);
}

LRESULT CRichEditUI::MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  handled = false;
  if (!host_ || !manager_ || !IsVisible() || !IsEnabled()) return 0;
  if (message == WM_CONTEXTMENU) {
    handled = ShowContextMenu(lParam);
    return 0;
  }
  if (!IsFocused()) return 0;
  switch (message) {
    case WM_KEYDOWN: {
      if (wParam == VK_TAB) return 0;  // the manager moves the focus; the engine never sees Tab
      if (wParam == VK_RETURN &&
          !ReturnGoesToEngine(wantReturn_, wantCtrlReturn_, GetKeyState(VK_CONTROL) < 0)) {
        swallowReturnChar_ = true;
        handled = true;
        manager_->SendNotify(this, L"return");
        return 0;
      }
      if (wParam != VK_RETURN) manager_->SendNotify(this, L"keydown", wParam, lParam);
      handled = true;
      return host_ ? host_->Send(message, wParam, lParam) : 0;
    }
    case WM_CHAR:
      handled = true;
      if (wParam == L'\t') return 0;
      if (wParam == L'\r' || wParam == L'\n') {
        if (std::exchange(swallowReturnChar_, false)) return 0;
      }
      return host_->Send(message, wParam, lParam);
    case WM_KEYUP:
      host_->Send(message, wParam, lParam);
      return 0;
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_COMPOSITION:
    case WM_IME_ENDCOMPOSITION:
    case WM_IME_CHAR:
    case WM_IME_REQUEST: {
      HRESULT status = S_FALSE;
      const LRESULT result = host_->Send(message, wParam, lParam, &status);
      handled = status == S_OK;
      return result;
    }
    default:
      return 0;
  }
}

void CRichEditUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (manager_ && manager_->GetStyle(value)) {
    CContainerUI::SetAttribute(name, value);
    return;
  }
  if (ApplyFromTable(std::span<const RichEditAttributes::Setter>(RichEditAttributes::kTable), *this, name, value))
    return;
  CContainerUI::SetAttribute(name, value);
}

void CRichEditUI::PaintStatusImage(HDC dc) {
  std::wstring_view chosen;
  if (!IsEnabled()) {
    chosen = disabledImage_;
  } else if (IsFocused()) {
    chosen = focusedImage_;
  } else if (hot_) {
    chosen = hotImage_;
  }
  if (!chosen.empty() && DrawImage(dc, chosen)) return;
  if (!normalImage_.empty()) DrawImage(dc, normalImage_);
}

void CRichEditUI::PaintText(HDC dc) {
  PaintTipValue(dc);
  if (!host_) return;
  const RECT text = GetTextRect();
  RECT area{};
  if (IntersectRect(&area, &text, &PaintRect())) {
    CRenderClip clip;
    CRenderClip::GenerateClip(dc, area, clip);
    host_->Draw(dc, area);
    if (enabledAlpha_) FixTextAlpha(dc);
  }
  PaintCaret(dc);
}

void CRichEditUI::PaintTipValue(HDC dc) {
  if (tipValue_.empty() || (IsFocused() && !focusShowsTipValue_)) return;
  if (host_ ? host_->Send(WM_GETTEXTLENGTH) != 0 : !text_.empty()) return;
  RECT padding = tipValuePadding_;
  if (manager_) padding = manager_->ScaleRect(padding);
  RECT rect{itemRect_.left + padding.left, itemRect_.top + padding.top, itemRect_.right - padding.right,
            itemRect_.bottom - padding.bottom};
  UINT style = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
  if (tipValueAlign_ == EditTextAlign::Center) style |= DT_CENTER;
  if (tipValueAlign_ == EditTextAlign::Right) style |= DT_RIGHT;
  if (tipValueEndEllipsis_) style |= DT_END_ELLIPSIS;
  CRenderEngine::DrawText(dc, manager_, rect, tipValue_, tipValueColor_, fontId_, style);
}

RECT CRichEditUI::CaretRectClipped() const {
  if (!host_) return RECT{};
  RECT caret = host_->CaretRect();
  if (!IntersectRect(&caret, &caret, &itemRect_)) return RECT{};
  for (CControlUI* ancestor = parent_; ancestor; ancestor = ancestor->GetParent()) {
    if (!IntersectRect(&caret, &caret, &ancestor->GetPos())) return RECT{};
  }
  return caret;
}

void CRichEditUI::PaintCaret(HDC dc) {
  if (!host_->IsCaretShown() || !manager_->IsLayered() || !IsFocused() || !caretBlinkOn_) return;
  const RECT caret = CaretRectClipped();
  RECT visible{};
  if (!IntersectRect(&visible, &caret, &PaintRect())) return;
  const DWORD color = caretFollowsTextColor_ ? (textColor_ | 0xFF000000) : 0xFF000000;
  CRenderEngine::DrawColor(dc, visible, color);
}

void CRichEditUI::FixTextAlpha(HDC dc) {
  const COffscreenSurface& surface = manager_->GetOffscreenSurface();
  if (dc != surface.Dc() || !surface.Pixels()) return;
  RECT area{};
  const RECT bounds{0, 0, surface.Width(), surface.Height()};
  const RECT text = GetTextRect();
  if (!IntersectRect(&area, &text, &bounds)) return;
  GdiFlush();
  const std::uint32_t first = surface.Row(area.top)[area.left];
  const std::uint32_t firstAlpha = first >> 24;
  for (int y = area.top; y < area.bottom; ++y) {
    std::uint32_t* row = surface.Row(y);
    for (int x = area.left; x < area.right; ++x) {
      const std::uint32_t pixel = row[x];
      if ((pixel & 0xFF000000) != 0 || (pixel & 0x00FFFFFF) == 0) continue;
      const std::uint32_t strongest = std::max({(pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF});
      row[x] = pixel | (std::max(firstAlpha, strongest) << 24);
    }
  }
}

// ITxtHostSite

HWND CRichEditUI::HostWindow() const { return manager_ ? manager_->GetPaintWindow() : nullptr; }

bool CRichEditUI::IsHostLayered() const { return manager_ && manager_->IsLayered(); }

void CRichEditUI::HostInvalidate(const RECT& rect) {
  if (!manager_ || !IsVisible()) return;
  RECT area{};
  if (!IntersectRect(&area, &rect, &itemRect_)) return;
  for (CControlUI* ancestor = parent_; ancestor; ancestor = ancestor->GetParent()) {
    if (!IntersectRect(&area, &area, &ancestor->GetPos())) return;
  }
  manager_->Invalidate(area);
}

bool CRichEditUI::HostSetTimer(UINT id, UINT elapse) {
  if (!manager_) return false;
  // A running timer of that id keeps running; the engine asked for it again.
  if (SetTimer(id, elapse)) return true;
  KillTimer(id);
  return SetTimer(id, elapse);
}

void CRichEditUI::HostKillTimer(UINT id) { KillTimer(id); }

void CRichEditUI::HostSetCapture(bool capture) {
  engineCapture_ = capture;
  if (!manager_) return;
  if (capture) {
    manager_->SetCapture();
  } else {
    manager_->ReleaseCapture();
  }
}

void CRichEditUI::HostSetFocus() { SetFocus(); }

HRESULT CRichEditUI::HostNotify(DWORD code, void* data) {
  if (!manager_) return S_OK;
  if (code == EN_CHANGE) {
    manager_->SendNotify(this, L"textchanged");
    return S_OK;
  }
  // The rich-edit notifications (0x0700 and up) carry an NMHDR the host fills.
  NMHDR local{};
  NMHDR* header = code >= EN_MSGFILTER && data ? static_cast<NMHDR*>(data) : &local;
  header->hwndFrom = manager_->GetPaintWindow();
  header->idFrom = 0;
  header->code = code;
  ::SendMessageW(manager_->GetPaintWindow(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(header));
  return S_OK;
}

}  // namespace DuiLib
