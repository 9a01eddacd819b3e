// Runs script code in the installer's one engine, the state installer scripts
// run in with every library of ours registered, under a plain protected
// call: a script error comes back to the test instead of going to the error
// report, and the stack is left as it was found.
#pragma once
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "core/encoding.h"
#include "script/engine.h"
#include "script/native_args.h"

namespace kwtest {

// One value a chunk returned.
struct ScriptValue {
  int type = LUA_TNONE;
  std::string text;                 // what tostring() makes of it (UTF-8)
  double number = 0;
  bool boolean = false;
  std::string block;                // a full userdata: its bytes
  std::vector<std::wstring> items;  // a table: elements 1..n as text (strings and numbers, others "")

  std::wstring Wide() const { return kw::Utf8ToWide(text); }
};

struct ScriptRun {
  bool ok = false;
  std::string error;                // why it failed to load or run
  std::vector<ScriptValue> values;  // everything it returned
};

namespace detail {

// tostring() itself, so that a failing __tostring stays inside the protected call.
inline int ToText(lua_State* L) {
  luaL_tolstring(L, 1, nullptr);
  return 1;
}

inline std::string PopError(lua_State* L) {
  const char* message = lua_tostring(L, -1);
  std::string error = message ? message : "(no message)";
  lua_pop(L, 1);
  return error;
}

}  // namespace detail

// Loads `code` as chunk `chunkName`, runs it and collects what it returns.
inline ScriptRun RunChunk(const std::string& code, const char* chunkName = "test") {
  kw::QRVScriptEngine& engine = kw::QRVScriptEngine::Instance();
  auto lock = engine.LockState();
  lua_State* L = engine.State();
  const int base = lua_gettop(L);
  ScriptRun run;
  if (luaL_loadbuffer(L, code.data(), code.size(), chunkName) != LUA_OK ||
      lua_pcall(L, 0, LUA_MULTRET, 0) != LUA_OK) {
    run.error = detail::PopError(L);
    lua_settop(L, base);
    return run;
  }
  for (int i = base + 1, top = lua_gettop(L); i <= top; ++i) {
    ScriptValue value;
    value.type = lua_type(L, i);
    lua_pushcfunction(L, &detail::ToText);
    lua_pushvalue(L, i);
    if (lua_pcall(L, 1, 1, 0) != LUA_OK) {
      run.error = detail::PopError(L);
      lua_settop(L, base);
      run.values.clear();
      return run;
    }
    std::size_t size = 0;
    const char* text = lua_tolstring(L, -1, &size);
    value.text.assign(text, size);
    lua_pop(L, 1);
    if (value.type == LUA_TNUMBER) value.number = lua_tonumber(L, i);
    if (value.type == LUA_TBOOLEAN) value.boolean = lua_toboolean(L, i) != 0;
    if (value.type == LUA_TUSERDATA) value.block.assign(static_cast<const char*>(lua_touserdata(L, i)), lua_rawlen(L, i));
    if (value.type == LUA_TTABLE) {
      for (int n = 1;; ++n) {
        lua_rawgeti(L, i, n);
        const bool end = lua_isnil(L, -1);
        if (!end) value.items.push_back(kw::ToWideArg(L, -1));
        lua_pop(L, 1);
        if (end) break;
      }
    }
    run.values.push_back(std::move(value));
  }
  lua_settop(L, base);
  run.ok = true;
  return run;
}

// "" when the chunk ran, otherwise its error text.
inline std::string ScriptError(const std::string& code, const char* chunkName = "test") {
  const ScriptRun run = RunChunk(code, chunkName);
  return run.ok ? std::string() : run.error;
}

// Runs a chunk, failing the test if it does not load or run.
inline void RunScript(const std::string& code) { ASSERT_EQ(ScriptError(code), "") << code; }

// Every result of an expression through tostring, joined by ","; "error: ..."
// when it fails.
inline std::string Eval(const std::string& expression) {
  const ScriptRun run = RunChunk("return " + expression);
  if (!run.ok) return "error: " + run.error;
  std::string joined;
  for (std::size_t i = 0; i < run.values.size(); ++i) joined += (i ? "," : "") + run.values[i].text;
  return joined;
}

// tostring() of the first result of an expression ("nil", "true", a number,
// the string itself), "none" when it gives nothing, "error: ..." when it fails.
inline std::wstring FirstResult(const std::string& expression) {
  const ScriptRun run = RunChunk("return " + expression);
  if (!run.ok) return L"error: " + kw::Utf8ToWide(run.error);
  return run.values.empty() ? L"none" : run.values.front().Wide();
}

// The raw block of the full userdata an expression yields first.
inline std::string Block(const std::string& expression) {
  const ScriptRun run = RunChunk("return " + expression);
  if (!run.ok) return "error: " + run.error;
  if (run.values.empty() || run.values.front().type != LUA_TUSERDATA) return "not a full userdata";
  return run.values.front().block;
}

// What `code` (e.g. "return Lua_ExpandEnv('%TMP%')") returns; a script error
// fails the test.
inline std::vector<ScriptValue> RunValues(const std::string& code) {
  ScriptRun run = RunChunk(code);
  if (!run.ok) ADD_FAILURE() << run.error << "\n" << code;
  return std::move(run.values);
}

// The single result of `code`, failing the test when there is not exactly one.
inline ScriptValue RunOne(const std::string& code) {
  std::vector<ScriptValue> values = RunValues(code);
  if (values.size() != 1) {
    ADD_FAILURE() << values.size() << " results from: " << code;
    return {};
  }
  return std::move(values.front());
}

inline bool RunBool(const std::string& code) {
  const ScriptValue value = RunOne(code);
  EXPECT_EQ(value.type, LUA_TBOOLEAN) << code;
  return value.boolean;
}

inline std::wstring RunText(const std::string& code) {
  const ScriptValue value = RunOne(code);
  EXPECT_EQ(value.type, LUA_TSTRING) << code;
  return value.type == LUA_TSTRING ? value.Wide() : std::wstring();
}

// A Lua string literal holding `text` as UTF-8, whatever it contains.
inline std::string Lit(const std::wstring& text) { return "[==[" + kw::WideToUtf8(text) + "]==]"; }

// Bytes of a UTF-16 text, for comparing with a block.
inline std::string WideBytes(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

struct EvalCase {
  const char* expression;
  const char* expected;
};

// Each expression after a fresh run of `setup`.
inline void ExpectEach(const std::string& setup, std::initializer_list<EvalCase> cases) {
  for (const EvalCase& c : cases) {
    ASSERT_EQ(ScriptError(setup), "") << setup;
    EXPECT_EQ(Eval(c.expression), c.expected) << c.expression;
  }
}

// Holds the state for the whole test, as an install event does, and checks
// that the test leaves the stack as it found it.
class ScriptTest : public testing::Test {
 protected:
  kw::QRVScriptEngine& engine = kw::QRVScriptEngine::Instance();
  lua_State* L = engine.State();
  kw::QRVScriptEngine::StateLock lock = engine.LockState();
  int height = lua_gettop(L);

  void TearDown() override { EXPECT_EQ(lua_gettop(L), height) << "the stack is left as found"; }
};

}  // namespace kwtest
