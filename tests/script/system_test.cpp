// System queries, environment and special folders, called as the scripts
// call them.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "child_process.h"
#include "script/lib_system.h"
#include "script_runner.h"

namespace {

using namespace kwtest;

std::wstring Environment(const wchar_t* name) {
  wchar_t value[4096] = {};
  const DWORD units = GetEnvironmentVariableW(name, value, 4096);
  return units < 4096 ? std::wstring(value, units) : std::wstring();
}

TEST(ScriptEnvironment, ExpandEnvExpandsTheLastArgument) {
  SetEnvironmentVariableW(L"KW_TEST_WIDE", L"中文 folder");
  const std::wstring tmp = Environment(L"TMP");
  ASSERT_FALSE(tmp.empty());
  struct Case {
    const char* arguments;
    std::wstring expansion;
  };
  const Case cases[] = {
      {"'%TMP%'", tmp},
      {"'%KW_TEST_UNDEFINED_VARIABLE%\\\\x'", L"%KW_TEST_UNDEFINED_VARIABLE%\\x"},
      {"'a %KW_TEST_WIDE% b'", L"a 中文 folder b"},
      {"'ignored', '%KW_TEST_WIDE%'", L"中文 folder"},
      {"", L""},
      {"true", L""},
      {"12", L"12"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    EXPECT_EQ(RunText(std::string("return Lua_ExpandEnv(") + c.arguments + ")"), c.expansion);
  }
  EXPECT_NE(tmp.back(), L'\\') << "the temp folder comes without a trailing backslash";
}

TEST(ScriptEnvironment, LongExpansionsAreKeptWhole) {
  const std::wstring longValue(300, L'x');
  SetEnvironmentVariableW(L"KW_TEST_LONG", longValue.c_str());
  EXPECT_EQ(RunText("return Lua_ExpandEnv('%KW_TEST_LONG%\\\\y')"), longValue + L"\\y");
}

TEST(ScriptEnvironment, SpecialFoldersBecomeVariables) {
  struct Case {
    const char* name;
    int csidl;
  };
  const Case cases[] = {{"DESKTOP", 16}, {"COMMPROGRAMS", 23}, {"APPDATA_USER", 26}, {"APPDATA_ALLUSER", 35}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    wchar_t folder[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, folder, c.csidl, FALSE));
    EXPECT_TRUE(RunBool(std::string("return Lua_RegVarByCSIDL('") + c.name + "', " + std::to_string(c.csidl) + ")"));
    EXPECT_EQ(RunText(std::string("return Lua_ExpandEnv('%") + c.name + "%')"), folder);
  }
  EXPECT_FALSE(RunBool("return Lua_RegVarByCSIDL('KW_TEST_NO_FOLDER', 0x7F)")) << "no such folder";
  EXPECT_FALSE(RunBool("return Lua_RegVarByCSIDL('', 16)")) << "no variable name";
}

TEST(ScriptSystem, InstallFolderPrefersProgramFilesOnTheFirstDrive) {
  const std::wstring programFiles = L"C:\\Program Files\\";
  auto existsOn = [](std::wstring drives) {
    return [drives](const std::wstring& path) { return drives.find(path[0]) != std::wstring::npos; };
  };
  struct Case {
    std::vector<std::wstring> drives;
    std::wstring existing;  // drive letters where the folder exists
    std::wstring chosen;
  };
  const Case cases[] = {
      {{L"C:"}, L"C", programFiles},
      {{L"C:"}, L"", programFiles},
      {{L"C:", L"D:"}, L"CD", L"D:\\Program Files\\"},
      {{L"C:", L"D:", L"E:"}, L"CE", L"E:\\Program Files\\"},
      {{L"C:", L"D:"}, L"C", programFiles},
      {{}, L"", programFiles},
  };
  for (const Case& c : cases) EXPECT_EQ(kw::ChooseInstallFolder(programFiles, c.drives, existsOn(c.existing)), c.chosen);

  const std::wstring chosen = RunText("return Lua_GetDriverInstallPath()");
  ASSERT_FALSE(chosen.empty());
  EXPECT_EQ(chosen.back(), L'\\');
  EXPECT_EQ(chosen.substr(2), Environment(L"ProgramFiles").substr(2) + L"\\");
  EXPECT_NE(GetFileAttributesW(chosen.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(ScriptSystem, ModuleFileNames) {
  wchar_t self[MAX_PATH] = {}, kernel[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  GetModuleFileNameW(GetModuleHandleW(L"kernel32.dll"), kernel, MAX_PATH);
  struct Case {
    const char* arguments;
    const wchar_t* path;
  };
  const Case cases[] = {
      {"", self}, {"'kernel32.dll'", kernel}, {"'KERNEL32'", kernel}, {"'kw_not_loaded.dll'", self}, {"nil", self},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    EXPECT_EQ(RunText(std::string("return Lua_GetModuleFileName(") + c.arguments + ")"), c.path);
  }
}

TEST(ScriptSystem, VersionAndWow64) {
  const ScriptValue version = RunOne("return Lua_GetOSVersion()");
  EXPECT_EQ(version.type, LUA_TNUMBER);
  // The major version as this process is told it, by the other system call.
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  ASSERT_TRUE(GetVersionExW(&info));
  EXPECT_EQ(version.number, info.dwMajorVersion);
  EXPECT_GE(version.number, 6);
  // A 32-bit process on a 64-bit system has the 32-bit system folder.
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  const bool wow64System = GetFileAttributesW((std::wstring(windows) + L"\\SysWOW64").c_str()) != INVALID_FILE_ATTRIBUTES;
  EXPECT_EQ(RunBool("return Lua_IsWow64()"), wow64System);
}

TEST(ScriptSystem, CommandLineArgumentsInATable) {
  const ScriptValue argv = RunOne("return Lua_GetCommandLineArgv()");
  ASSERT_EQ(argv.type, LUA_TTABLE);
  ASSERT_FALSE(argv.items.empty());
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring program = argv.items[0];
  const std::wstring name = std::wstring(self).substr(std::wstring(self).find_last_of(L'\\') + 1);
  EXPECT_EQ(lstrcmpiW(program.substr(program.size() - std::min(program.size(), name.size())).c_str(), name.c_str()), 0)
      << "the program comes first: " << testing::PrintToString(program);
}

}  // namespace
