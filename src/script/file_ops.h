// File-system steps shared by the script file functions. shell32 and shlwapi
// are bound at run time: a static import would pull their own imports from
// the program's folder before start-up can restrict the DLL search.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace kw {

// PathFileExistsW, PathIsDirectoryW, PathIsRootW.
bool PathExists(const std::wstring& path);
bool PathIsFolder(const std::wstring& path);
bool PathIsDriveRoot(const std::wstring& path);

// The trace of a function whose source path does not exist.
void TraceMissing(const wchar_t* function, const std::wstring& path);

// One SHFileOperationW on a single source (and destination), no owner
// window. Returns its result: 0 on success.
int ShellFileOperation(UINT operation, const std::wstring& from, const std::wstring& to, FILEOP_FLAGS flags);

// SHCreateDirectory without owner window: the folder and its missing parents.
void ShellCreateDirectory(const std::wstring& path);

// SHGetSpecialFolderPathW without creating the folder; `path` holds MAX_PATH.
bool ShellSpecialFolder(int csidl, wchar_t* path);

// PathYetAnotherMakeUniqueName without short name or template; `unique`
// holds MAX_PATH + 1.
bool ShellMakeUniqueName(const std::wstring& path, wchar_t* unique);

// The shell's program starts, command-line splitting and URL test, bound at
// run time the same way; each fails as the system call would when shell32
// or shlwapi cannot be had.
HINSTANCE ShellExecuteCall(LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR folder, int show);
bool ShellExecuteExCall(SHELLEXECUTEINFOW* info);
LPWSTR* ShellCommandLineToArgv(LPCWSTR commandLine, int* count);
bool ShellPathIsUrl(const std::wstring& text);

}  // namespace kw
