// Lua_UnCompress7z called from script code in this process, whose "_7Z"
// resources are the fixtures of payload_resources.rc.
#include <gtest/gtest.h>

#include <string>

#include "payload_test_support.h"
#include "script_runner.h"
#include "temp_folder.h"

namespace {

using namespace kwtest;

class UnCompress : public WithTempFolder<ScriptTest> {};

TEST_F(UnCompress, SelectsResourcesByNameIdOrNumericStringAndFilesByPath) {
  const std::vector<std::wstring> expected = ListTree(FixtureFolder() + L"\\tree");
  const std::string standardFile = Lit(FixtureFolder() + L"\\lzma2.7z");
  struct Case {
    std::string source;
    std::string fromFile;
    std::string result;
  };
  const Case cases[] = {
      {"'App.7z'", "false", "true"},  {"'App.7z'", "nil", "true"},  // a second time, as the first
      {"'123'", "false", "true"},     {"123", "false", "true"},      {"65536 + 123", "false", "true"},  // low 16 bits
      {standardFile, "true", "true"}, {"'STANDARD.7Z'", "false", "false"},  // standard bytes read as stored
      {"'124'", "false", "false"},    {"'Missing.7z'", "false", "false"},
      {Lit(FixtureFolder() + L"\\lzma2_swapped.7z"), "true", "false"},
      {Lit(FixtureFolder() + L"\\missing.7z"), "true", "false"},
  };
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source + " fromFile " + c.fromFile);
    const std::wstring out = folder + L"\\" + std::to_wstring(index++);
    CreateDirectoryW(out.c_str(), nullptr);
    EXPECT_EQ(Eval("Lua_UnCompress7z(" + c.source + ", " + Lit(out) + ", " + c.fromFile + ")"), c.result);
    if (c.result == "true") {
      EXPECT_EQ(ListTree(out), expected);
    } else {
      EXPECT_TRUE(ListTree(out).empty());
    }
  }
}

TEST_F(UnCompress, TakesTwoToFiveArgumentsAndAMissingDestinationFails) {
  const std::string out = Lit(folder);
  EXPECT_EQ(Eval("Lua_UnCompress7z('App.7z')"), "false");
  EXPECT_EQ(Eval("Lua_UnCompress7z()"), "false");
  EXPECT_EQ(Eval("Lua_UnCompress7z('App.7z', " + out + ", false, nil, nil, nil)"), "false");
  EXPECT_TRUE(ListTree(folder).empty());
  EXPECT_EQ(Eval("Lua_UnCompress7z('App.7z', " + Lit(folder + L"\\missing") + ")"), "false");
  EXPECT_EQ(Eval("Lua_UnCompress7z('App.7z', nil)"), "false");
  EXPECT_TRUE(ListTree(folder).empty());
  // Exactly one value comes back, and the stack is left as it was.
  EXPECT_EQ(Eval("select('#', Lua_UnCompress7z('App.7z', " + out + ", false, function() end, function() end))"),
            "1");
}

TEST_F(UnCompress, ExpandsEnvironmentVariablesInTheDestination) {
  SetEnvironmentVariableW(L"KW_UNCOMPRESS_DEST", folder.c_str());
  EXPECT_EQ(Eval("Lua_UnCompress7z('App.7z', '%KW_UNCOMPRESS_DEST%\\\\')"), "true");
  EXPECT_FALSE(ListTree(folder).empty());
  // An expansion beyond the 260-unit buffer is no destination: it is never
  // cut to a shorter path, even where that path is a folder.
  const std::wstring tooLong = folder + L"\\" + std::wstring(300, L'x');
  const std::wstring cut = tooLong.substr(0, MAX_PATH - 1);
  ASSERT_TRUE(CreateDirectoryW(cut.c_str(), nullptr));
  SetEnvironmentVariableW(L"KW_UNCOMPRESS_DEST", tooLong.c_str());
  EXPECT_EQ(Eval("Lua_UnCompress7z('App.7z', '%KW_UNCOMPRESS_DEST%')"), "false");
  EXPECT_TRUE(ListTree(cut).empty()) << "nothing extracted into the cut path";
}

TEST_F(UnCompress, CallbacksAreTakenFromTheEndOfTheArguments) {
  const std::string out = Lit(folder);
  struct Case {
    std::string callbacks;
    bool progressUsed;
  };
  const Case cases[] = {
      {"false, count", true},            // fourth and last: progress
      {"false, count, nil", false},      // a nil fifth hides the fourth
      {"false, count, function() end", true},
      {"false, nil, count", false},      // a function fifth is the error callback
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.callbacks);
    RunScript("calls = 0 function count() calls = calls + 1 end");
    EXPECT_EQ(Eval("Lua_UnCompress7z('App.7z', " + out + ", " + c.callbacks + ")"), "true");
    EXPECT_EQ(engine.GetGlobalInteger("calls") > 0, c.progressUsed);
  }
  // Every file written is reported once, folders are not.
  std::size_t files = 0;
  for (const std::wstring& item : ListTree(folder)) files += item.back() != L'\\';
  RunScript("calls = 0");
  EXPECT_EQ(Eval("Lua_UnCompress7z('App.7z', " + out + ", false, count)"), "true");
  EXPECT_EQ(engine.GetGlobalInteger("calls"), static_cast<long>(files));
}

}  // namespace
