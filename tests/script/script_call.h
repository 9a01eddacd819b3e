// Calls the native library the way a script does, in this process's engine,
// and hands back what the call returned.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "script/engine.h"

namespace kwtest {

struct LuaValue {
  int type = LUA_TNONE;
  std::wstring text;  // strings (UTF-16)
  double number = 0;
  bool boolean = false;
  std::vector<std::wstring> items;  // tables: elements 1..n as text
};

// Runs `code` (e.g. "return Lua_ExpandEnv('%TMP%')") with a plain protected
// call, so a script error fails the test instead of ending the process.
inline std::vector<LuaValue> CallScript(const std::string& code) {
  kw::QRVScriptEngine& engine = kw::QRVScriptEngine::Instance();
  auto lock = engine.LockState();
  lua_State* L = engine.State();
  const int base = lua_gettop(L);
  std::vector<LuaValue> results;
  if (luaL_loadbuffer(L, code.data(), code.size(), "test") != LUA_OK || lua_pcall(L, 0, LUA_MULTRET, 0) != LUA_OK) {
    ADD_FAILURE() << lua_tostring(L, -1) << "\n" << code;
    lua_settop(L, base);
    return results;
  }
  for (int i = base + 1; i <= lua_gettop(L); ++i) {
    LuaValue value;
    value.type = lua_type(L, i);
    if (value.type == LUA_TSTRING) value.text = kw::ToWideArg(L, i);
    if (value.type == LUA_TNUMBER) value.number = lua_tonumber(L, i);
    if (value.type == LUA_TBOOLEAN) value.boolean = lua_toboolean(L, i) != 0;
    if (value.type == LUA_TTABLE) {
      for (int n = 1;; ++n) {
        lua_rawgeti(L, i, n);
        if (lua_isnil(L, -1)) {
          lua_pop(L, 1);
          break;
        }
        value.items.push_back(kw::ToWideArg(L, -1));
        lua_pop(L, 1);
      }
    }
    results.push_back(value);
  }
  lua_settop(L, base);
  return results;
}

// The single result of `code`, failing the test when there is not exactly one.
inline LuaValue CallOne(const std::string& code) {
  std::vector<LuaValue> results = CallScript(code);
  if (results.size() != 1) {
    ADD_FAILURE() << results.size() << " results from: " << code;
    return {};
  }
  return results.front();
}

inline bool CallBool(const std::string& code) {
  const LuaValue value = CallOne(code);
  EXPECT_EQ(value.type, LUA_TBOOLEAN) << code;
  return value.boolean;
}

inline std::wstring CallText(const std::string& code) {
  const LuaValue value = CallOne(code);
  EXPECT_EQ(value.type, LUA_TSTRING) << code;
  return value.text;
}

// A Lua string literal holding `text` as UTF-8, whatever it contains.
inline std::string Lit(const std::wstring& text) { return "[==[" + kw::WideToUtf8(text) + "]==]"; }

}  // namespace kwtest
