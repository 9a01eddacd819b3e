// Library loading that cannot be hijacked by a DLL planted beside the
// installer or in the current directory (typically a downloads folder).
#pragma once
#include <windows.h>

#include <string>

namespace kw {

// Restricts the search path of every later load by bare name to the system
// folder. Called first thing at start-up, before anything loads a library.
void RestrictDllSearchToSystem();

// The system folder ("C:\Windows\system32"), "" if it cannot be read.
std::wstring SystemFolder();

// Loads a system DLL from the system folder only.
HMODULE LoadSystemLibrary(const wchar_t* fileName);

// Loads a DLL named by its full path; its own imports are found beside it
// and in the system folder, never in the current or the installer's folder.
HMODULE LoadLibraryByFullPath(const wchar_t* fullPath);

// Owns a loaded module.
class ModuleHandle {
 public:
  ModuleHandle() = default;
  explicit ModuleHandle(HMODULE module) : module_(module) {}
  ~ModuleHandle() { Reset(); }
  ModuleHandle(ModuleHandle&& other) noexcept : module_(other.module_) { other.module_ = nullptr; }
  ModuleHandle& operator=(ModuleHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      module_ = other.module_;
      other.module_ = nullptr;
    }
    return *this;
  }
  ModuleHandle(const ModuleHandle&) = delete;
  ModuleHandle& operator=(const ModuleHandle&) = delete;

  HMODULE Get() const { return module_; }
  explicit operator bool() const { return module_ != nullptr; }
  template <class Fn>
  Fn Proc(const char* name) const {
    return module_ ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name))) : nullptr;
  }
  void Reset() {
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
  }

 private:
  HMODULE module_ = nullptr;
};

}  // namespace kw
