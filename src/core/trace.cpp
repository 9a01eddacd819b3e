#include "core/trace.h"

#include "core/encoding.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace kw {

std::size_t FormatTraceLineV(wchar_t* out, std::size_t units, const wchar_t* format, va_list args) {
  if (units == 0) return 0;
  static constexpr wchar_t kTag[] = L"tq ";
  constexpr std::size_t kTagUnits = 3;
  std::size_t used = 0;
  for (; used < kTagUnits && used + 1 < units; ++used) out[used] = kTag[used];
  out[used] = L'\0';
  if (used + 1 >= units) return used;
  // msvcrt's _vsnwprintf: "%s" is a wide string, it writes at most `room`
  // units and leaves the terminator to us when the text is cut.
  const std::size_t room = units - used - 1;
  const int written = _vsnwprintf(out + used, room, format, args);
  used += (written < 0 || static_cast<std::size_t>(written) > room) ? room : static_cast<std::size_t>(written);
  out[used] = L'\0';
  return used;
}

void DebugTrace(const wchar_t* format, ...) {
  wchar_t line[kTraceUnits];
  va_list args;
  va_start(args, format);
  FormatTraceLineV(line, kTraceUnits, format, args);
  va_end(args);
  OutputDebugStringW(line);
}

void TraceFailureAt(const wchar_t* prefix, const char* sourceFile, int sourceLine) {
  const DWORD lastError = GetLastError();
  const std::wstring file = ToWide(CP_ACP, sourceFile ? sourceFile : "");
  if (!prefix) prefix = L"";
  // The prefix is text, never a format: route it through "%s".
  DebugTrace(L"%stq file:%s\r\n", prefix, file.c_str());
  DebugTrace(L"%stq line:%d\r\n", prefix, sourceLine);
  DebugTrace(L"%stq err:%d\r\n", prefix, static_cast<int>(lastError));
}

}  // namespace kw
