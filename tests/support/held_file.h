// A file held open without sharing, so that nobody can delete it.
#pragma once
#include <windows.h>

#include <string>

#include "core/handles.h"

namespace kwtest {

// Opened for reading without any sharing: nobody can delete the file while
// this lives.
class HeldFile {
 public:
  explicit HeldFile(const std::wstring& path)
      : handle_(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
  bool Held() const { return handle_.Valid(); }
  // Lets go of the file before this goes.
  void Release() { handle_.Reset(); }

 private:
  kw::UniqueHandle handle_;
};

}  // namespace kwtest
