#include "ui/value_parse.h"

namespace DuiLib {

namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

int DigitValue36(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'A' && c <= L'Z') return c - L'A' + 10;
  if (c >= L'a' && c <= L'z') return c - L'a' + 10;
  return -1;
}

}  // namespace

int ParseInt(std::wstring_view text, std::size_t* consumed) {
  std::size_t at = 0;
  bool negative = false;
  if (at < text.size() && text[at] == L'-') {
    negative = true;
    ++at;
  }
  std::uint32_t value = 0;
  const std::size_t digitsStart = at;
  while (at < text.size() && IsDigit(text[at])) {
    value = value * 10u + static_cast<std::uint32_t>(text[at] - L'0');
    ++at;
  }
  if (at == digitsStart) at = 0;  // a lone '-' reads nothing
  if (consumed) *consumed = at;
  const std::uint32_t magnitude = negative ? 0u - value : value;
  return static_cast<int>(magnitude);
}

std::vector<int> ParseIntList(std::wstring_view text) {
  std::vector<int> numbers;
  if (text.empty()) return numbers;
  std::size_t start = 0;
  for (std::size_t at = 0; at <= text.size(); ++at) {
    if (at == text.size() || !(IsDigit(text[at]) || text[at] == L'-')) {
      numbers.push_back(ParseInt(text.substr(start, at - start)));
      start = at + 1;
    }
  }
  return numbers;
}

IntRect ParseRect(std::wstring_view text) {
  const std::vector<int> numbers = ParseIntList(text);
  auto at = [&](std::size_t i) { return i < numbers.size() ? numbers[i] : 0; };
  return IntRect{at(0), at(1), at(2), at(3)};
}

IntSize ParseSize(std::wstring_view text) {
  const std::vector<int> numbers = ParseIntList(text);
  auto at = [&](std::size_t i) { return i < numbers.size() ? numbers[i] : 0; };
  return IntSize{at(0), at(1)};
}

std::uint32_t ParseColor(std::wstring_view text) {
  std::size_t at = 0;
  if (at < text.size() && text[at] == L'#') ++at;
  std::uint32_t value = 0;
  for (; at < text.size(); ++at) {
    const int digit = DigitValue36(text[at]);
    if (digit < 0) break;
    value = value * 16u + static_cast<std::uint32_t>(digit);
  }
  return value;
}

bool ParseBool(std::wstring_view text) {
  constexpr std::wstring_view kFalse[] = {L"false", L"off", L"no", L"cancel", L"0"};
  if (text.empty()) return false;
  for (std::wstring_view word : kFalse) {
    if (text == word) return false;
  }
  return true;  // "true", "on", "yes", "ok", "1" and anything else
}

std::vector<KeyValue> ParseQuotedPairs(std::wstring_view text) {
  std::vector<KeyValue> pairs;
  std::size_t at = 0;
  auto skipBlanks = [&] {
    while (at < text.size() && (text[at] == L' ' || text[at] == L'\t' || text[at] == L'\r' || text[at] == L'\n')) ++at;
  };
  while (true) {
    skipBlanks();
    if (at >= text.size()) break;
    const std::size_t keyStart = at;
    while (at < text.size() && text[at] != L'=' && text[at] != L' ') ++at;
    const std::wstring_view key = text.substr(keyStart, at - keyStart);
    skipBlanks();
    if (at >= text.size() || text[at] != L'=') break;
    ++at;
    skipBlanks();
    if (at >= text.size() || (text[at] != L'\'' && text[at] != L'"')) break;
    const wchar_t quote = text[at++];
    const std::size_t valueStart = at;
    while (at < text.size() && text[at] != quote) ++at;
    if (at >= text.size()) break;
    pairs.push_back(KeyValue{key, text.substr(valueStart, at - valueStart)});
    ++at;
  }
  return pairs;
}

}  // namespace DuiLib
