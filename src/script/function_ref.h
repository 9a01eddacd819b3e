// Native handles to script functions, and a scope-exit action to release them.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

struct lua_State;

namespace kw {

// A script function kept in the registry. -2 means "no reference".
struct ScriptFunctionRef {
  static constexpr int kNoRef = -2;

  int ref = kNoRef;
  lua_State* state = nullptr;

  // Pops the function on top of the stack into the registry.
  static ScriptFunctionRef PopFrom(lua_State* state);
  void Release();
  bool Valid() const { return ref != kNoRef && state != nullptr; }

  // function(path): errors are traced, never raised.
  void CallWithPath(const std::wstring& path) const;
  // function(path, code) -> integer; 2 when the call fails.
  std::int32_t CallWithPathAndCode(const std::wstring& path, std::uint32_t code) const;
};

using PathCallback = std::function<void(const std::wstring&)>;
using PathCodeCallback = std::function<std::int32_t(const std::wstring&, std::uint32_t)>;

PathCallback MakePathCallback(const ScriptFunctionRef& fn);
PathCodeCallback MakePathCodeCallback(const ScriptFunctionRef& fn);

class ScopeGuard {
 public:
  explicit ScopeGuard(std::function<void()> onExit) : onExit_(std::move(onExit)) {}
  ~ScopeGuard() {
    if (!dismissed_ && onExit_) onExit_();
  }
  ScopeGuard(const ScopeGuard&) = delete;
  ScopeGuard& operator=(const ScopeGuard&) = delete;
  void Dismiss() { dismissed_ = true; }

 private:
  std::function<void()> onExit_;
  bool dismissed_ = false;
};

}  // namespace kw
