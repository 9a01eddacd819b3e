// Shortcuts, starting programs, COM registration and message boxes, called
// as the scripts call them.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "child_process.h"
#include "core/handles.h"
#include "core/system_dll.h"
#include "script/lib_shell.h"
#include "script/system_actions.h"
#include "script_runner.h"
#include "temp_folder.h"

namespace {

using namespace kwtest;

struct LinkFields {
  bool loaded = false;
  std::wstring path, arguments, description, workingFolder;
};

LinkFields ReadLink(const std::wstring& file) {
  LinkFields fields;
  const kw::ComScope com;
  kw::ComPtr<IShellLinkW> link;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.ReceiveVoid()))) {
    kw::ComPtr<IPersistFile> persist;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, persist.ReceiveVoid()))) {
      if (SUCCEEDED(persist->Load(file.c_str(), STGM_READ))) {
        wchar_t text[1024] = {};
        fields.loaded = true;
        link->GetPath(text, 1024, nullptr, SLGP_RAWPATH);
        fields.path = text;
        text[0] = 0;
        link->GetArguments(text, 1024);
        fields.arguments = text;
        text[0] = 0;
        link->GetDescription(text, 1024);
        fields.description = text;
        text[0] = 0;
        link->GetWorkingDirectory(text, 1024);
        fields.workingFolder = text;
      }
    }
  }
  return fields;
}

class ScriptShell : public TempFolderTest {
 protected:
  // A copy of one of our programs in the test folder.
  std::wstring CopyProgram(const wchar_t* name) {
    const std::wstring copy = folder + L"\\" + name;
    EXPECT_TRUE(CopyFileW((ExeFolder() + L"\\" + name).c_str(), copy.c_str(), FALSE));
    return copy;
  }
};

TEST_F(ScriptShell, FileShortcutsCarryTargetArgumentsDescriptionAndFolder) {
  const std::wstring target = CopyProgram(L"hidden_probe.exe");
  SetEnvironmentVariableW(L"KW_TEST_LINKS", folder.c_str());
  struct Case {
    const char* call;  // after target and shortcut
    const wchar_t* arguments;
    const wchar_t* description;
  };
  const Case cases[] = {
      {", '-a \"b c\"', '说明 text'", L"-a \"b c\"", L"说明 text"},
      {", '-a'", L"", L""},  // three arguments: neither is set
      {", nil, 'only description'", L"", L"only description"},
      {", '-x', nil", L"-x", L""},
      {", 12, 34", L"12", L"34"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    // The shortcut path is expanded and its missing folders are made.
    const std::wstring relative = L"\\new\\deeper\\probe" + std::to_wstring(n++) + L".lnk";
    const std::string call =
        "return Lua_CreateShortcut(" + Lit(target) + ", " + Lit(L"%KW_TEST_LINKS%" + relative) + c.call + ")";
    EXPECT_TRUE(RunBool(call));
    const LinkFields link = ReadLink(folder + relative);
    ASSERT_TRUE(link.loaded);
    EXPECT_EQ(link.path, target);
    EXPECT_EQ(link.arguments, c.arguments);
    EXPECT_EQ(link.description, c.description);
    EXPECT_EQ(link.workingFolder, folder);
  }
}

TEST_F(ScriptShell, ShortcutTargetsAreExpanded) {
  CopyProgram(L"hidden_probe.exe");
  SetEnvironmentVariableW(L"KW_TEST_TARGETS", folder.c_str());
  const std::wstring shortcut = folder + L"\\expanded.lnk";
  EXPECT_TRUE(RunBool("return Lua_CreateShortcut('%KW_TEST_TARGETS%\\\\hidden_probe.exe', " + Lit(shortcut) + ")"));
  EXPECT_EQ(ReadLink(shortcut).path, folder + L"\\hidden_probe.exe");
}

TEST_F(ScriptShell, WebAddressesMakeInternetShortcuts) {
  const std::wstring address = L"https://www.example.com/kwsweep?from=setup";
  const std::wstring shortcut = folder + L"\\missing\\site.url";
  EXPECT_TRUE(RunBool("return Lua_CreateShortcut(" + Lit(address) + ", " + Lit(shortcut) + ", 'args', 'desc')"));
  wchar_t url[512] = {};
  GetPrivateProfileStringW(L"InternetShortcut", L"URL", L"", url, 512, shortcut.c_str());
  EXPECT_EQ(std::wstring(url), address);
  EXPECT_FALSE(ReadLink(shortcut).loaded) << "not a shell link";
}

TEST_F(ScriptShell, ShortcutsThatCannotBeSavedAreFalse) {
  // The shortcut's folder is a file: it can be neither made nor written.
  const std::wstring blocker = folder + L"\\blocker";
  ASSERT_TRUE(WriteBytes(blocker, "x"));
  const std::wstring target = CopyProgram(L"hidden_probe.exe");
  EXPECT_FALSE(RunBool("return Lua_CreateShortcut(" + Lit(target) + ", " + Lit(blocker + L"\\a.lnk") + ")"));
  EXPECT_FALSE(RunBool("return Lua_CreateShortcut('https://www.example.com/', " + Lit(blocker + L"\\a.url") + ")"));
}

TEST_F(ScriptShell, ExecOnMissingFilesIsTrueOnlyForUnpinning) {
  const std::string missing = Lit(folder + L"\\gone\\KWSweep.lnk");
  struct Case {
    const char* verb;
    bool result;
  };
  const Case cases[] = {
      {"'Taskbarunpin'", true}, {"'STARTUNPIN'", true}, {"'startunpin'", true},
      {"'open'", false},        {"'Taskbarpin'", false}, {"nil", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.verb);
    EXPECT_EQ(RunBool("return Lua_Exec(" + missing + ", " + c.verb + ")"), c.result);
  }
}

TEST_F(ScriptShell, ExecWithWaitBlocksUntilTheHiddenProgramEnds) {
  const std::wstring program = CopyProgram(L"hidden_probe.exe");
  const std::wstring report = folder + L"\\report.txt";
  SetEnvironmentVariableW(L"KW_TEST_EXEC", folder.c_str());
  EXPECT_TRUE(RunBool("return Lua_Exec('%KW_TEST_EXEC%\\\\hidden_probe.exe', nil, " +
                       Lit(Quote(report) + L" 1500") + ", true)"));
  // Written by the program just before it ended.
  EXPECT_EQ(ReadBytes(report), "show=0");
}

TEST_F(ScriptShell, StartsWithoutWaiting) {
  const std::wstring program = CopyProgram(L"hidden_probe.exe");
  const std::wstring report = folder + L"\\report.txt";
  const std::string parameters = Lit(Quote(report) + L" 2000");
  struct Case {
    std::string call;
    int show;
  };
  const Case cases[] = {
      {"Lua_Exec(" + Lit(program) + ", 'open', " + parameters + ")", SW_SHOWNORMAL},
      {"Lua_ShellExec(" + Lit(program) + ", " + parameters + ")", SW_HIDE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    DeleteFileW(report.c_str());
    EXPECT_TRUE(RunBool("return " + c.call));
    EXPECT_FALSE(FileExists(report)) << "did not wait";
    for (int i = 0; i < 100 && ReadBytes(report).empty(); ++i) Sleep(100);
    EXPECT_EQ(ReadBytes(report), "show=" + std::to_string(c.show));
  }
}

TEST_F(ScriptShell, PinVerbsAreTrueWhateverTheShellSays) {
  // A document no program is associated with: the shell can do nothing with it.
  const std::wstring document = folder + L"\\orphan.kwnoassoc";
  ASSERT_TRUE(WriteBytes(document, "x"));
  EXPECT_FALSE(RunBool("return Lua_Exec(" + Lit(document) + ", 'open')"));
  for (const char* verb : {"'Startpin'", "'taskbarpin'", "'Startunpin'", "'TaskbarUnpin'"}) {
    SCOPED_TRACE(verb);
    EXPECT_TRUE(RunBool("return Lua_Exec(" + Lit(document) + ", " + verb + ")"));
  }
}

TEST_F(ScriptShell, FailuresToStartAreResultsNotErrorBoxes) {
  const std::wstring document = folder + L"\\orphan.kwnoassoc";
  ASSERT_TRUE(WriteBytes(document, "x"));
  EXPECT_FALSE(RunBool("return Lua_ShellExec(" + Lit(folder + L"\\missing.exe") + ")"));
  EXPECT_FALSE(RunBool("return Lua_ShellExec(" + Lit(document) + ")"));
  EXPECT_FALSE(RunBool("return Lua_Exec(" + Lit(document) + ", nil, '', true)")) << "nothing opens it";
}

TEST_F(ScriptShell, ShellLevelStartsGoThroughTheDesktopShell) {
  const std::wstring program = CopyProgram(L"hidden_probe.exe");
  // The shell process starts whatever it then does with the command.
  EXPECT_TRUE(RunBool("return Lua_ExplorerExec(" + Lit(program) + ", '')"));
  EXPECT_TRUE(RunBool("return Lua_Exec(" + Lit(program) + ", nil, '', nil, true)"));
  // The shell level is still refused for a file that is not there.
  EXPECT_FALSE(RunBool("return Lua_Exec(" + Lit(folder + L"\\missing.exe") + ", nil, '', nil, true)"));
}

class ComRegistration : public ScriptShell {
 protected:
  void SetUp() override {
    ScriptShell::SetUp();
    dll = CopyProgram(L"com_probe.dll");
    CopyProgram(L"com_probe_dep.dll");
    calls = dll + L".calls";
  }
  std::wstring dll, calls;
};

TEST_F(ComRegistration, RegSvr32CallsTheRegisterAndUnregisterEntries) {
  SetEnvironmentVariableW(L"KW_TEST_COM", folder.c_str());
  const std::string path = "'%KW_TEST_COM%\\\\com_probe.dll'";
  EXPECT_TRUE(RunBool("return Lua_RegSvr32(" + path + ", true)"));
  EXPECT_EQ(ReadBytes(calls), "register\n");
  EXPECT_TRUE(RunBool("return Lua_RegSvr32(" + path + ")"));
  EXPECT_TRUE(RunBool("return Lua_RegSvr32(" + path + ", false)"));
  EXPECT_TRUE(RunBool("return Lua_RegSvr32(" + path + ", 0)")) << "0 is true in Lua";
  EXPECT_EQ(ReadBytes(calls), "register\nunregister\nunregister\nregister\n");
  EXPECT_EQ(GetModuleHandleW(dll.c_str()), nullptr) << "the library is unloaded again";
}

TEST_F(ComRegistration, RegSvr32RegistersTheFileThatExistsUnderARelativeName) {
  // A copy also lies beside this test program, where a bare-name load would look.
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
  const bool registered = RunBool("return Lua_RegSvr32('com_probe.dll', true)");
  SetCurrentDirectoryW(previous);
  EXPECT_TRUE(registered);
  EXPECT_EQ(ReadBytes(calls), "register\n");
}

TEST_F(ComRegistration, RegSvr32IsFalseWithoutALoadableServer) {
  const std::wstring plain = CopyProgram(L"canary.dll");  // no entry points
  const std::wstring text = folder + L"\\text.dll";
  ASSERT_TRUE(WriteBytes(text, "not a library"));
  for (const std::wstring& path : {folder + L"\\missing.dll", plain, text}) {
    SCOPED_TRACE(testing::PrintToString(path));
    EXPECT_FALSE(RunBool("return Lua_RegSvr32(" + Lit(path) + ", true)"));
  }
}

TEST_F(ComRegistration, RegistDllStartsRegsvr32AndDoesNotWait) {
  EXPECT_TRUE(RunBool("return Lua_RegistDll(" + Lit(dll) + ", '/s')"));
  for (int i = 0; i < 200 && ReadBytes(calls).empty(); ++i) Sleep(100);
  EXPECT_EQ(ReadBytes(calls), "register\n") << "regsvr32 registered the server";
  EXPECT_FALSE(RunBool("return Lua_RegistDll(" + Lit(folder + L"\\missing.dll") + ", '/s')"));
}

TEST(RegisterServerCommand, QuotesTheLibraryAndNamesTheSystemRegsvr32) {
  const std::wstring regsvr32 = L"\"" + kw::SystemFolder() + L"\\regsvr32.exe\"";
  EXPECT_EQ(kw::RegisterServerCommand(L"/s", L"C:\\Program Files\\KW\\a.dll"),
            regsvr32 + L" /s \"C:\\Program Files\\KW\\a.dll\"");
  EXPECT_EQ(kw::RegisterServerCommand(L"/u /s", L"C:\\a.dll"), regsvr32 + L" /u /s \"C:\\a.dll\"");
  EXPECT_EQ(kw::RegisterServerCommand(L"", L"C:\\a.dll"), regsvr32 + L"  \"C:\\a.dll\"");
}

TEST(MsgBox, ArgumentsByCountAndTheAnswer) {
  struct Seen {
    std::wstring text, caption;
    UINT flags = 0;
  } seen;
  kw::ScopedSystemActions answer({[&](const std::wstring& text, const std::wstring& caption, UINT flags) {
                                    seen = {text, caption, flags};
                                    return flags == 0 ? IDOK : IDCANCEL;
                                  },
                                  nullptr});
  struct Case {
    const char* arguments;
    const wchar_t* text;
    const wchar_t* caption;
    UINT flags;
  };
  const Case cases[] = {
      {"'only text'", L"only text", L"", 0},
      {"'text', '标题'", L"text", L"标题", 0},
      {"'text', 'caption', bit32.bor(1, 0x30, 0x10000)", L"text", L"caption", 0x10031},
      {"'text', 'caption', '0x10031'", L"text", L"caption", 0x10031},
      {"", L"", L"", 0},
      {"'a', 'b', 1, 'four'", L"", L"", 0},
      {"true, {}, nil", L"", L"", 0},
      {"42", L"42", L"", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    seen = {L"unset", L"unset", 0xFFFF};
    const ScriptValue answer = RunOne(std::string("return Lua_MsgBox(") + c.arguments + ")");
    EXPECT_EQ(seen.text, c.text);
    EXPECT_EQ(seen.caption, c.caption);
    EXPECT_EQ(seen.flags, c.flags);
    EXPECT_EQ(answer.type, LUA_TNUMBER);
    EXPECT_EQ(answer.number, c.flags == 0 ? 1 : 2);
  }
}

}  // namespace
