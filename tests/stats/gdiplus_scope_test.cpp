// The run's GDI+ scope over a stand-in GDI+: started once, shut down before
// its module is unloaded, nothing after; a failed start is not shut down.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "child_process.h"
#include "temp_folder.h"
#include "core/handles.h"
#include "standin_log.h"

namespace {

using namespace kwtest;

std::vector<std::string> RunScope(const std::wstring& results) {
  const TempFolder temp(L"gdiplus");
  const std::wstring& folder = temp.Get();
  const std::wstring log = folder + L"\\calls.log";
  SetEnvironmentVariableW(L"KW_STANDIN_LOG", log.c_str());
  SetEnvironmentVariableW(L"KW_STANDIN_RESULTS", results.c_str());
  {
    const kw::GdiPlusScope gdiplus(LoadLibraryW((ExeFolder() + L"\\kwtest_gdiplus.dll").c_str()));
    EXPECT_EQ(gdiplus.Succeeded(), results.empty());
  }
  SetEnvironmentVariableW(L"KW_STANDIN_LOG", nullptr);
  SetEnvironmentVariableW(L"KW_STANDIN_RESULTS", nullptr);
  const std::vector<std::string> calls = CallTexts(ReadCalls(log));
  return calls;
}

TEST(GdiPlusScope, ShutsDownBeforeTheModuleIsUnloaded) {
  EXPECT_EQ(RunScope(L""),
            (std::vector<std::string>{"GdiplusStartup 1 0", "GdiplusShutdown 5eed", "gdiplus unloaded"}));
  EXPECT_EQ(RunScope(L"GdiplusStartup=18"), (std::vector<std::string>{"GdiplusStartup 1 0", "gdiplus unloaded"}));
}

}  // namespace
