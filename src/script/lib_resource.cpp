// Writing a resource of the executable to a file.
#include <windows.h>

#include <cstring>
#include <utility>
#include <vector>

extern "C" {
#include <lua.h>
}

#include "core/trace.h"
#include "core/handles.h"
#include "core/module_resource.h"
#include "payload/signature.h"
#include "script/lib_file.h"
#include "script/native_args.h"

namespace kw {

namespace {

// Argument 2 as resource name: a number is an integer identifier, which
// only exists from 1 to 65535; anything else is a name.
bool ResourceName(lua_State* state, std::wstring& text, const wchar_t*& name) {
  if (lua_type(state, 2) == LUA_TNUMBER) {
    const lua_Number id = lua_tonumber(state, 2);
    if (!(id >= 1 && id <= 0xFFFF)) return false;
    name = MAKEINTRESOURCEW(static_cast<WORD>(id));
    return true;
  }
  text = ToWideArg(state, 2);
  name = text.c_str();
  return true;
}

}  // namespace

int Lua_ExtractResource(lua_State* state) {
  const std::wstring destination = ExpandedArg(state, 3);
  const std::wstring type = ToWideArg(state, 1);
  std::wstring nameText;
  const wchar_t* name = nullptr;
  ResourceBytes resource;
  const ResourceStatus status = ResourceName(state, nameText, name)
                                    ? FindModuleResource(GetModuleHandleW(nullptr), name, type.c_str(), resource)
                                    : ResourceStatus::kNotFound;
  // An empty resource makes an empty file.
  if (status != ResourceStatus::kFound && status != ResourceStatus::kEmpty) {
    DebugTrace(L"Fun:%s ,LoadResource failed!\r\n", L"Lua_ExtractResource");
    return PushBool(state, false);
  }
  const auto* data = static_cast<const unsigned char*>(resource.data);
  const DWORD size = resource.size;

  UniqueHandle file(CreateFileW(destination.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    DebugTrace(L"Fun:%s ,CreateFileW %s failed!\r\n", L"Lua_ExtractResource", destination.c_str());
    return PushBool(state, false);
  }
  // The loaded image is read-only and shared by every caller: the exchange
  // works on a copy, so each extraction starts from the stored bytes.
  std::vector<unsigned char> swapped;
  const unsigned char* bytes = data;
  if (type == kPayloadResourceType && size >= 2) {
    swapped.assign(data, data + size);
    SwapSignatureBytes(swapped.data(), swapped.size());
    bytes = swapped.data();
  }
  DWORD written = 0;
  const bool ok = WriteFile(file.Get(), bytes, size, &written, nullptr) && written == size;
  if (!file.Close() || !ok) {
    DebugTrace(L"Fun:%s ,WriteFile %s failed!\r\n", L"Lua_ExtractResource", destination.c_str());
    return PushBool(state, false);
  }
  return PushBool(state, true);
}

}  // namespace kw
