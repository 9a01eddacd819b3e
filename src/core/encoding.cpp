#include "core/encoding.h"

namespace kw {

std::wstring ToWide(UINT codePage, std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int units = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  if (units <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), units);
  return wide;
}

std::string FromWide(UINT codePage, std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int bytes = WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string narrow(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), size, narrow.data(), bytes, nullptr, nullptr);
  return narrow;
}

bool IsValidIn(UINT codePage, std::string_view text) {
  return text.empty() || MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                             nullptr, 0) > 0;
}

}  // namespace kw
