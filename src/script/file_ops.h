// File-system steps shared by the script file functions.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace kw {

bool PathExists(const std::wstring& path);

// The trace of a function whose source path does not exist.
void TraceMissing(const wchar_t* function, const std::wstring& path);

// One SHFileOperationW on a single source (and destination), no owner
// window. Returns its result: 0 on success.
int ShellFileOperation(UINT operation, const std::wstring& from, const std::wstring& to, FILEOP_FLAGS flags);

}  // namespace kw
