#include "script/file_ops.h"

#include "core/handles.h"
#include "core/system_dll.h"
#include "core/trace.h"

namespace kw {

namespace {

// One of shlwapi's path tests; false when it cannot be had.
bool ShellPathTest(const char* name, const std::wstring& path) {
  const auto test = Shlwapi().Proc<BOOL(WINAPI*)(LPCWSTR)>(name);
  return test && test(path.c_str()) != FALSE;
}

// The shell takes lists of paths, each ended by a NUL, the list by another.
std::wstring OneEntryList(const std::wstring& path) {
  std::wstring list = path;
  list.push_back(L'\0');
  list.push_back(L'\0');
  return list;
}

}  // namespace

bool PathExists(const std::wstring& path) { return ShellPathTest("PathFileExistsW", path); }

bool PathIsFolder(const std::wstring& path) { return ShellPathTest("PathIsDirectoryW", path); }

bool PathIsDriveRoot(const std::wstring& path) { return ShellPathTest("PathIsRootW", path); }

void TraceMissing(const wchar_t* function, const std::wstring& path) {
  DebugTrace(L"Fun:%s, Description:%s it's not exists!\r\n", function, path.c_str());
}

int ShellFileOperation(UINT operation, const std::wstring& from, const std::wstring& to, FILEOP_FLAGS flags) {
  const auto fileOperation = Shell32().Proc<int(WINAPI*)(SHFILEOPSTRUCTW*)>("SHFileOperationW");
  if (!fileOperation) return ERROR_PROC_NOT_FOUND;
  const std::wstring fromList = OneEntryList(from);
  const std::wstring toList = OneEntryList(to);
  SHFILEOPSTRUCTW op{};
  op.hwnd = nullptr;
  op.wFunc = operation;
  op.pFrom = fromList.c_str();
  op.pTo = operation == FO_DELETE ? nullptr : toList.c_str();
  op.fFlags = flags;
  return fileOperation(&op);
}

void ShellCreateDirectory(const std::wstring& path) {
  if (const auto create = Shell32().Proc<int(WINAPI*)(HWND, LPCWSTR)>("SHCreateDirectory")) create(nullptr, path.c_str());
}

bool ShellSpecialFolder(int csidl, wchar_t* path) {
  const auto folder = Shell32().Proc<BOOL(WINAPI*)(HWND, LPWSTR, int, BOOL)>("SHGetSpecialFolderPathW");
  return folder && folder(nullptr, path, csidl, FALSE);
}

bool ShellMakeUniqueName(const std::wstring& path, wchar_t* unique) {
  const auto make =
      Shell32().Proc<BOOL(WINAPI*)(LPWSTR, LPCWSTR, LPCWSTR, LPCWSTR)>("PathYetAnotherMakeUniqueName");
  return make && make(unique, path.c_str(), nullptr, nullptr);
}

HINSTANCE ShellExecuteCall(LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR folder, int show) {
  using ExecuteFn = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
  const auto execute = Shell32().Proc<ExecuteFn>("ShellExecuteW");
  if (!execute) return reinterpret_cast<HINSTANCE>(SE_ERR_DLLNOTFOUND);
  return execute(nullptr, verb, file, parameters, folder, show);
}

bool ShellExecuteExCall(SHELLEXECUTEINFOW* info) {
  const auto execute = Shell32().Proc<BOOL(WINAPI*)(SHELLEXECUTEINFOW*)>("ShellExecuteExW");
  return execute && execute(info);
}

LPWSTR* ShellCommandLineToArgv(LPCWSTR commandLine, int* count) {
  const auto split = Shell32().Proc<LPWSTR*(WINAPI*)(LPCWSTR, int*)>("CommandLineToArgvW");
  if (split) return split(commandLine, count);
  *count = 0;
  return nullptr;
}

bool ShellPathIsUrl(const std::wstring& text) { return ShellPathTest("PathIsURLW", text); }

}  // namespace kw
