#include "core/trace.h"

#include "core/encoding.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
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
  // A trace line never changes the error its writer is about to report.
  const DWORD lastError = GetLastError();
  wchar_t line[kTraceUnits];
  va_list args;
  va_start(args, format);
  FormatTraceLineV(line, kTraceUnits, format, args);
  va_end(args);
  OutputDebugStringW(line);
  SetLastError(lastError);
}

unsigned long LastSystemError() { return GetLastError(); }

unsigned long MillisecondsSinceProcessStart() {
  FILETIME created{}, exited{}, kernel{}, user{}, now{};
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  GetSystemTimeAsFileTime(&now);
  const auto ticks = [](const FILETIME& t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  const unsigned long long start = ticks(created), end = ticks(now);
  return end > start ? static_cast<unsigned long>((end - start) / 10000) : 0;
}

namespace {

// __FILE__ as the compiler got it: absolute in a plain build, relative to the
// build folder through the compiler cache. Traces name the file as the source
// tree does ("src/script/lib_file.cpp"), never by the build machine's folders.
const char* SourceTreePath(const char* file) {
  if (!file) return "";
  while (file[0] == '.' && (file[1] == '/' || file[1] == '\\' || (file[1] == '.' && (file[2] == '/' || file[2] == '\\'))))
    file += file[1] == '.' ? 3 : 2;
  const bool absolute = file[0] == '/' || file[0] == '\\' || (file[0] != '\0' && file[1] == ':');
  if (!absolute) return file;
  const char* found = nullptr;
  for (const char* top : {"src", "tests", "resources", "bench", "tools"}) {
    const std::size_t length = std::strlen(top);
    for (const char* p = file; *p; ++p)
      if ((*p == '/' || *p == '\\') && std::strncmp(p + 1, top, length) == 0 && (p[1 + length] == '/' || p[1 + length] == '\\'))
        if (!found || p > found) found = p;
  }
  if (found) return found + 1;
  const char* name = file;
  for (const char* p = file; *p; ++p)
    if (*p == '/' || *p == '\\') name = p + 1;
  return name;
}

}  // namespace

void TraceFailureAt(const wchar_t* prefix, const char* sourceFile, int sourceLine, unsigned long systemError) {
  const DWORD lastError = systemError;
  const std::wstring file = ToWide(CP_ACP, SourceTreePath(sourceFile));
  if (!prefix) prefix = L"";
  // The prefix is text, never a format: route it through "%s".
  DebugTrace(L"%stq file:%s\r\n", prefix, file.c_str());
  DebugTrace(L"%stq line:%d\r\n", prefix, sourceLine);
  DebugTrace(L"%stq err:%d\r\n", prefix, static_cast<int>(lastError));
}

}  // namespace kw
