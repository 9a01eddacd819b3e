#include "installer/cmdline.h"

#include <cwchar>
#include <cwctype>

namespace kw {

namespace {

// Trimmed from both ends of a value: the blank and the control units below
// U+001E (U+001E and U+001F are kept).
bool IsTrimmed(wchar_t c) { return c == L' ' || c <= 0x1D; }

std::wstring TrimValue(const std::wstring& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && IsTrimmed(text[begin])) ++begin;
  while (end > begin && IsTrimmed(text[end - 1])) --end;
  std::wstring value = text.substr(begin, end - begin);
  if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"')
    value = value.substr(1, value.size() - 2);
  return value;
}

}  // namespace

CCmdLineParser::CCmdLineParser(std::wstring commandLine) : commandLine_(std::move(commandLine)) {
  // Quotes do not protect a "/": every "/" starts a new option.
  std::size_t pos = 0;
  while (pos < commandLine_.size()) {
    const std::size_t slash = commandLine_.find(L'/', pos);
    const std::size_t end = slash == std::wstring::npos ? commandLine_.size() : slash;
    if (end > pos) {
      const std::wstring token = commandLine_.substr(pos, end - pos);
      const std::size_t blank = token.find(L' ');
      if (blank == std::wstring::npos)
        options_[token] = std::wstring();
      else
        options_[token.substr(0, blank)] = TrimValue(token.substr(blank));
    }
    pos = end + 1;
  }
}

bool CCmdLineParser::GetValue(const std::wstring& name, std::wstring& value) const {
  value.clear();
  const auto it = options_.find(name);
  if (it == options_.end()) return false;
  value = it->second;
  return true;
}

std::uint32_t ParseHandleValue(const std::wstring& text) {
  // The C library's wcstoul on a 32-bit unsigned long: overflow saturates and
  // a leading '-' negates modulo 2^32, as the standard conversion does.
  const unsigned long value = std::wcstoul(text.c_str(), nullptr, 10);
  return static_cast<std::uint32_t>(value);
}

}  // namespace kw
