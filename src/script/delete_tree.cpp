// The engine's folder-tree deletion, used by Lua_DelFileRecursive(Ex).
#include <windows.h>

#include <string>

#include "core/folder_walk.h"
#include "core/trace.h"
#include "script/engine.h"
#include "script/file_ops.h"

namespace kw {

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// "C:\a\b\" and "C:\a\b" name the same folder; a root keeps its separator.
std::wstring TrimSeparators(std::wstring path) {
  while (path.size() > 1 && IsSeparator(path.back()) && path[path.size() - 2] != L':') path.pop_back();
  return path;
}

std::wstring FullPathOf(const std::wstring& path) {
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return {};
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return {};
  full.resize(length);
  return full;
}

std::wstring CurrentDirectory() {
  const DWORD needed = GetCurrentDirectoryW(0, nullptr);
  if (needed == 0) return {};
  std::wstring folder(needed, L'\0');
  const DWORD length = GetCurrentDirectoryW(needed, folder.data());
  if (length == 0 || length >= needed) return {};
  folder.resize(length);
  return folder;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  const std::wstring x = TrimSeparators(a), y = TrimSeparators(b);
  return CompareStringOrdinal(x.c_str(), static_cast<int>(x.size()), y.c_str(), static_cast<int>(y.size()), TRUE) ==
         CSTR_EQUAL;
}

// The folder a search pattern's matches live in, with its separator; "" for
// a bare name.
std::wstring FolderOfPattern(const std::wstring& pattern) {
  const std::size_t separator = pattern.find_last_of(L"\\/");
  if (separator != std::wstring::npos) return pattern.substr(0, separator + 1);
  if (pattern.size() >= 2 && pattern[1] == L':') return pattern.substr(0, 2);
  return {};
}

std::wstring ParentOf(const std::wstring& folder) {
  const std::wstring trimmed = TrimSeparators(folder);
  const std::size_t separator = trimmed.find_last_of(L"\\/");
  if (separator == std::wstring::npos) return {};
  // "C:\a" -> "C:\", "\\server\share\a" -> "\\server\share".
  return trimmed.substr(0, separator == 2 && trimmed[1] == L':' ? separator + 1 : separator);
}

// "C:" alone names the current folder on drive C, but a script that passes
// it (an expanded "%SystemDrive%") means the drive: it counts as its root.
bool IsBareDrive(const std::wstring& path) {
  if (path.size() < 2 || path[1] != L':') return false;
  for (std::size_t i = 2; i < path.size(); ++i)
    if (!IsSeparator(path[i])) return false;
  return true;
}

void DeleteTree(const wchar_t* operation, const std::wstring& path, const PathCodeCallback* onFailure) {
  DebugTrace(L"%s %s", operation, path.c_str());
  // A script that joins an empty install path with "\" must not wipe a
  // drive; the pattern is built from the same full path that is checked.
  const std::wstring full = FullPathOf(IsBareDrive(path) ? path.substr(0, 2) + L"\\" : path);
  if (full.empty()) return;
  if (PathIsDriveRoot(full)) {
    DebugTrace(L"%s refuses the root %s\r\n", operation, full.c_str());
    return;
  }
  const bool isFolder = PathIsFolder(full);
  // A junction or folder link is removed itself; what it points to is not
  // part of this tree.
  if (isFolder && (GetFileAttributesW(full.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT)) {
    RemoveDirectoryW(full.c_str());
    return;
  }
  const std::wstring folder = isFolder ? (IsSeparator(full.back()) ? full : full + L"\\") : FolderOfPattern(full);
  const std::wstring pattern = isFolder ? folder + L"*.*" : full;

  ForEachMatch(pattern, [&](const WIN32_FIND_DATAW& entry) {
    const std::wstring child = folder + entry.cFileName;
    if (IsDirectory(entry)) {
      if (IsReparsePoint(entry))
        RemoveDirectoryW(child.c_str());
      else
        DeleteTree(operation, child, onFailure);
      return;
    }
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileW(child.c_str()) && onFailure && *onFailure) {
      const DWORD error = GetLastError();
      (*onFailure)(child, error);
    }
  });
  if (!isFolder) return;
  // A process cannot remove its own current directory.
  const std::wstring current = CurrentDirectory();
  if (!current.empty() && SamePath(current, full)) {
    const std::wstring parent = ParentOf(current);
    if (!parent.empty()) SetCurrentDirectoryW(parent.c_str());
  }
  RemoveDirectoryW(full.c_str());
}

}  // namespace

void QRVScriptEngine::DeleteDirectories(const std::wstring& path) {
  DeleteTree(L"QRVScriptEngine::DeleteDirectories", path, nullptr);
}

void QRVScriptEngine::DeleteDirectoriesEx(const std::wstring& path, const PathCodeCallback& onFailure) {
  DeleteTree(L"QRVScriptEngine::DeleteDirectoriesEx", path, &onFailure);
}

}  // namespace kw
