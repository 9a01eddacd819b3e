#include "payload/item_names.h"

#include <cwctype>

namespace kw {

namespace {

bool IsSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::towupper(a[i]) != std::towupper(b[i])) return false;
  return true;
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 name devices, with any extension.
bool IsDeviceName(std::wstring_view component) {
  std::wstring_view stem = component.substr(0, component.find(L'.'));
  while (!stem.empty() && stem.back() == L' ') stem.remove_suffix(1);
  for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
    if (EqualsIgnoringCase(stem, device)) return true;
  if (stem.size() == 4 && (EqualsIgnoringCase(stem.substr(0, 3), L"COM") || EqualsIgnoringCase(stem.substr(0, 3), L"LPT")))
    return stem[3] >= L'1' && stem[3] <= L'9';
  return false;
}

bool IsSafeComponent(std::wstring_view component) {
  // Windows drops trailing dots and spaces: "..", ". ." and "" are all the
  // same danger.
  bool onlyDotsAndSpaces = true;
  for (wchar_t c : component) {
    if (c == L':') return false;  // drive letters and alternate data streams
    if (c != L'.' && c != L' ') onlyDotsAndSpaces = false;
  }
  return !onlyDotsAndSpaces && !IsDeviceName(component);
}

}  // namespace

bool IsSafeItemName(std::wstring_view name) {
  std::size_t start = 0;
  for (;;) {
    std::size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    if (!IsSafeComponent(name.substr(start, end - start))) return false;
    if (end == name.size()) return true;
    start = end + 1;
  }
}

}  // namespace kw
