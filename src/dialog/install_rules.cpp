#include "dialog/install_rules.h"

#include <cstdio>
#include <cwchar>
#include <limits>

namespace kw::dialog {

namespace {

constexpr std::size_t kPathBuffer = 260;  // units, terminator included

}  // namespace

std::wstring_view LastPathComponent(std::wstring_view path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring_view::npos ? path : path.substr(separator + 1);
}

bool EndsWithBaseName(std::wstring_view path, std::wstring_view baseName) {
  return LastPathComponent(path) == baseName;
}

std::optional<std::wstring> FolderForPick(std::wstring_view picked, std::wstring_view baseName) {
  if (picked.empty()) return std::nullopt;
  std::wstring folder(picked);
  if (EndsWithBaseName(picked, baseName)) return folder;
  if (folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
  return folder + std::wstring(baseName);
}

std::optional<std::uint64_t> ParseRequiredBytes(std::wstring_view text) {
  std::size_t at = 0;
  while (at < text.size() && (text[at] == L' ' || (text[at] >= L'\t' && text[at] <= L'\r'))) ++at;
  if (at < text.size() && text[at] == L'+') ++at;
  std::uint64_t value = 0;
  const std::size_t first = at;
  for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) {
    const std::uint64_t digit = static_cast<std::uint64_t>(text[at] - L'0');
    if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10)
      value = std::numeric_limits<std::uint64_t>::max();
    else
      value = value * 10 + digit;
  }
  if (at == first) return std::nullopt;
  return value;
}

float BytesAsMegabytes(std::uint64_t bytes) { return static_cast<float>(bytes) / 1024.0f / 1024.0f; }

std::wstring NotEnoughSpaceText(std::uint64_t bytes) {
  wchar_t text[160];
  std::swprintf(text, std::size(text), L"磁盘剩余可用空间不足,安装程序需要%0.2fMB的空间来完成安装！",
                static_cast<double>(BytesAsMegabytes(bytes)));
  return text;
}

std::vector<std::wstring> FolderChain(std::wstring_view path) {
  std::vector<std::wstring> chain;
  const bool drive = path.size() >= 2 && path[1] == L':';
  std::size_t at = drive ? 2 : 0;
  while (at < path.size()) {
    while (at < path.size() && (path[at] == L'\\' || path[at] == L'/')) ++at;
    const std::size_t end = path.find_first_of(L"\\/", at);
    const std::size_t stop = end == std::wstring_view::npos ? path.size() : end;
    if (stop > at) chain.emplace_back(path.substr(0, stop));
    at = stop;
  }
  return chain;
}

std::wstring InstallPathForScript(std::wstring_view fieldText) {
  std::wstring path(fieldText.substr(0, kPathBuffer));
  if (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

std::optional<Placeholder> FindPlaceholder(std::wstring_view text) {
  const std::size_t first = text.find(L'$');
  if (first == std::wstring_view::npos) return std::nullopt;
  const std::size_t second = text.find(L'$', first + 1);
  if (second == std::wstring_view::npos) return std::nullopt;
  Placeholder placeholder;
  placeholder.token = std::wstring(text.substr(first, second - first + 1));
  placeholder.name = std::wstring(text.substr(first + 1, second - first - 1));
  return placeholder;
}

std::wstring ReplaceAll(std::wstring_view text, std::wstring_view token, std::wstring_view value) {
  std::wstring result;
  if (token.empty()) return std::wstring(text);
  std::size_t from = 0;
  for (std::size_t at; (at = text.find(token, from)) != std::wstring_view::npos; from = at + token.size()) {
    result.append(text.substr(from, at - from));
    result.append(value);
  }
  result.append(text.substr(from));
  return result;
}

int NextProgressValue(int value, int maximum) { return value + 2 < maximum ? value + 2 : value; }

std::wstring ProgressText(int value) {
  wchar_t text[64];
  std::swprintf(text, std::size(text), L"安装中...  (%d％)", value);
  return text;
}

std::uint32_t ProgressElapse(std::uint64_t payloadBytes) {
  const double ticks = static_cast<double>(payloadBytes) * 0.000309651279221807 / 100.0;
  return static_cast<std::uint32_t>(ticks);
}

int NextBackgroundIndex(std::uintptr_t index) { return static_cast<int>((index + 1) % 3); }

std::wstring BackgroundImage(int index) { return L"Image/InstallBk" + std::to_wstring(index) + L".png"; }

std::wstring ProgramPath(std::wstring_view expandedFolder, std::wstring_view programName) {
  std::wstring path(expandedFolder.substr(0, kPathBuffer - 1));
  return path + L"\\" + std::wstring(programName);
}

}  // namespace kw::dialog
