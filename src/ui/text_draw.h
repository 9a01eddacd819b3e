// Text of the framework's controls: through GDI+ when the window is layered
// or the skin asks for it (`gdiplustext`), through GDI otherwise or when
// GDI+ cannot draw it.
#pragma once
#include <windows.h>

#include <string_view>

namespace DuiLib {

class CPaintManagerUI;

// `font` is the manager's font id (-1: its default font); `style` the text
// format bits (DT_CALCRECT measures into `rect`). `isEdit`: measuring for a
// control that answers "Edit" always goes through GDI.
void DrawControlText(HDC dc, CPaintManagerUI* manager, RECT& rect, std::wstring_view text, DWORD color, int font,
                     UINT style, bool isEdit = false);

// Whether text of this manager's window goes through GDI+.
bool UsesGdiPlusText(const CPaintManagerUI* manager);

}  // namespace DuiLib
