#include "ui/image_values.h"

namespace DuiLib {

int ParseIntegerValue(std::wstring_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && text[i] == L'-') {
    negative = true;
    ++i;
  }
  long long v = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    v = v * 10 + (text[i] - L'0');
    if (v > 0x7fffffffLL) v = 0x7fffffffLL;  // saturate instead of overflowing
  }
  return static_cast<int>(negative ? -v : v);
}

void ParseIntegerList(std::wstring_view text, int* values, int count) {
  for (int k = 0; k < count; ++k) values[k] = 0;
  int k = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size() && k < count; ++i) {
    if (i == text.size() || !((text[i] >= L'0' && text[i] <= L'9') || text[i] == L'-')) {
      values[k++] = ParseIntegerValue(text.substr(start, i - start));
      start = i + 1;
    }
  }
}

std::uint32_t ParseColorValue(std::wstring_view text) {
  std::size_t i = 0;
  if (i < text.size() && text[i] == L'#') ++i;
  std::uint32_t v = 0;
  for (; i < text.size(); ++i) {
    wchar_t c = text[i];
    std::uint32_t digit;
    if (c >= L'0' && c <= L'9') digit = c - L'0';
    else if (c >= L'A' && c <= L'Z') digit = c - L'A' + 10;
    else if (c >= L'a' && c <= L'z') digit = c - L'a' + 10;
    else break;
    v = v * 16 + digit;
  }
  return v;
}

bool ParseBoolValue(std::wstring_view text) {
  for (std::wstring_view f : {L"false", L"off", L"no", L"cancel", L"0"})
    if (text == f) return false;
  return !text.empty();
}

int ScaleValue(int value, int percent) {
  long long n = static_cast<long long>(value) * percent;
  return static_cast<int>(n >= 0 ? (n + 50) / 100 : -((-n + 50) / 100));
}

}  // namespace DuiLib
