#include "packer/chunk.h"

#include <windows.h>

#include <memory>

#include "core/encoding.h"
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

}  // namespace

std::string CompileChunk(const std::wstring& path) {
  const std::string source = ReadWholeFile(path, L"Script");
  std::unique_ptr<lua_State, decltype(&lua_close)> state(luaL_newstate(), &lua_close);
  if (!state) Fail(L"Out of memory compiling " + path);
  lua_State* L = state.get();
  // Messages read "path:line: ..." (a long path keeps its end, the file name).
  const std::string name = "@" + kw::WideToUtf8(path);
  if (luaL_loadbufferx(L, source.data(), source.size(), name.c_str(), "t") != LUA_OK) {
    const char* message = lua_tostring(L, -1);
    Fail(kw::Utf8ToWide(message ? message : "the error is not a text"));
  }
  std::string chunk;
  if (kwpack_DumpStripped(L, Append, &chunk) != 0) Fail(L"Cannot compile " + path);
  return chunk;
}

}  // namespace kwpack
