// What controls receive (events) and what they report (notifications), and
// the interfaces that listen to a window's messages and notifications.
#pragma once
#include <windows.h>

#include <string>

namespace DuiLib {

class CControlUI;

// Kinds of TEventUI. The ranges keep mouse and keyboard events apart.
enum UIEvent {
  UIEVENT__FIRST = 1,
  UIEVENT__KEYBEGIN,
  UIEVENT_KEYDOWN,
  UIEVENT_KEYUP,
  UIEVENT_CHAR,
  UIEVENT_SYSKEY,
  UIEVENT__KEYEND,
  UIEVENT__MOUSEBEGIN,
  UIEVENT_MOUSEMOVE,
  UIEVENT_MOUSELEAVE,
  UIEVENT_MOUSEENTER,
  UIEVENT_MOUSEHOVER,
  UIEVENT_BUTTONDOWN,
  UIEVENT_BUTTONUP,
  UIEVENT_RBUTTONDOWN,
  UIEVENT_RBUTTONUP,
  UIEVENT_MBUTTONDOWN,
  UIEVENT_MBUTTONUP,
  UIEVENT_DBLCLICK,
  UIEVENT_CONTEXTMENU,
  UIEVENT_SCROLLWHEEL,
  UIEVENT__MOUSEEND,
  UIEVENT_BEGINDRAG,
  UIEVENT_DRAGMOVEBEGIN,
  UIEVENT_DRAGMOVING,
  UIEVENT_DRAGMOVEEND,
  UIEVENT_KILLFOCUS,
  UIEVENT_SETFOCUS,
  UIEVENT_WINDOWSIZE,
  UIEVENT_SETCURSOR,
  UIEVENT_TIMER,
  UIEVENT__LAST,
};

// Key-state bits of TEventUI.
enum UIKeyState : WORD {
  kKeyStateLeftButton = 0x01,
  kKeyStateRightButton = 0x02,
  kKeyStateShift = 0x04,
  kKeyStateControl = 0x08,
  kKeyStateAlt = 0x20,
};

struct TEventUI {
  int type = 0;  // a UIEvent
  CControlUI* sender = nullptr;
  DWORD timestamp = 0;
  POINT mousePoint{};
  wchar_t key = 0;  // character or virtual key
  WORD keyState = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

// A notification: type name ("click", "timer", ...), the control that sends
// it and the values that go with it.
struct TNotifyUI {
  std::wstring type;
  std::wstring virtualWindow;  // the sender's, when the manager routes by virtual window
  CControlUI* sender = nullptr;
  DWORD timestamp = 0;       // milliseconds since system start
  POINT mousePoint{};        // client coordinates
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};
using UINotification = TNotifyUI;

// Receives the window's notifications.
class INotifyUI {
 public:
  virtual void Notify(TNotifyUI& notification) = 0;

 protected:
  ~INotifyUI() = default;
};

// Sees window messages before the paint manager handles them (message
// filters) or before translation (pre-message filters).
class IMessageFilterUI {
 public:
  virtual LRESULT MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) = 0;

 protected:
  ~IMessageFilterUI() = default;
};

// Sees queued messages first; answering 0 ends the message.
class ITranslateAccelerator {
 public:
  virtual LRESULT TranslateAccelerator(MSG* message) = 0;

 protected:
  ~ITranslateAccelerator() = default;
};

// Messages of the framework.
constexpr UINT kMsgAsyncNotify = WM_APP + 1;     // 0x8001: delayed clean-up and queued notifications
constexpr UINT kMsgDpiChanged = WM_USER + 2;     // 0x0402: wParam old scale, lParam new scale
constexpr UINT kReflectOffset = 0x2000;          // command/notify reflected to child windows

}  // namespace DuiLib
