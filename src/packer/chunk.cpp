#include "packer/chunk.h"

#include <windows.h>

#include <memory>

#include "lauxlib.h"
#include "lua.h"
#include "packer/dump_chunk.h"
#include "packer/folder.h"
#include "packer/pack_error.h"

namespace kwpack {

namespace {

int Append(lua_State*, const void* bytes, size_t size, void* out) {
  static_cast<std::string*>(out)->append(static_cast<const char*>(bytes), size);
  return 0;
}

std::wstring Wide(const char* text) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size > 0 ? size - 1 : 0), L'\0');
  if (size > 1) MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), size);
  return out;
}

}  // namespace

std::string CompileChunk(const std::wstring& path) {
  const std::string source = ReadWholeFile(path, L"Script");
  std::unique_ptr<lua_State, decltype(&lua_close)> state(luaL_newstate(), &lua_close);
  if (!state) Fail(L"Out of memory compiling " + path);
  lua_State* L = state.get();
  // Messages read "path:line: ..." (a long path keeps its end, the file name).
  const std::string name = "@" + Utf8(path);
  if (luaL_loadbufferx(L, source.data(), source.size(), name.c_str(), "t") != LUA_OK)
    Fail(Wide(lua_tostring(L, -1)));
  std::string chunk;
  if (kwpack_DumpStripped(L, Append, &chunk) != 0) Fail(L"Cannot compile " + path);
  return chunk;
}

}  // namespace kwpack
