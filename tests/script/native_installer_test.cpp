// Native calls in a real installer process: libraries by path load their own
// dependencies from beside them although start-up restricts the search, bare
// names stay in the system folder, failed lookups are traced.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "child_process.h"
#include "temp_folder.h"

namespace {

using namespace kwtest;

TEST(NativeInstaller, LibrariesByPathBareNamesAndTraces) {
  const TempFolder temp(L"native");
  const std::wstring& root = temp.Get();
  const std::wstring lib = root + L"\\lib";
  const std::wstring lib2 = root + L"\\other\\lib2";
  const std::wstring current = root + L"\\other";
  for (const std::wstring& folder : {lib, current, lib2}) CreateDirectoryW(folder.c_str(), nullptr);
  for (const std::wstring& folder : {lib, lib2})
    for (const wchar_t* name : {L"kwnative.dll", L"kwnative_dep.dll"})
      ASSERT_TRUE(CopyFileW((ExeFolder() + L"\\" + name).c_str(), (folder + L"\\" + name).c_str(), FALSE));

  ChildOptions options;
  options.commandLine = Quote(ExeFolder() + L"\\kwtest_native.exe") + L" /InstallSlience true";
  options.workingFolder = current;
  const std::wstring result = root + L"\\result.txt";
  options.environment = {{L"KW_TEST_RESULT", result},
                         {L"KW_TEST_DLL_DIR", lib},
                         {L"KW_TEST_RELATIVE_DLL", L"lib2\\kwnative.dll"},
                         {L"TEMP", root},
                         {L"TMP", root}};
  const ChildRun run = RunChild(options);
  ASSERT_TRUE(run.started);
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(ReadTextFile(result),
            L"bare,nil,nil,nil,126\n"
            L"plain,0,126\n"
            L"path,userdata,24301\n"
            L"pid," + std::to_wstring(run.processId) + L"\n"
            L"phMod,nil,hModule is nil\n"
            L"pfn,nil,127\n"
            L"convention,-3\n"
            L"relative,userdata,24301\n");
  EXPECT_TRUE(run.HasTrace(L"tq if (nullptr == phMod)"));
  EXPECT_TRUE(run.HasTrace(L"tq if (nullptr == pfn)"));
  int mismatches = 0;
  for (const std::wstring& text : run.Texts())
    if (text.find(L": the callee removed 4 argument bytes, __cdecl expects 0\r\n") != std::wstring::npos) ++mismatches;
  EXPECT_EQ(mismatches, 1);
}

}  // namespace
