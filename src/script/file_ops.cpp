#include "script/file_ops.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "installer/trace.h"

namespace kw {

namespace {

// The shell takes lists of paths, each ended by a NUL, the list by another.
std::wstring OneEntryList(const std::wstring& path) {
  std::wstring list = path;
  list.push_back(L'\0');
  list.push_back(L'\0');
  return list;
}

}  // namespace

bool PathExists(const std::wstring& path) { return PathFileExistsW(path.c_str()) != FALSE; }

void TraceMissing(const wchar_t* function, const std::wstring& path) {
  DebugTrace(L"Fun:%s, Description:%s it's not exists!\r\n", function, path.c_str());
}

int ShellFileOperation(UINT operation, const std::wstring& from, const std::wstring& to, FILEOP_FLAGS flags) {
  const std::wstring fromList = OneEntryList(from);
  const std::wstring toList = OneEntryList(to);
  SHFILEOPSTRUCTW op{};
  op.hwnd = nullptr;
  op.wFunc = operation;
  op.pFrom = fromList.c_str();
  op.pTo = operation == FO_DELETE ? nullptr : toList.c_str();
  op.fFlags = flags;
  return SHFileOperationW(&op);
}

}  // namespace kw
