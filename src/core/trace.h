// Debug-trace lines: short UTF-16 texts for the system debugger output, each
// tagged "tq ". Each line is formatted in a buffer on the caller's stack and
// needs no lock, so any thread may trace.
#pragma once
#include <cstdarg>
#include <cstddef>

namespace kw {

// Every trace line fits this many UTF-16 units, tag and terminator included.
constexpr std::size_t kTraceUnits = 1024;

// Writes "tq " + the formatted text into out[0..units), always terminated;
// text that does not fit is cut off. Returns the number of units written.
std::size_t FormatTraceLineV(wchar_t* out, std::size_t units, const wchar_t* format, va_list args);

// One debug-trace line (printf-style; "%s" takes a wide string).
void DebugTrace(const wchar_t* format, ...);

// The three-line failure form: prefix + "tq file:", "tq line:", "tq err:"
// with the writer's source position and the system error it read.
void TraceFailureAt(const wchar_t* prefix, const char* sourceFile, int sourceLine, unsigned long systemError);

// Milliseconds since the system says this process was created, for traces
// of how long start-up took.
unsigned long MillisecondsSinceProcessStart();

// GetLastError, for the macro below without windows.h.
unsigned long LastSystemError();

}  // namespace kw

// The thread's last error is read first, before the prefix is worked out.
#define KW_TRACE_FAILURE(prefix)                                          \
  do {                                                                    \
    const unsigned long kwSystemError = ::kw::LastSystemError();          \
    ::kw::TraceFailureAt((prefix), __FILE__, __LINE__, kwSystemError);     \
  } while (false)
