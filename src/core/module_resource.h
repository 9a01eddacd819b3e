// A module's own file and resources, read where the loader put them.
#pragma once
#include <windows.h>

namespace kw {

enum class ResourceStatus {
  kFound,
  kNotFound,   // FindResourceW failed (GetLastError() tells why)
  kNotLoaded,  // LoadResource failed
  kNotLocked,  // LockResource gave no bytes
  kEmpty,      // found and locked, but of size 0 (data is valid)
};

// The bytes of a loaded resource: they stay valid while the module is loaded.
struct ResourceBytes {
  const void* data = nullptr;
  DWORD size = 0;
};

// Finds resource `name` of `type` (strings or MAKEINTRESOURCE ids) in module.
// Nothing runs after the failing call, so GetLastError() still tells why.
ResourceStatus FindModuleResource(HMODULE module, const wchar_t* name, const wchar_t* type, ResourceBytes& bytes);

// The failure trace of a resource that could not be had: the system error for
// a failed find, load or lock, "ResSize == 0" for an empty one. Call it first.
void TraceResourceFailure(ResourceStatus status);

}  // namespace kw
