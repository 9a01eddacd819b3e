// A file held open without sharing, so that nobody can delete it.
#pragma once
#include <windows.h>

#include <string>

namespace kwtest {

// Opened for reading without any sharing: nobody can delete the file while
// this lives.
class HeldFile {
 public:
  explicit HeldFile(const std::wstring& path)
      : handle_(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
  ~HeldFile() { Release(); }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }
  void Release() {
    if (Held()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

}  // namespace kwtest
