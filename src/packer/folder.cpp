#include "packer/folder.h"

#include <windows.h>

#include <algorithm>

#include "core/file_read.h"
#include "core/folder_walk.h"
#include "packer/pack_error.h"

namespace kwpack {

std::string ReadWholeFile(const std::wstring& path, const wchar_t* what) {
  std::vector<unsigned char> bytes;
  if (kw::ReadWholeFile(path, 0x7FFFFFFF, bytes) != kw::FileReadStatus::kRead)
    Fail(std::wstring(what) + L" cannot be read: " + path);
  return std::string(bytes.begin(), bytes.end());
}

namespace {

std::uint64_t Join(DWORD high, DWORD low) { return (static_cast<std::uint64_t>(high) << 32) | low; }

void Walk(const std::wstring& path, const std::wstring& relative, std::vector<FolderEntry>& out,
          const wchar_t* what) {
  std::vector<FolderEntry> level;
  const bool listed = kw::ForEachMatch(path + L"\\*", [&](const WIN32_FIND_DATAW& data) {
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
  });
  if (!listed) Fail(std::wstring(what) + L" cannot be listed: " + path);
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
