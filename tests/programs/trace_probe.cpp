// Writes known debug-trace lines for the trace tests to read back.
#include <windows.h>

#include <string>

#include "core/trace.h"

static const wchar_t* PrefixThatClearsTheError() {
  SetLastError(0);
  return L"Computed.";
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  kw::DebugTrace(L"plain %d %s\r\n", 42, L"text");
  const std::wstring longText(3000, L'x');
  kw::DebugTrace(L"%s", longText.c_str());
  SetLastError(1234);
  KW_TRACE_FAILURE(L"Prefix.");
  SetLastError(5);
  KW_TRACE_FAILURE(L"");
  // A message line first, as most writers do: it must not change the error.
  SetLastError(87);
  kw::DebugTrace(L"message first\r\n");
  KW_TRACE_FAILURE(L"");
  // Nor does working out the prefix.
  SetLastError(6);
  KW_TRACE_FAILURE(PrefixThatClearsTheError());
  return 0;
}
