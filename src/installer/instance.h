// Single instance: a named mutex visible across logon sessions.
#pragma once
#include <windows.h>

namespace kw {

// Null when no other installer holds the mutex (this process then keeps it
// open until it ends). Otherwise the other installer's window has been
// brought forward and the returned handle is the caller's to close.
HANDLE CreateAppInstance(const wchar_t* name, int appId);

}  // namespace kw
