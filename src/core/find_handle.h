// Owner of a FindFirstFileW search.
#pragma once
#include <windows.h>

#include <cwchar>
#include <string>

namespace kw {

class FindHandle {
 public:
  FindHandle(const std::wstring& pattern, WIN32_FIND_DATAW& entry)
      : handle_(FindFirstFileW(pattern.c_str(), &entry)) {}
  ~FindHandle() {
    if (Valid()) FindClose(handle_);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Next(WIN32_FIND_DATAW& entry) { return FindNextFileW(handle_, &entry) != FALSE; }

 private:
  HANDLE handle_;
};

inline bool IsDirectory(const WIN32_FIND_DATAW& entry) { return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

inline bool IsDotEntry(const WIN32_FIND_DATAW& entry) {
  return wcscmp(entry.cFileName, L".") == 0 || wcscmp(entry.cFileName, L"..") == 0;
}

}  // namespace kw
