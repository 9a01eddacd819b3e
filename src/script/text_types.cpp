// `AString` and `WString`: one implementation over the character type.
#include <windows.h>

#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "core/encoding.h"
#include "script/native_args.h"
#include "script/value_access.h"
#include "script/value_types.h"

namespace kw {

namespace {

template <class Char>
using Text = std::basic_string<Char>;
template <class Char>
using TextView = std::basic_string_view<Char>;

template <class Char>
struct TextKind;

template <>
struct TextKind<char> {
  static constexpr const char* kMetaTable = kAStringMetaTable;
  static std::string FromUtf8(const std::wstring& wide) { return FromWide(CP_THREAD_ACP, wide); }
  static std::string FromOther(TextView<wchar_t> wide) { return FromWide(CP_THREAD_ACP, wide); }
  static std::string ToUtf8(TextView<char> text) { return WideToUtf8(ToWide(CP_THREAD_ACP, text)); }
  static bool Equal(TextView<char> a, TextView<char> b) {
    return CompareStringA(GetThreadLocale(), 0, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
  }
};

template <>
struct TextKind<wchar_t> {
  static constexpr const char* kMetaTable = kWStringMetaTable;
  static std::wstring FromUtf8(const std::wstring& wide) { return wide; }
  static std::wstring FromOther(TextView<char> ansi) { return ToWide(CP_THREAD_ACP, ansi); }
  static std::string ToUtf8(TextView<wchar_t> text) { return FromWide(CP_UTF8, text); }
  static bool Equal(TextView<wchar_t> a, TextView<wchar_t> b) {
    return CompareStringW(GetThreadLocale(), 0, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
  }
};

template <class Char>
Char* Block(lua_State* state, int index) {
  return static_cast<Char*>(lua_touserdata(state, index));
}

template <class Char>
std::size_t Capacity(lua_State* state, int index) {
  return lua_rawlen(state, index) / sizeof(Char);
}

// The text of an object: up to the first NUL, and never past its block even
// when a native call filled it without a terminator.
template <class Char>
TextView<Char> StoredText(lua_State* state, int index) {
  const Char* block = Block<Char>(state, index);
  const std::size_t capacity = Capacity<Char>(state, index);
  std::size_t length = 0;
  while (length < capacity && block[length] != Char()) ++length;
  return TextView<Char>(block, length);
}

// A value's text in the type's encoding: strings and numbers (UTF-8),
// `AString` and `WString`; nothing for any other value.
template <class Char>
std::optional<Text<Char>> TextOf(lua_State* state, int index) {
  using Other = std::conditional_t<std::is_same_v<Char, char>, wchar_t, char>;
  const int type = lua_type(state, index);
  if (type == LUA_TSTRING || type == LUA_TNUMBER) return TextKind<Char>::FromUtf8(ToWideArg(state, index));
  if (luaL_testudata(state, index, TextKind<Char>::kMetaTable)) return Text<Char>(StoredText<Char>(state, index));
  if (luaL_testudata(state, index, TextKind<Other>::kMetaTable))
    return TextKind<Char>::FromOther(StoredText<Other>(state, index));
  return std::nullopt;
}

// A new object of `capacity` characters holding `text` and its terminator,
// the rest zero-filled.
template <class Char>
void PushObject(lua_State* state, TextView<Char> text, std::size_t capacity) {
  Char* block = static_cast<Char*>(lua_newuserdata(state, capacity * sizeof(Char)));
  std::memset(block, 0, capacity * sizeof(Char));
  std::memcpy(block, text.data(), text.size() * sizeof(Char));
  luaL_setmetatable(state, TextKind<Char>::kMetaTable);
}

template <class Char>
void PushUtf8(lua_State* state, TextView<Char> text) {
  const std::string utf8 = TextKind<Char>::ToUtf8(text);
  lua_pushlstring(state, utf8.data(), utf8.size());
}

// New(length [, initial])
template <class Char>
int New(lua_State* state) {
  const std::int32_t length = Int32Arg(state, 1);
  std::optional<Text<Char>> initial;
  if (!lua_isnoneornil(state, 2)) initial = TextOf<Char>(state, 2);
  if (!initial) {
    if (length < 1) {
      lua_pushnil(state);
      return 1;
    }
    PushObject<Char>(state, TextView<Char>(), static_cast<std::size_t>(length));
    return 1;
  }
  const std::size_t capacity =
      (length > 0 && initial->size() < static_cast<std::size_t>(length)) ? static_cast<std::size_t>(length)
                                                                         : initial->size() + 1;
  PushObject<Char>(state, *initial, capacity);
  return 1;
}

template <class Char>
int Len(lua_State* state) {
  luaL_checkudata(state, 1, TextKind<Char>::kMetaTable);
  PushUInt32(state, static_cast<std::uint32_t>(StoredText<Char>(state, 1).size()));
  return 1;
}

template <class Char>
int ToString(lua_State* state) {
  luaL_checkudata(state, 1, TextKind<Char>::kMetaTable);
  PushUtf8<Char>(state, StoredText<Char>(state, 1));
  return 1;
}

template <class Char>
int Eq(lua_State* state) {
  const char* metaTable = TextKind<Char>::kMetaTable;
  const bool equal = luaL_testudata(state, 1, metaTable) && luaL_testudata(state, 2, metaTable) &&
                     TextKind<Char>::Equal(StoredText<Char>(state, 1), StoredText<Char>(state, 2));
  lua_pushboolean(state, equal ? 1 : 0);
  return 1;
}

template <class Char>
int Concat(lua_State* state) {
  std::optional<Text<Char>> joined = TextOf<Char>(state, 1);
  if (!joined) return luaL_error(state, "attempt to concatenate a %s value", luaL_typename(state, 1));
  const std::optional<Text<Char>> tail = TextOf<Char>(state, 2);
  if (!tail) return luaL_error(state, "attempt to concatenate a %s value", luaL_typename(state, 2));
  *joined += *tail;
  PushObject<Char>(state, *joined, joined->size() + 1);
  return 1;
}

// The key of object[i] as a position; nothing for a key that is no number.
template <class Char>
std::optional<std::int32_t> PositionKey(lua_State* state) {
  luaL_checkudata(state, 1, TextKind<Char>::kMetaTable);
  if (lua_type(state, 2) != LUA_TNUMBER) return std::nullopt;
  return Int32Arg(state, 2);
}

// object[i]: the character at zero-based position i; nil below 0 and past
// the block.
template <class Char>
int Index(lua_State* state) {
  const std::optional<std::int32_t> position = PositionKey<Char>(state);
  if (!position || *position < 0 || static_cast<std::size_t>(*position) >= Capacity<Char>(state, 1)) return 0;
  const Char c = Block<Char>(state, 1)[*position];
  PushUtf8<Char>(state, TextView<Char>(&c, c == Char() ? 0 : 1));
  return 1;
}

// object[i] = v: replaces one character inside the text, never the first and
// never the terminator; anything else is ignored.
template <class Char>
int NewIndex(lua_State* state) {
  const std::optional<std::int32_t> position = PositionKey<Char>(state);
  if (!position || *position < 1 || static_cast<std::size_t>(*position) >= StoredText<Char>(state, 1).size()) return 0;
  const std::optional<Text<Char>> value = TextOf<Char>(state, 3);
  if (value && !value->empty()) Block<Char>(state, 1)[*position] = (*value)[0];
  return 0;
}

template <class Char>
int Open(lua_State* state) {
  static constexpr luaL_Reg kMetaMethods[] = {
      {"__index", &Index<Char>},       {"__newindex", &NewIndex<Char>}, {"__len", &Len<Char>},
      {"__tostring", &ToString<Char>}, {"__concat", &Concat<Char>},     {"__eq", &Eq<Char>},
      {nullptr, nullptr},
  };
  static constexpr luaL_Reg kModule[] = {{"New", &New<Char>}, {nullptr, nullptr}};
  luaL_newmetatable(state, TextKind<Char>::kMetaTable);
  luaL_setfuncs(state, kMetaMethods, 0);
  lua_pop(state, 1);
  luaL_newlib(state, kModule);
  return 1;
}

}  // namespace

int OpenAString(lua_State* state) { return Open<char>(state); }

int OpenWString(lua_State* state) { return Open<wchar_t>(state); }

}  // namespace kw
