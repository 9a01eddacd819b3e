// Owns one system handle and closes it with the call its kind needs.
#pragma once
#include <windows.h>

namespace kw {

template <class H, class Closer>
class OwnedHandle {
 public:
  explicit OwnedHandle(H handle = nullptr) : handle_(handle) {}
  ~OwnedHandle() {
    if (handle_) Closer()(handle_);
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  H Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  H handle_;
};

struct CloseKernelHandle {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
// Processes, tokens, events: handles that are null when invalid.
using KernelHandle = OwnedHandle<HANDLE, CloseKernelHandle>;

}  // namespace kw
