// What a person sees when script code fails at run time.
#pragma once
#include <string>

struct lua_State;

namespace kw {

extern const wchar_t kScriptErrorCaption[];

// The 8-bit call-stack text from `level` outward, appended to `text`.
void AppendCallStack(lua_State* state, int level, std::string& text);

// The whole report for the error value on top of the stack: error text, call
// stack, and the closing request for feedback.
std::wstring BuildScriptErrorReport(lua_State* state);

// Message handler of every protected call: shows the report and ends the
// process with exit code 0. Never returns.
int OnScriptError(lua_State* state);

// True once a script error is ending the process.
bool ScriptErrorEnding();

}  // namespace kw
