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

namespace {

// A runaway recursion would make a report of thousands of levels: this many
// are kept at each end.
constexpr int kKeptLevels = 10;

// How many levels from `from` on exist; lua_getstack walks the whole chain,
// so the end is found by doubling and halving, not level by level.
int LevelsFrom(lua_State* state, int from) {
  lua_Debug info{};
  if (!lua_getstack(state, from, &info)) return 0;
  int present = from, absent = from + 1;
  while (lua_getstack(state, absent, &info)) {
    present = absent;
    absent = from + (absent - from) * 2;
  }
  while (absent - present > 1) {
    const int middle = present + (absent - present) / 2;
    (lua_getstack(state, middle, &info) ? present : absent) = middle;
  }
  return present - from + 1;
}

}  // namespace

void AppendCallStack(lua_State* state, int level, std::string& text) {
  const int first = level, end = level + LevelsFrom(state, level);
  for (; level < end; ++level) {
    if (end - first > 2 * kKeptLevels && level == first + kKeptLevels) {
      text += fmt::format("--  | ... {} levels left out ...\n", end - first - 2 * kKeptLevels);
      level = end - kKeptLevels;
    }
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
