#include <gtest/gtest.h>

#include <string>
#include <vector>

extern "C" {
#include <lua.h>
}

#include "script/engine.h"
#include "script/error_report.h"
#include "script/function_ref.h"
#include "script_runner.h"

namespace {

using kw::QRVScriptEngine;

class Engine : public kwtest::ScriptTest {};

TEST_F(Engine, TextChunksRunAndShareTheGlobalEnvironment) {
  kwtest::RunScript("shared_value = 41");
  kwtest::RunScript("shared_value = shared_value + 1");
  EXPECT_EQ(engine.GetGlobalInteger("shared_value"), 42);
}

TEST_F(Engine, StandardLibrariesAreOpen) {
  kwtest::RunScript("libs_ok = type(io.open) == 'function' and type(os.exit) == 'function' and type(debug.getinfo) == 'function'"
      " and type(bit32.band) == 'function' and type(package.loaded) == 'table' and type(coroutine.wrap) == 'function'");
  EXPECT_TRUE(engine.GetGlobalBool("libs_ok"));
}

TEST_F(Engine, LoadErrorsReturnFalseAndLeaveTheStackAlone) {
  const std::string broken = "function (";
  EXPECT_FALSE(engine.DoBuffer(broken.data(), broken.size(), "broken"));
  const std::string garbage = "\x1bLuaR\x00\x01\x04\x08";  // a foreign binary header
  EXPECT_FALSE(engine.DoBuffer(garbage.data(), garbage.size(), "garbage"));
  EXPECT_EQ(lua_gettop(L), height);
}

TEST_F(Engine, EventsThatAreNotFunctionsAreSkipped) {
  kwtest::RunScript("event_calls = 0 "
      "function Event_Fn() event_calls = event_calls + 1 end "
      "Event_Table = {} Event_String = 'x'");
  for (const char* name : {"Event_Missing", "Event_Table", "Event_String", "Event_Fn"}) engine.CallEvent(name);
  EXPECT_EQ(lua_gettop(L), height);
  EXPECT_EQ(engine.GetGlobalInteger("event_calls"), 1);
}

TEST_F(Engine, GlobalsConvertAtTheBoundary) {
  kwtest::RunScript("g_int = 12 g_frac = 1.5 g_true = true g_false = false g_table = {} g_text = '中文 text'");
  struct Read {
    const char* name;
    const wchar_t* asString;
    bool asBool;
    long asInteger;
  };
  const Read reads[] = {
      {"g_int", L"12", true, 12},
      {"g_frac", L"1.5", true, 2},  // the integer conversion rounds to nearest
      {"g_true", L"", true, 0},
      {"g_false", L"", false, 0},       {"g_table", L"", true, 0},    {"g_missing", L"", false, 0},
      {"g_text", L"中文 text", true, 0},
  };
  for (const Read& r : reads) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(engine.GetGlobalString(r.name), r.asString);
    EXPECT_EQ(engine.GetGlobalBool(r.name), r.asBool);
    EXPECT_EQ(engine.GetGlobalInteger(r.name), r.asInteger);
  }
  // Reading a number as text must not turn the global itself into a string.
  kwtest::RunScript("g_int_type = type(g_int)");
  EXPECT_EQ(engine.GetGlobalString("g_int_type"), L"number");
  EXPECT_EQ(lua_gettop(L), height);

  engine.SetGlobalString("InstallPath", L"C:\\程序\\KWSweep");
  engine.SetGlobalBool("g_flag", true);
  engine.SetGlobalNumber("g_number", 4294967295.0);
  kwtest::RunScript("g_check = InstallPath == 'C:\\\\\xe7\xa8\x8b\xe5\xba\x8f\\\\KWSweep' and g_flag == true and g_number == 4294967295");
  EXPECT_TRUE(engine.GetGlobalBool("g_check"));
}

TEST_F(Engine, FunctionRefsCallBackWithUtf8PathsAndRestoreTheStack) {
  kwtest::RunScript("seen = {} "
      "function on_path(p) seen[#seen + 1] = p end "
      "function on_code(p, c) seen[#seen + 1] = p .. '#' .. tostring(c) if c == 7 then return 'text' end return c + 1 end");
  lua_getglobal(L, "on_path");
  kw::ScriptFunctionRef pathRef = kw::ScriptFunctionRef::PopFrom(L);
  lua_getglobal(L, "on_code");
  kw::ScriptFunctionRef codeRef = kw::ScriptFunctionRef::PopFrom(L);
  kw::ScopeGuard release([&] {
    pathRef.Release();
    codeRef.Release();
  });
  ASSERT_TRUE(pathRef.Valid());

  kw::MakePathCallback(pathRef)(L"C:\\文件.txt");
  const auto onCode = kw::MakePathCodeCallback(codeRef);
  EXPECT_EQ(onCode(L"a", 41), 42);
  EXPECT_EQ(onCode(L"b", 0xFFFFFFFFu), 0) << "the code crosses as an unsigned number: 4294967295 + 1";
  EXPECT_EQ(onCode(L"c", 7), 0) << "a non-number result reads as 0";
  EXPECT_EQ(lua_gettop(L), height);
  kwtest::RunScript("seen_all = table.concat(seen, '|')");
  EXPECT_EQ(engine.GetGlobalString("seen_all"), L"C:\\文件.txt|a#41|b#4294967295|c#7");
}

TEST(ScopeGuard, RunsOnExitUnlessDismissed) {
  int runs = 0;
  { kw::ScopeGuard guard([&] { ++runs; }); }
  {
    kw::ScopeGuard guard([&] { ++runs; });
    guard.Dismiss();
  }
  EXPECT_EQ(runs, 1);
}

TEST(ScriptFunctionRef, ReleasedRefIsNoRef) {
  auto lock = QRVScriptEngine::Instance().LockState();
  lua_State* L = QRVScriptEngine::Instance().State();
  lua_pushcfunction(L, [](lua_State*) { return 0; });
  kw::ScriptFunctionRef ref = kw::ScriptFunctionRef::PopFrom(L);
  EXPECT_TRUE(ref.Valid());
  ref.Release();
  EXPECT_EQ(ref.ref, kw::ScriptFunctionRef::kNoRef);
  EXPECT_EQ(ref.CallWithPathAndCode(L"x", 1), 2);
}

// The report is built inside the message handler; capture it there instead
// of showing it.
std::wstring g_report;
int CaptureReport(lua_State* L) {
  g_report = kw::BuildScriptErrorReport(L);
  lua_pushliteral(L, "captured");
  return 1;
}

TEST_F(Engine, ErrorReportHasTheErrorTheCallStackAndTheRequest) {
  const std::string code =
      "local function inner()\n"
      "  error('bad thing')\n"
      "end\n"
      "function outer()\n"
      "  inner()\n"
      "end\n";
  ASSERT_EQ(kwtest::ScriptError(code, "script.lua"), "");
  lua_pushcfunction(L, &CaptureReport);
  lua_getglobal(L, "outer");
  ASSERT_NE(lua_pcall(L, 0, 0, -2), LUA_OK);
  lua_pop(L, 2);
  EXPECT_EQ(g_report,
            L"[string \"script.lua\"]:2: bad thing\n"
            L"      <call stack>\n"
            L"-> | unknown : line -1 [=[C] : line -1]\n"
            L"--  | error() : line -1 [=[C] : line -1]\n"
            L"--  | inner() : line 2 [script.lua : line 1]\n"
            L"--  | unknown : line 5 [script.lua : line 4]\n"
            L"请向我们反馈以上错误信息，以便我们改善产品质量！");
}

// A runaway recursion would make a report of thousands of levels (a message
// box taller than any screen): the first and the last levels are kept, the
// count of those left out stands between them.
TEST_F(Engine, ErrorReportOfADeepStackKeepsItsFirstAndLastLevels) {
  const std::string code =
      "function deep(n)\n"
      "  if n == 0 then error('too deep') end\n"
      "  deep(n - 1)\n"
      "end\n";
  ASSERT_EQ(kwtest::ScriptError(code, "deep.lua"), "");
  for (const int depth : {5, 500}) {
    SCOPED_TRACE(depth);
    lua_pushcfunction(L, &CaptureReport);
    lua_getglobal(L, "deep");
    lua_pushinteger(L, depth);
    ASSERT_NE(lua_pcall(L, 1, 0, -3), LUA_OK);
    lua_pop(L, 2);
    std::vector<std::wstring> lines;
    for (std::size_t at = 0, end; (end = g_report.find(L'\n', at)) != std::wstring::npos; at = end + 1)
      lines.push_back(g_report.substr(at, end - at));
    // Levels: the handler, error(), depth + 1 calls of deep, the main chunk is not on it.
    const int levels = depth + 3;
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], L"      <call stack>");
    EXPECT_EQ(lines[3], L"--  | error() : line -1 [=[C] : line -1]");
    EXPECT_EQ(lines.back(), L"--  | unknown : line 3 [deep.lua : line 1]") << "the outermost level stays";
    if (levels <= 20) {
      EXPECT_EQ(lines.size(), static_cast<std::size_t>(2 + levels));
    } else {
      ASSERT_EQ(lines.size(), 2u + 20u + 1u);
      EXPECT_EQ(lines[2 + 10], L"--  | ... " + std::to_wstring(levels - 20) + L" levels left out ...");
    }
  }
}

}  // namespace
