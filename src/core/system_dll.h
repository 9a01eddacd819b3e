// Library loading that cannot be hijacked by a DLL planted beside the
// installer or in the current directory (typically a downloads folder).
#pragma once
#include <windows.h>

#include <string>

namespace kw {

// Restricts the search path of every later load by bare name to the system
// folder. Called first thing at start-up, before anything loads a library.
void RestrictDllSearchToSystem();

// Loads a system DLL from the system folder only.
HMODULE LoadSystemLibrary(const wchar_t* fileName);

// Loads a library that a script names. A bare name goes through the process's
// search path (the system folder once RestrictDllSearchToSystem has run); a
// path with a folder loads that file, and its own dependencies are found
// beside it, then in the system folder.
HMODULE LoadLibraryByNameOrPath(const wchar_t* nameOrPath);

// Full path of the running executable; empty if it cannot be had.
std::wstring ExecutablePath();

// Loads fileName from the executable's own folder by full path; the DLLs it
// imports are found beside it or in the system folder.
HMODULE LoadLibraryBesideExecutable(const wchar_t* fileName);

// The system folder ("C:\Windows\system32"), "" if it cannot be read.
std::wstring SystemFolder();

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
  // Gives up ownership without unloading.
  HMODULE Release() {
    HMODULE module = module_;
    module_ = nullptr;
    return module;
  }
  void Reset() {
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
  }

 private:
  HMODULE module_ = nullptr;
};

}  // namespace kw
