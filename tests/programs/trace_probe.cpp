// Writes known debug-trace lines for the trace tests to read back.
#include <windows.h>

#include <string>

#include "core/trace.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  kw::DebugTrace(L"plain %d %s\r\n", 42, L"text");
  const std::wstring longText(3000, L'x');
  kw::DebugTrace(L"%s", longText.c_str());
  SetLastError(1234);
  KW_TRACE_FAILURE(L"Prefix.");
  SetLastError(5);
  KW_TRACE_FAILURE(L"");
  return 0;
}
