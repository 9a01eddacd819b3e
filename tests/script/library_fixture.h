// In-process tests of the script library: script code runs in the
// installer's one engine against real files and the real registry, each test
// in a fresh folder, with the debug traces it writes at hand.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "child_process.h"
#include "held_file.h"
#include "script/engine.h"
#include "script_fixture.h"
#include "trace_capture.h"

namespace kwtest {

class LibraryTest : public ScriptTest {
 protected:
  void SetUp() override { folder = MakeTempFolder(L"script"); }
  void TearDown() override {
    RemoveTree(folder);
    ScriptTest::TearDown();
  }

  // A script global holding a UTF-16 text (as UTF-8).
  void Set(const char* name, const std::wstring& value) { engine.SetGlobalString(name, value); }

  // Runs one script expression and describes its first result: "none" when
  // it returns nothing, otherwise tostring() of the value ("nil", "true",
  // "false", a number or the string itself); "error: ..." if it fails.
  std::wstring Call(const std::string& expression) {
    const std::string error =
        Try("local r = table.pack(" + expression + ") kw_result = r.n == 0 and 'none' or tostring(r[1])");
    if (!error.empty()) return L"error: " + kw::Utf8ToWide(error);
    return engine.GetGlobalString("kw_result");
  }

  // The debug-trace lines written since the last call.
  std::vector<std::wstring> Traces() { return capture.Take(); }

  std::wstring Path(const std::wstring& relative) const { return folder + L"\\" + relative; }

  std::wstring folder;
  TraceCapture capture;
};

}  // namespace kwtest
