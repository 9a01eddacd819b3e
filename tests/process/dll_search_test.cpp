// A DLL planted beside the installer or in the current directory (as in a
// downloads folder) must never be loaded.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "child_process.h"

namespace {

using namespace kwtest;

// Libraries the installer loads by name at run time, or that a careless
// static import would pull from the program's folder.
const wchar_t* const kCanaries[] = {L"version", L"gdiplus", L"msimg32", L"shcore", L"msftedit",
                                    L"riched20", L"uxtheme", L"dwmapi", L"comctl32", L"imm32",
                                    L"winmm", L"wininet", L"cryptbase", L"profapi", L"userenv"};

std::wstring Overrides() {
  // Prefer a native DLL where one is found, as Windows does for these names;
  // without this Wine would use its built-in ones and a planted DLL could
  // never be picked up.
  std::wstring list;
  for (const wchar_t* name : kCanaries) list += (list.empty() ? L"" : L",") + std::wstring(name);
  return list + L"=n,b";
}

class PlantedDlls : public testing::Test {
 protected:
  void SetUp() override {
    root = MakeTempFolder(L"plant");
    program = root + L"\\downloads";
    current = root + L"\\current";
    CreateDirectoryW(program.c_str(), nullptr);
    CreateDirectoryW(current.c_str(), nullptr);
    for (const std::wstring& folder : {program, current})
      for (const wchar_t* name : kCanaries)
        ASSERT_TRUE(CopyFileW((ExeFolder() + L"\\canary.dll").c_str(), (folder + L"\\" + name + L".dll").c_str(),
                              FALSE));
  }
  void TearDown() override { RemoveTree(root); }

  std::vector<std::wstring> Markers() const {
    std::vector<std::wstring> found;
    for (const std::wstring& folder : {program, current})
      for (const wchar_t* name : kCanaries)
        if (FileExists(folder + L"\\" + name + L".dll.loaded")) found.push_back(folder + L"\\" + name);
    return found;
  }

  ChildRun Run(const std::wstring& exe, const std::wstring& arguments) {
    ChildOptions options;
    options.commandLine = Quote(program + L"\\" + exe) + L" " + arguments;
    options.workingFolder = current;
    options.environment = {{L"WINEDLLOVERRIDES", Overrides()},
                           {L"KW_TEST_EVENTS", root + L"\\events.txt"},
                           {L"TEMP", root},
                           {L"TMP", root}};
    return RunChild(options);
  }

  std::wstring root, program, current;
};

TEST_F(PlantedDlls, AreFoundByAProgramThatDoesNotRestrictTheSearch) {
  ASSERT_TRUE(CopyFileW((ExeFolder() + L"\\naive_loader.exe").c_str(), (program + L"\\naive_loader.exe").c_str(), FALSE));
  const ChildRun run = Run(L"naive_loader.exe", L"version.dll");
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(FileExists(program + L"\\version.dll.loaded")) << "the check itself must be able to see a load";
}

TEST_F(PlantedDlls, AreNeverLoadedByTheInstaller) {
  ASSERT_TRUE(CopyFileW((ExeFolder() + L"\\kwtest_skinned.exe").c_str(), (program + L"\\setup.exe").c_str(), FALSE));
  for (const wchar_t* arguments : {L"/InstallSlience true", L""}) {  // silent run, window run
    SCOPED_TRACE(testing::PrintToString(std::wstring(arguments)));
    const ChildRun run = Run(L"setup.exe", arguments);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(FileExists(root + L"\\events.txt")) << "the installer ran its scripts";
    EXPECT_EQ(Markers(), std::vector<std::wstring>{});
  }
}

}  // namespace
