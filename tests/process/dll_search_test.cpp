// A DLL planted beside the installer or in the current directory (as in a
// downloads folder) must never be loaded.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "child_process.h"
#include "temp_folder.h"
#include "core/handles.h"

namespace {

using namespace kwtest;

// Libraries the installer loads by name at run time, or that a careless
// static import would pull from the program's folder. Not here: version and
// imm32, which Wine's own user32 loads before any code of ours runs (on
// Windows, user32 does not import version.dll and imm32 is a known DLL).
const wchar_t* const kCanaries[] = {L"gdiplus", L"msimg32",  L"shcore",   L"msftedit",  L"riched20",
                                    L"uxtheme", L"dwmapi",   L"comctl32", L"winmm",     L"wininet",
                                    L"cryptbase", L"profapi", L"userenv", L"wtsapi32", L"propsys"};
const wchar_t* const kPrograms[] = {L"setup.exe", L"naive_loader.exe"};

// Wine prefers its built-in DLLs; for these programs prefer a DLL found on
// the search path, as Windows does, so that a planted one could be picked up.
void PreferFoundDlls(bool on) {
  for (const wchar_t* program : kPrograms) {
    const std::wstring key = std::wstring(L"Software\\Wine\\AppDefaults\\") + program + L"\\DllOverrides";
    if (!on) {
      RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
      continue;
    }
    kw::UniqueKey handle;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, handle.Receive(),
                              nullptr),
              ERROR_SUCCESS);
    for (const wchar_t* name : kCanaries) {
      static constexpr wchar_t kOrder[] = L"native,builtin";
      RegSetValueExW(handle.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(kOrder), sizeof(kOrder));
    }
  }
}

class PlantedDlls : public TempFolderTest {
 protected:
  void SetUp() override {
    PreferFoundDlls(true);
    program = folder + L"\\downloads";
    current = folder + L"\\current";
    CreateDirectoryW(program.c_str(), nullptr);
    CreateDirectoryW(current.c_str(), nullptr);
    for (const std::wstring& place : {program, current})
      for (const wchar_t* name : kCanaries)
        ASSERT_TRUE(CopyFileW((ExeFolder() + L"\\canary.dll").c_str(), (place + L"\\" + name + L".dll").c_str(),
                              FALSE));
  }
  void TearDown() override { PreferFoundDlls(false); }

  std::vector<std::wstring> Markers() const {
    std::vector<std::wstring> found;
    for (const std::wstring& place : {program, current})
      for (const wchar_t* name : kCanaries)
        if (FileExists(place + L"\\" + name + L".dll.loaded")) found.push_back(place + L"\\" + name);
    return found;
  }

  ChildRun Run(const std::wstring& exe, const std::wstring& arguments) {
    ChildOptions options;
    // The window run shows the install dialog: close it as a person would
    // before installing.
    options.whileRunning = [](DWORD) {
      if (HWND dialog = FindWindowW(L"CDlgInstall", nullptr)) PostMessageW(dialog, WM_CLOSE, 2, 0);
    };
    options.commandLine = Quote(program + L"\\" + exe) + L" " + arguments;
    options.workingFolder = current;
    options.environment = {{L"KW_TEST_EVENTS", folder + L"\\events.txt"},
                           {L"TEMP", folder},
                           {L"TMP", folder}};
    return RunChild(options);
  }

  std::wstring program, current;
};

// One test: the overrides are shared registry state.
TEST_F(PlantedDlls, AreFoundByANaiveProgramButNeverByTheInstaller) {
  ASSERT_TRUE(CopyFileW((ExeFolder() + L"\\naive_loader.exe").c_str(), (program + L"\\naive_loader.exe").c_str(), FALSE));
  for (const wchar_t* name : kCanaries) {
    const ChildRun run = Run(L"naive_loader.exe", std::wstring(name) + L".dll");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(FileExists(program + L"\\" + name + L".dll.loaded")) << "the check itself must see a load of " << name;
    DeleteFileW((program + L"\\" + name + L".dll.loaded").c_str());
  }

  ASSERT_TRUE(CopyFileW((ExeFolder() + L"\\kwtest_skinned.exe").c_str(), (program + L"\\setup.exe").c_str(), FALSE));
  for (const wchar_t* arguments : {L"/InstallSlience true", L""}) {  // silent run, window run
    SCOPED_TRACE(testing::PrintToString(std::wstring(arguments)));
    const ChildRun run = Run(L"setup.exe", arguments);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(FileExists(folder + L"\\events.txt")) << "the installer ran its scripts";
    EXPECT_EQ(Markers(), std::vector<std::wstring>{});
  }
}

}  // namespace
