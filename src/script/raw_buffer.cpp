// `RawBuffer`: zero-filled bytes with typed accessors at byte offsets. The
// accessors also work on a light userdata pointer, for memory a native call
// handed back.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "core/encoding.h"
#include "script/value_access.h"
#include "script/value_types.h"

namespace kw {

namespace {

// Where an accessor reads or writes. A full userdata's block is checked
// against its size, so a wrong offset is an error rather than a write into
// foreign memory; a bare pointer carries no size and cannot be checked.
struct Target {
  std::uint8_t* address = nullptr;
  std::size_t room = 0;  // bytes from address to the end of the block
};

Target Resolve(lua_State* state, int self, int offsetIndex, std::size_t width) {
  const std::int32_t offset = Int32Arg(state, offsetIndex);
  auto* base = static_cast<std::uint8_t*>(lua_touserdata(state, self));
  if (!base) luaL_error(state, "RawBuffer: %s is neither a buffer nor a pointer", luaL_typename(state, self));
  if (lua_type(state, self) == LUA_TLIGHTUSERDATA)
    return {reinterpret_cast<std::uint8_t*>(reinterpret_cast<std::uintptr_t>(base) + offset), SIZE_MAX};
  const std::size_t size = lua_rawlen(state, self);
  if (offset < 0 || static_cast<std::size_t>(offset) > size || width > size - static_cast<std::size_t>(offset))
    luaL_error(state, "RawBuffer: offset %d with %d bytes is outside the %d-byte block", static_cast<int>(offset),
               static_cast<int>(width), static_cast<int>(size));
  return {base + offset, size - static_cast<std::size_t>(offset)};
}

template <class T>
int GetNumber(lua_State* state) {
  const Target target = Resolve(state, 1, 2, sizeof(T));
  T value;
  std::memcpy(&value, target.address, sizeof(T));
  lua_pushnumber(state, static_cast<lua_Number>(value));
  return 1;
}

int GetBoolean(lua_State* state) {
  const Target target = Resolve(state, 1, 2, sizeof(std::uint32_t));
  std::uint32_t value;
  std::memcpy(&value, target.address, sizeof(value));
  lua_pushboolean(state, value != 0 ? 1 : 0);
  return 1;
}

int GetPointer(lua_State* state) {
  lua_pushlightuserdata(state, Resolve(state, 1, 2, 0).address);
  return 1;
}

int GetWString(lua_State* state) {
  const Target target = Resolve(state, 1, 2, 0);
  const auto* text = reinterpret_cast<const wchar_t*>(target.address);
  const std::string utf8 = FromWide(CP_UTF8, std::wstring_view(text, wcsnlen(text, target.room / sizeof(wchar_t))));
  lua_pushlstring(state, utf8.data(), utf8.size());
  return 1;
}

int GetAString(lua_State* state) {
  const Target target = Resolve(state, 1, 2, 0);
  const auto* text = reinterpret_cast<const char*>(target.address);
  const std::string utf8 = FromWide(CP_UTF8, ToWide(CP_THREAD_ACP, std::string_view(text, strnlen(text, target.room))));
  lua_pushlstring(state, utf8.data(), utf8.size());
  return 1;
}

// Setters take (self, offset, value) from the top of the stack; a shorter
// call reads the missing ones as nil.
int SetterBase(lua_State* state) {
  if (lua_gettop(state) < 3) lua_settop(state, 3);
  return lua_gettop(state) - 2;
}

template <class T, bool kUnsigned>
int SetNumber(lua_State* state) {
  const int self = SetterBase(state);
  const Target target = Resolve(state, self, self + 1, sizeof(T));
  const std::uint32_t bits = kUnsigned ? UInt32Arg(state, self + 2) : static_cast<std::uint32_t>(Int32Arg(state, self + 2));
  const T value = static_cast<T>(bits);  // keeps the low bits
  std::memcpy(target.address, &value, sizeof(T));
  return 0;
}

int SetBoolean(lua_State* state) {
  const int self = SetterBase(state);
  const Target target = Resolve(state, self, self + 1, sizeof(std::uint32_t));
  const std::uint32_t value = lua_toboolean(state, self + 2) ? 1 : 0;
  std::memcpy(target.address, &value, sizeof(value));
  return 0;
}

int SetPointer(lua_State* state) {
  const int self = SetterBase(state);
  const Target target = Resolve(state, self, self + 1, sizeof(std::uint32_t));
  const auto value = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(lua_touserdata(state, self + 2)));
  std::memcpy(target.address, &value, sizeof(value));
  return 0;
}

// OffsetSetAsWString and OffsetSetAsAString: copies the value's whole block.
int SetBlock(lua_State* state) {
  const int self = SetterBase(state);
  const int value = self + 2;
  const int type = lua_type(state, value);
  if (type == LUA_TLIGHTUSERDATA) return 0;  // no block, nothing to copy
  if (type != LUA_TUSERDATA) return luaL_error(state, "RawBuffer: a %s value has no block to copy", luaL_typename(state, value));
  const std::size_t size = lua_rawlen(state, value);
  const Target target = Resolve(state, self, self + 1, size);
  std::memmove(target.address, lua_touserdata(state, value), size);
  return 0;
}

int New(lua_State* state) {
  const std::uint32_t size = UInt32Arg(state, 1);
  if (size == 0) {
    lua_pushnil(state);
    return 1;
  }
  std::memset(lua_newuserdata(state, size), 0, size);
  luaL_setmetatable(state, kRawBufferMetaTable);
  return 1;
}

constexpr luaL_Reg kMethods[] = {
    {"OffsetGetAsInt32", &GetNumber<std::int32_t>},
    {"OffsetGetAsUInt32", &GetNumber<std::uint32_t>},
    {"OffsetGetAsInt16", &GetNumber<std::int16_t>},
    {"OffsetGetAsUInt16", &GetNumber<std::uint16_t>},
    {"OffsetGetAsInt8", &GetNumber<std::int8_t>},
    {"OffsetGetAsUInt8", &GetNumber<std::uint8_t>},
    {"OffsetGetAsWString", &GetWString},
    {"OffsetGetAsAString", &GetAString},
    {"OffsetGetAsBoolean", &GetBoolean},
    {"OffsetGetAsPointer", &GetPointer},
    {"OffsetSetAsInt32", &SetNumber<std::int32_t, false>},
    {"OffsetSetAsUInt32", &SetNumber<std::uint32_t, true>},
    {"OffsetSetAsInt16", &SetNumber<std::int16_t, false>},
    {"OffsetSetAsUInt16", &SetNumber<std::uint16_t, true>},
    {"OffsetSetAsInt8", &SetNumber<std::int8_t, false>},
    {"OffsetSetAsUInt8", &SetNumber<std::uint8_t, true>},
    {"OffsetSetAsWString", &SetBlock},
    {"OffsetSetAsAString", &SetBlock},
    {"OffsetSetAsBoolean", &SetBoolean},
    {"OffsetSetAsPointer", &SetPointer},
    {nullptr, nullptr},
};

}  // namespace

int OpenRawBuffer(lua_State* state) {
  luaL_newmetatable(state, kRawBufferMetaTable);
  lua_pushvalue(state, -1);
  lua_setfield(state, -2, "__index");
  luaL_setfuncs(state, kMethods, 0);
  lua_pop(state, 1);
  static constexpr luaL_Reg kModule[] = {{"New", &New}, {nullptr, nullptr}};
  luaL_newlib(state, kModule);
  return 1;
}

}  // namespace kw
