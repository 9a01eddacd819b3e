#include "core/module_resource.h"

#include "core/trace.h"

namespace kw {

ResourceStatus FindModuleResource(HMODULE module, const wchar_t* name, const wchar_t* type, ResourceBytes& bytes) {
  bytes = {};
  HRSRC info = FindResourceW(module, name, type);
  if (!info) return ResourceStatus::kNotFound;
  // A loaded resource needs no release on Win32: it lives as long as the module.
  HGLOBAL loaded = LoadResource(module, info);
  if (!loaded) return ResourceStatus::kNotLoaded;
  const void* data = LockResource(loaded);
  if (!data) return ResourceStatus::kNotLocked;
  bytes = {data, SizeofResource(module, info)};
  return bytes.size == 0 ? ResourceStatus::kEmpty : ResourceStatus::kFound;
}

void TraceResourceFailure(ResourceStatus status) {
  switch (status) {
    case ResourceStatus::kNotFound:
    case ResourceStatus::kNotLoaded:
      KW_TRACE_FAILURE(L"");
      break;
    case ResourceStatus::kNotLocked:
      KW_TRACE_FAILURE(L"LockResource failed.");
      break;
    case ResourceStatus::kEmpty:
      DebugTrace(L"ResSize == 0\r\n");
      break;
    case ResourceStatus::kFound:
      break;
  }
}

}  // namespace kw
