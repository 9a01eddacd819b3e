// Runs script code in this process's engine, the way installer scripts run,
// but with errors returned to the test instead of ending the process.
#pragma once
#include <gtest/gtest.h>

#include <string>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "script/engine.h"

namespace kwtest {

struct Case {
  const char* expression;
  const char* expected;
};

class ScriptTest : public testing::Test {
 protected:
  kw::QRVScriptEngine& engine = kw::QRVScriptEngine::Instance();
  lua_State* L = engine.State();
  kw::QRVScriptEngine::StateLock lock = engine.LockState();
  int height = lua_gettop(L);

  void TearDown() override { EXPECT_EQ(lua_gettop(L), height) << "the stack is left as found"; }

  // Runs a chunk; "" on success, otherwise the error text.
  std::string Try(const std::string& code) {
    if (luaL_loadbuffer(L, code.data(), code.size(), "test") != LUA_OK || lua_pcall(L, 0, 0, 0) != LUA_OK) {
      std::string error = lua_tostring(L, -1) ? lua_tostring(L, -1) : "(no message)";
      lua_pop(L, 1);
      return error;
    }
    return {};
  }
  void Run(const std::string& code) { ASSERT_EQ(Try(code), "") << code; }

  // Every result of an expression through tostring, joined by ",".
  std::string Eval(const std::string& expression) {
    const std::string error = Try(
        "local r = table.pack(" + expression + ") local out = {} "
        "for i = 1, r.n do out[i] = tostring(r[i]) end eval_result = table.concat(out, ',')");
    if (!error.empty()) return "error: " + error;
    lua_getglobal(L, "eval_result");
    std::string text = lua_tostring(L, -1) ? lua_tostring(L, -1) : "";
    lua_pop(L, 1);
    return text;
  }

  // Each expression after a fresh run of `setup`.
  void ExpectEach(const std::string& setup, std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
      ASSERT_EQ(Try(setup), "") << setup;
      EXPECT_EQ(Eval(c.expression), c.expected) << c.expression;
    }
  }

  // The raw block of the full userdata an expression yields.
  std::string Block(const std::string& expression) {
    const std::string error = Try("eval_block = " + expression);
    if (!error.empty()) return "error: " + error;
    lua_getglobal(L, "eval_block");
    std::string bytes;
    if (lua_type(L, -1) == LUA_TUSERDATA)
      bytes.assign(static_cast<const char*>(lua_touserdata(L, -1)), lua_rawlen(L, -1));
    else
      bytes = "not a full userdata";
    lua_pop(L, 1);
    return bytes;
  }
};

// Bytes of a UTF-16 text, for comparing with a block.
inline std::string WideBytes(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

}  // namespace kwtest
