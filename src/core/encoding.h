// Code-page conversions at the boundaries: UTF-8 for scripts, the thread's
// ANSI code page for the 8-bit system calls, UTF-16 everywhere else.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

namespace kw {

std::wstring ToWide(UINT codePage, std::string_view text);
std::string FromWide(UINT codePage, std::wstring_view text);

}  // namespace kw
