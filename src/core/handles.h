// One move-only owner per resource kind. Every handle, key, module, COM
// pointer and GDI object the program holds goes through these.
#pragma once
#include <windows.h>
#include <objbase.h>
#include <ole2.h>
#include <winsvc.h>

#include <utility>

namespace kw {

// The generic owner: Traits names the type, its empty value, its validity
// test and its release call.
template <class Traits>
class UniqueResource {
 public:
  using Type = typename Traits::Type;

  UniqueResource() = default;
  explicit UniqueResource(Type value) : value_(value) {}
  ~UniqueResource() { Reset(); }
  UniqueResource(UniqueResource&& other) noexcept : value_(other.Release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;

  Type Get() const { return value_; }
  bool Valid() const { return Traits::Valid(value_); }
  explicit operator bool() const { return Valid(); }

  // Gives up ownership without releasing.
  Type Release() { return std::exchange(value_, Traits::Empty()); }
  // Releases what is held and takes value (empty by default).
  void Reset(Type value = Traits::Empty()) {
    if (Traits::Valid(value_) && value_ != value) Traits::Free(value_);
    value_ = value;
  }
  // Releases now and says whether the release worked (a file write may fail
  // only at its close).
  bool Close() {
    if (!Valid()) return true;
    return Traits::Free(Release());
  }
  // For out-parameters: releases what is held and hands out the slot.
  Type* Receive() {
    Reset();
    return &value_;
  }

 private:
  Type value_ = Traits::Empty();
};

namespace handle_traits {

// CreateFileW fails with INVALID_HANDLE_VALUE, most other calls with null.
struct Kernel {
  using Type = HANDLE;
  static Type Empty() { return nullptr; }
  static bool Valid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static bool Free(Type h) { return CloseHandle(h) != FALSE; }
};
struct Find {
  using Type = HANDLE;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static bool Valid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static bool Free(Type h) { return FindClose(h) != FALSE; }
};
struct Module {
  using Type = HMODULE;
  static Type Empty() { return nullptr; }
  static bool Valid(Type h) { return h != nullptr; }
  static bool Free(Type h) { return FreeLibrary(h) != FALSE; }
};
struct Menu {
  using Type = HMENU;
  static Type Empty() { return nullptr; }
  static bool Valid(Type h) { return h != nullptr; }
  static bool Free(Type h) { return DestroyMenu(h) != FALSE; }
};
struct RegKey {
  using Type = HKEY;
  static Type Empty() { return nullptr; }
  static bool Valid(Type h) { return h != nullptr; }
  static bool Free(Type h) { return RegCloseKey(h) == ERROR_SUCCESS; }
};
struct Service {
  using Type = SC_HANDLE;
  static Type Empty() { return nullptr; }
  static bool Valid(Type h) { return h != nullptr; }
  static bool Free(Type h) { return CloseServiceHandle(h) != FALSE; }
};
template <class T>
struct GdiObject {
  using Type = T;
  static Type Empty() { return nullptr; }
  static bool Valid(Type h) { return h != nullptr; }
  static bool Free(Type h) { return DeleteObject(h) != FALSE; }
};
struct MemoryDc {
  using Type = HDC;
  static Type Empty() { return nullptr; }
  static bool Valid(Type h) { return h != nullptr; }
  static bool Free(Type h) { return DeleteDC(h) != FALSE; }
};
struct Icon {
  using Type = HICON;
  static Type Empty() { return nullptr; }
  static bool Valid(Type h) { return h != nullptr; }
  static bool Free(Type h) { return DestroyIcon(h) != FALSE; }
};
// A window this program created and must destroy (tooltips, helper windows).
struct Window {
  using Type = HWND;
  static Type Empty() { return nullptr; }
  static bool Valid(Type h) { return h != nullptr; }
  static bool Free(Type h) { return IsWindow(h) && DestroyWindow(h) != FALSE; }
};
// A font added for private use from memory (AddFontMemResourceEx).
struct FontResource {
  using Type = HANDLE;
  static Type Empty() { return nullptr; }
  static bool Valid(Type h) { return h != nullptr; }
  static bool Free(Type h) { return RemoveFontMemResourceEx(h) != FALSE; }
};

// A resource update session (BeginUpdateResourceW): releasing it discards
// the changes; committing is EndUpdateResourceW(Release(), FALSE).
struct ResourceUpdate {
  using Type = HANDLE;
  static Type Empty() { return nullptr; }
  static bool Valid(Type h) { return h != nullptr; }
  static bool Free(Type h) { return EndUpdateResourceW(h, TRUE) != FALSE; }
};

// Memory the system hands out with LocalAlloc (CommandLineToArgvW's table).
struct LocalMem {
  using Type = void*;
  static Type Empty() { return nullptr; }
  static bool Valid(Type p) { return p != nullptr; }
  static bool Free(Type p) { return LocalFree(p) == nullptr; }
};

// Memory the shell hands out with CoTaskMemAlloc (paths, display names).
struct CoTaskMem {
  using Type = void*;
  static Type Empty() { return nullptr; }
  static bool Valid(Type p) { return p != nullptr; }
  static bool Free(Type p) {
    CoTaskMemFree(p);
    return true;
  }
};

}  // namespace handle_traits

using UniqueHandle = UniqueResource<handle_traits::Kernel>;
using UniqueFind = UniqueResource<handle_traits::Find>;
using UniqueMenu = UniqueResource<handle_traits::Menu>;
using UniqueKey = UniqueResource<handle_traits::RegKey>;
using UniqueService = UniqueResource<handle_traits::Service>;
using UniqueFont = UniqueResource<handle_traits::GdiObject<HFONT>>;
using UniqueBrush = UniqueResource<handle_traits::GdiObject<HBRUSH>>;
using UniquePen = UniqueResource<handle_traits::GdiObject<HPEN>>;
using UniqueBitmap = UniqueResource<handle_traits::GdiObject<HBITMAP>>;
using UniqueRegion = UniqueResource<handle_traits::GdiObject<HRGN>>;
using UniqueMemoryDc = UniqueResource<handle_traits::MemoryDc>;
using UniqueIcon = UniqueResource<handle_traits::Icon>;
using UniqueWindow = UniqueResource<handle_traits::Window>;
using UniqueFontResource = UniqueResource<handle_traits::FontResource>;
using UniqueCoTaskMem = UniqueResource<handle_traits::CoTaskMem>;
using UniqueLocalMem = UniqueResource<handle_traits::LocalMem>;
using UniqueResourceUpdate = UniqueResource<handle_traits::ResourceUpdate>;

// Procedure lookup on a held module; null when the module or the name is missing.
template <class Fn>
Fn ModuleProc(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// A loaded module, with lookup of its entry points.
class UniqueModule : public UniqueResource<handle_traits::Module> {
 public:
  using UniqueResource::UniqueResource;
  template <class Fn>
  Fn Proc(const char* name) const {
    return ModuleProc<Fn>(Get(), name);
  }
};

// A DC of a window (GetDC/GetWindowDC), given back to its window.
class WindowDc {
 public:
  WindowDc() = default;
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  WindowDc(HWND window, HDC dc) : window_(window), dc_(dc) {}
  ~WindowDc() { Reset(); }
  WindowDc(WindowDc&& other) noexcept
      : window_(std::exchange(other.window_, nullptr)), dc_(std::exchange(other.dc_, nullptr)) {}
  WindowDc& operator=(WindowDc&& other) noexcept {
    if (this != &other) {
      Reset();
      window_ = std::exchange(other.window_, nullptr);
      dc_ = std::exchange(other.dc_, nullptr);
    }
    return *this;
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;

  HDC Get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }
  void Reset() {
    if (dc_) ReleaseDC(window_, dc_);
    dc_ = nullptr;
    window_ = nullptr;
  }

 private:
  HWND window_ = nullptr;
  HDC dc_ = nullptr;
};

// BeginPaint/EndPaint around a WM_PAINT.
class PaintScope {
 public:
  explicit PaintScope(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
  ~PaintScope() { EndPaint(window_, &paint_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC Get() const { return dc_; }
  const PAINTSTRUCT& Info() const { return paint_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// An object selected into a DC; the previous one is selected back when this goes.
class Selection {
 public:
  Selection() = default;
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
  ~Selection() { Reset(); }
  Selection(Selection&& other) noexcept
      : dc_(std::exchange(other.dc_, nullptr)), previous_(std::exchange(other.previous_, nullptr)) {}
  Selection& operator=(Selection&& other) noexcept {
    if (this != &other) {
      Reset();
      dc_ = std::exchange(other.dc_, nullptr);
      previous_ = std::exchange(other.previous_, nullptr);
    }
    return *this;
  }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;

  HGDIOBJ Previous() const { return previous_; }
  void Reset() {
    if (dc_ && previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    dc_ = nullptr;
    previous_ = nullptr;
  }

 private:
  HDC dc_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

// Owner of one COM interface reference.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(T* pointer) : pointer_(pointer) {}  // takes the reference
  ~ComPtr() { Reset(); }
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      pointer_ = std::exchange(other.pointer_, nullptr);
    }
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  T* Get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  T** Receive() {
    Reset();
    return &pointer_;
  }
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
  T* Release() { return std::exchange(pointer_, nullptr); }
  void Reset() {
    if (pointer_) pointer_->Release();
    pointer_ = nullptr;
  }

 private:
  T* pointer_ = nullptr;
};

// CoInitialize for this thread; uninitialised only if it succeeded
// (S_FALSE counts: it still takes a reference).
class ComScope {
 public:
  ComScope() : result_(CoInitialize(nullptr)) {}
  explicit ComScope(DWORD model) : result_(CoInitializeEx(nullptr, model)) {}
  ~ComScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  bool Succeeded() const { return SUCCEEDED(result_); }
  HRESULT Result() const { return result_; }

 private:
  HRESULT result_;
};

// OleInitialize for this thread, undone only if it succeeded.
class OleScope {
 public:
  OleScope() : result_(OleInitialize(nullptr)) {}
  ~OleScope() {
    if (SUCCEEDED(result_)) OleUninitialize();
  }
  OleScope(const OleScope&) = delete;
  OleScope& operator=(const OleScope&) = delete;
  bool Succeeded() const { return SUCCEEDED(result_); }
  HRESULT Result() const { return result_; }

 private:
  HRESULT result_;
};

// GDI+ loaded from the system folder and started; shut down before its
// module is unloaded, in that order, when the scope ends.
class GdiPlusScope {
 public:
  // module: gdiplus.dll as loaded by the caller (from the system folder).
  explicit GdiPlusScope(HMODULE module) : module_(module) {
    struct StartupInput {
      UINT32 version = 1;
      void* debugEventCallback = nullptr;
      BOOL suppressBackgroundThread = FALSE;
      BOOL suppressExternalCodecs = FALSE;
    };
    using StartupFn = int(WINAPI*)(ULONG_PTR*, const StartupInput*, void*);
    if (auto startup = ModuleProc<StartupFn>(module_.Get(), "GdiplusStartup")) {
      StartupInput input;
      if (startup(&token_, &input, nullptr) != 0) token_ = 0;
    }
  }
  ~GdiPlusScope() {
    using ShutdownFn = void(WINAPI*)(ULONG_PTR);
    if (token_ != 0) {
      if (auto shutdown = ModuleProc<ShutdownFn>(module_.Get(), "GdiplusShutdown")) shutdown(token_);
    }
    module_.Reset();
  }
  GdiPlusScope(const GdiPlusScope&) = delete;
  GdiPlusScope& operator=(const GdiPlusScope&) = delete;
  bool Succeeded() const { return token_ != 0; }
  HMODULE Module() const { return module_.Get(); }

 private:
  UniqueModule module_;
  ULONG_PTR token_ = 0;
};

// One GDI+ flat-API object (graphics, font, brush, string format): the
// delete function comes from the gdiplus.dll the object was made by.
template <class T>
class GdiPlusPtr {
 public:
  using DeleteFn = int(WINAPI*)(T*);
  GdiPlusPtr() = default;
  explicit GdiPlusPtr(DeleteFn deleter) : deleter_(deleter) {}
  ~GdiPlusPtr() { Reset(); }
  GdiPlusPtr(GdiPlusPtr&& other) noexcept
      : pointer_(std::exchange(other.pointer_, nullptr)), deleter_(other.deleter_) {}
  GdiPlusPtr& operator=(GdiPlusPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      pointer_ = std::exchange(other.pointer_, nullptr);
      deleter_ = other.deleter_;
    }
    return *this;
  }
  GdiPlusPtr(const GdiPlusPtr&) = delete;
  GdiPlusPtr& operator=(const GdiPlusPtr&) = delete;

  T* Get() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  // For out-parameters of the creating call.
  T** Receive() {
    Reset();
    return &pointer_;
  }
  void Reset() {
    if (pointer_ && deleter_) deleter_(pointer_);
    pointer_ = nullptr;
  }

 private:
  T* pointer_ = nullptr;
  DeleteFn deleter_ = nullptr;
};

}  // namespace kw
