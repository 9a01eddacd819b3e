// Code-page conversions at the boundaries: UTF-8 for scripts, the thread's
// ANSI code page for the 8-bit system calls, UTF-16 everywhere else.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

namespace kw {

std::wstring ToWide(UINT codePage, std::string_view text);
std::string FromWide(UINT codePage, std::wstring_view text);

// Whether text is well-formed in codePage (an empty text is).
bool IsValidIn(UINT codePage, std::string_view text);

// UTF-8 <-> UTF-16 at the script boundary.
inline std::wstring Utf8ToWide(std::string_view text) { return ToWide(CP_UTF8, text); }
// A null text is "".
inline std::wstring Utf8ToWide(const char* text, std::size_t size) {
  return text ? ToWide(CP_UTF8, std::string_view(text, size)) : std::wstring();
}
inline std::string WideToUtf8(std::wstring_view text) { return FromWide(CP_UTF8, text); }

}  // namespace kw
