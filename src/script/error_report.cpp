#include "script/error_report.h"

#include <windows.h>

#include <atomic>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include <fmt/core.h>

#include "core/encoding.h"

namespace kw {

const wchar_t kScriptErrorCaption[] = L":-( 杯具，脚本执行时发生错误";

namespace {

constexpr wchar_t kFeedbackRequest[] = L"请向我们反馈以上错误信息，以便我们改善产品质量！";
std::atomic<bool> g_errorEnding{false};

}  // namespace

bool ScriptErrorEnding() { return g_errorEnding.load(); }

void AppendCallStack(lua_State* state, int level, std::string& text) {
  // Iterative walk; the recursion of the report's definition is level by level.
  for (; level >= 0; ++level) {
    lua_Debug info{};
    if (!lua_getstack(state, level, &info)) return;
    lua_getinfo(state, "nSl", &info);
    const char* prefix = "--  | ";
    if (level == 0) {
      text += "      <call stack>\n";
      prefix = "-> | ";
    }
    const char* source = info.source ? info.source : "";
    if (info.name)
      text += fmt::format("{}{}() : line {} [{} : line {}]\n", prefix, info.name, info.currentline, source,
                          info.linedefined);
    else
      text += fmt::format("{}unknown : line {} [{} : line {}]\n", prefix, info.currentline, source,
                          info.linedefined);
  }
}

std::wstring BuildScriptErrorReport(lua_State* state) {
  const char* message = luaL_tolstring(state, -1, nullptr);
  std::string text = fmt::format("{}\n", message ? message : "");
  lua_pop(state, 1);
  AppendCallStack(state, 0, text);
  return ToWide(CP_ACP, text) + kFeedbackRequest;
}

int OnScriptError(lua_State* state) {
  g_errorEnding = true;
  const std::wstring report = BuildScriptErrorReport(state);
  MessageBoxW(nullptr, report.c_str(), kScriptErrorCaption, MB_ICONERROR);
  ExitProcess(0);
}

}  // namespace kw
