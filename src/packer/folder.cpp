#include "packer/folder.h"

#include <windows.h>

#include <algorithm>

#include "core/find_handle.h"
#include "core/handles.h"
#include "packer/pack_error.h"

namespace kwpack {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
  return out;
}

std::string ReadWholeFile(const std::wstring& path, const wchar_t* what) {
  HANDLE raw = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (raw == INVALID_HANDLE_VALUE) Fail(std::wstring(what) + L" cannot be read: " + path);
  kw::UniqueHandle file(raw);
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(raw, &size) || size.QuadPart > 0x7FFFFFFF) Fail(std::wstring(what) + L" cannot be read: " + path);
  std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 24));
    if (!ReadFile(raw, bytes.data() + done, want, &got, nullptr) || got == 0)
      Fail(std::wstring(what) + L" cannot be read: " + path);
    done += got;
  }
  return bytes;
}

namespace {

std::uint64_t Join(DWORD high, DWORD low) { return (static_cast<std::uint64_t>(high) << 32) | low; }

void Walk(const std::wstring& path, const std::wstring& relative, std::vector<FolderEntry>& out,
          const wchar_t* what) {
  WIN32_FIND_DATAW data;
  kw::FindHandle find(path + L"\\*", data);
  if (!find.Valid()) Fail(std::wstring(what) + L" cannot be listed: " + path);
  std::vector<FolderEntry> level;
  do {
    if (kw::IsDotEntry(data)) continue;
    const std::wstring name = data.cFileName;
    FolderEntry entry;
    entry.relative = relative.empty() ? name : relative + L"/" + name;
    entry.path = path + L"\\" + name;
    entry.isFolder = kw::IsDirectory(data);
    entry.attributes = data.dwFileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                                FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE);
    entry.modified = Join(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime);
    entry.size = entry.isFolder ? 0 : Join(data.nFileSizeHigh, data.nFileSizeLow);
    level.push_back(std::move(entry));
  } while (find.Next(data));
  std::sort(level.begin(), level.end(), [](const FolderEntry& a, const FolderEntry& b) { return a.relative < b.relative; });
  for (FolderEntry& entry : level) {
    const bool isFolder = entry.isFolder;
    const std::wstring childPath = entry.path, childRelative = entry.relative;
    out.push_back(std::move(entry));
    if (isFolder) Walk(childPath, childRelative, out, what);
  }
}

}  // namespace

std::vector<FolderEntry> ListFolder(const std::wstring& root, const wchar_t* what) {
  const DWORD attributes = GetFileAttributesW(root.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    Fail(std::wstring(what) + L" is not a folder: " + root);
  std::vector<FolderEntry> entries;
  Walk(root, L"", entries, what);
  return entries;
}

}  // namespace kwpack
