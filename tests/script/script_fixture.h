// In-process tests of the script library: script code runs in the
// installer's one engine against real files and the real registry.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "child_process.h"
#include "held_file.h"
#include "run_script.h"
#include "script/engine.h"
#include "trace_capture.h"

namespace kwtest {

class ScriptTest : public testing::Test {
 protected:
  void SetUp() override { folder = MakeTempFolder(L"script"); }
  void TearDown() override { RemoveTree(folder); }

  // A script global holding a UTF-16 text (as UTF-8).
  void Set(const char* name, const std::wstring& value) { engine.SetGlobalString(name, value); }

  // Runs one script expression and describes its first result: "none" when
  // it returns nothing, otherwise tostring() of the value ("nil", "true",
  // "false", a number or the string itself).
  std::wstring Call(const std::string& expression) {
    RunScript("local r = table.pack(" + expression + ") kw_result = r.n == 0 and 'none' or tostring(r[1])");
    return engine.GetGlobalString("kw_result");
  }

  // The debug-trace lines written since the last call.
  std::vector<std::wstring> Traces() { return capture.Take(); }

  std::wstring Path(const std::wstring& relative) const { return folder + L"\\" + relative; }

  kw::QRVScriptEngine& engine = kw::QRVScriptEngine::Instance();
  kw::QRVScriptEngine::StateLock lock = engine.LockState();
  std::wstring folder;
  TraceCapture capture;
};

}  // namespace kwtest
