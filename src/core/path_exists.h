// Whether a file or folder exists, as PathFileExistsW tells it, without
// importing shlwapi.dll: the loader would resolve that DLL's own imports
// (shcore.dll under Wine) through the program's folder, where a planted
// copy could be waiting.
#pragma once
#include <windows.h>

namespace kw {

inline bool PathExists(const wchar_t* path) {
  // No "insert a disk" box for an empty drive, as PathFileExistsW does.
  DWORD previous = 0;
  const BOOL changed = SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previous);
  const DWORD attributes = GetFileAttributesW(path);
  if (changed) SetThreadErrorMode(previous, nullptr);
  return attributes != INVALID_FILE_ATTRIBUTES;
}

}  // namespace kw
