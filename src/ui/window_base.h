// A platform window as a skinned framework window: CWindowWnd owns the
// handle and routes the window procedure to HandleMessage; CNotifyPump
// dispatches notifications through chained message-map tables;
// WindowImplBase builds the skin on creation, hit-tests caption and sizing
// border, handles the caption buttons and cleans up at the final message.
#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <string_view>

#include "core/handles.h"
#include "ui/dialog_builder.h"
#include "ui/paint_manager.h"
#include "ui/ui_events.h"

namespace DuiLib {

class CControlUI;

class CWindowWnd {
 public:
  CWindowWnd() = default;
  virtual ~CWindowWnd() = default;
  CWindowWnd(const CWindowWnd&) = delete;
  CWindowWnd& operator=(const CWindowWnd&) = delete;

  HWND GetHWND() const { return window_; }
  operator HWND() const { return window_; }

  bool RegisterWindowClass();
  bool RegisterSuperclass();
  HWND Create(HWND parent, std::wstring_view name, DWORD style, DWORD exStyle, int x = CW_USEDEFAULT,
              int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT, int cy = CW_USEDEFAULT, HMENU menu = nullptr);
  HWND Create(HWND parent, std::wstring_view name, DWORD style, DWORD exStyle, const RECT& rect,
              HMENU menu = nullptr);
  HWND Subclass(HWND window);
  void Unsubclass();
  virtual void ShowWindow(bool show = true, bool takeFocus = true);
  UINT ShowModal();
  void Close(UINT result = IDOK);
  void CenterWindow();
  void SetIcon(UINT resourceId);
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  LRESULT PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  void ResizeClient(int cx = -1, int cy = -1);

 protected:
  virtual std::wstring_view GetWindowClassName() const = 0;
  virtual std::wstring_view GetSuperClassName() const;
  virtual UINT GetClassStyle() const;
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  virtual void OnFinalMessage(HWND window);
  // Called by Create just before the system makes the window.
  virtual void BeforeCreateWindow() {}

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT CallPreviousProc(UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
  WNDPROC previousProc_ = ::DefWindowProcW;
  bool subclassed_ = false;
  bool modal_ = false;
  kw::UniqueIcon bigIcon_;
  kw::UniqueIcon smallIcon_;
};

// Message maps: each class's table of {type, control name, handler}, ended
// by an empty entry, chained to its base class's map.
class CNotifyPump;
using NotifyHandler = void (CNotifyPump::*)(TNotifyUI&);

struct NotifyMapEntry {
  const wchar_t* type = nullptr;         // null ends the table
  const wchar_t* controlName = nullptr;  // null or "": any sender
  NotifyHandler handler = nullptr;
};

struct NotifyMap {
  const NotifyMap* base;
  const NotifyMapEntry* entries;
};

// A member handler of a class derived from CNotifyPump as a table entry.
template <class T>
constexpr NotifyHandler NotifyHandlerOf(void (T::*handler)(TNotifyUI&)) {
  return static_cast<NotifyHandler>(handler);
}

class CNotifyPump {
 public:
  virtual ~CNotifyPump() = default;
  bool AddVirtualWnd(std::wstring_view name, CNotifyPump* pump);
  bool RemoveVirtualWnd(std::wstring_view name);
  void NotifyPump(TNotifyUI& notification);
  bool LoopDispatch(TNotifyUI& notification);

  // The map of this class; derived classes return theirs, chained to this.
  virtual const NotifyMap* GetMessageMap() const;
  static const NotifyMap* ClassMessageMap();

 private:
  std::map<std::wstring, CNotifyPump*, std::less<>> virtualWindows_;
};

// Answers texts for controls that show resource texts (not used here).
class IQueryControlText {
 public:
  virtual std::wstring QueryControlText(std::wstring_view key, std::wstring_view controlName) = 0;

 protected:
  ~IQueryControlText() = default;
};

class WindowImplBase : public CWindowWnd,
                       public CNotifyPump,
                       public INotifyUI,
                       public IMessageFilterUI,
                       public IDialogBuilderCallback,
                       public IQueryControlText {
 public:
  WindowImplBase() = default;
  ~WindowImplBase() override = default;

  virtual void InitResource() {}  // the reserved hook
  virtual void OnPrepareCreate() {}
  virtual void InitWindow() {}
  virtual void OnClick(TNotifyUI& notification);
  virtual void OnHeaderClick(TNotifyUI&) {}
  virtual void OnSelectChanged(TNotifyUI&) {}
  virtual void OnTextChanged(TNotifyUI&) {}
  virtual void OnItemSelect(TNotifyUI&) {}
  virtual void OnTimer(TNotifyUI&) {}
  virtual bool IsCaptionControl(CControlUI* control, POINT point);

  void Notify(TNotifyUI& notification) override;
  LRESULT MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
  CControlUI* CreateControl(std::wstring_view className) override;
  std::wstring QueryControlText(std::wstring_view key, std::wstring_view controlName) override;

  const NotifyMap* GetMessageMap() const override;
  static const NotifyMap* ClassMessageMap();

  CPaintManagerUI& GetPaintManager() { return paintManager_; }

 protected:
  virtual std::wstring GetSkinType() { return {}; }
  virtual std::wstring GetSkinFile() = 0;
  virtual std::wstring GetManagerName() { return {}; }
  void BeforeCreateWindow() override;
  virtual LRESULT ResponseDefaultKeyEvent(WPARAM key);

  virtual LRESULT OnClose(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  virtual LRESULT OnDestroy(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  virtual LRESULT OnNcActivate(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  virtual LRESULT OnNcCalcSize(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  virtual LRESULT OnNcPaint(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  virtual LRESULT OnNcHitTest(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  virtual LRESULT OnGetMinMaxInfo(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  virtual LRESULT OnMouseWheel(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  virtual LRESULT OnMouseHover(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  virtual LRESULT OnSize(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  virtual LRESULT OnChar(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  virtual LRESULT OnSysCommand(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  virtual LRESULT OnCreate(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  virtual LRESULT OnKeyDown(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  virtual LRESULT OnKillFocus(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  virtual LRESULT OnSetFocus(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  virtual LRESULT OnLButtonDown(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  virtual LRESULT OnLButtonUp(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  virtual LRESULT OnRButtonDown(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  virtual LRESULT OnRButtonUp(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  virtual LRESULT OnMouseMove(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  virtual LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  virtual LONG GetStyle();

  UINT GetClassStyle() const override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnFinalMessage(HWND window) override;

  CPaintManagerUI paintManager_;
};

}  // namespace DuiLib
