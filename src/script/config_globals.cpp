#include "script/config_globals.h"

#include <limits>

#include "core/encoding.h"
#include "script/engine.h"

namespace kw {

std::wstring ResolveGlobalPlaceholder(const std::wstring& text) {
  const std::size_t open = text.find(L'$');
  if (open == std::wstring::npos) return text;
  const std::size_t close = text.find(L'$', open + 1);
  if (close == std::wstring::npos) return text;
  const std::wstring name = text.substr(open + 1, close - open - 1);
  const std::wstring value = QRVScriptEngine::Instance().GetGlobalString(WideToUtf8(name).c_str());
  if (value.empty()) return text;
  return text.substr(0, open) + value + text.substr(close + 1);
}

std::uint64_t ParseUnsigned64(const std::wstring& text) {
  // Saturates like the C library's conversion, so a huge value never wraps
  // into a small requirement.
  std::uint64_t value = 0;
  std::size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
  if (i < text.size() && text[i] == L'+') ++i;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    const unsigned digit = static_cast<unsigned>(text[i] - L'0');
    if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) return std::numeric_limits<std::uint64_t>::max();
    value = value * 10 + digit;
  }
  return value;
}

std::uint64_t NeededDiskSpace() {
  return ParseUnsigned64(QRVScriptEngine::Instance().GetGlobalString("global_need_disk_space"));
}

void HandOverChoices(const std::vector<OptionChoice>& options, const std::wstring& pathGlobal,
                     const std::wstring& pathText) {
  QRVScriptEngine& engine = QRVScriptEngine::Instance();
  auto lock = engine.LockState();
  for (const OptionChoice& option : options) engine.SetGlobalBool(WideToUtf8(option.globalName).c_str(), option.selected);
  std::wstring path = pathText;
  if (!path.empty() && path.back() == L'\\') path.pop_back();
  engine.SetGlobalString(WideToUtf8(pathGlobal).c_str(), path);
}

}  // namespace kw
