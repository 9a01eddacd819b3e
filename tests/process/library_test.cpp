// The native script library inside a real installer: the log channel, a
// real message box, COM registration under the installer's restricted
// library search, and the command line the script sees.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

#include "child_process.h"
#include "temp_folder.h"
#include "core/handles.h"

namespace {

using namespace kwtest;

class InstallerLibrary : public TempFolderTest {
 protected:
  ChildRun Run(const std::wstring& calls, std::map<std::wstring, std::wstring> environment = {},
               const std::wstring& extraArguments = L"", std::function<void(DWORD)> whileRunning = nullptr) {
    ChildOptions options;
    options.commandLine = Quote(Exe()) + L" /InstallSlience true" + extraArguments;
    environment[L"KW_TEST_CALLS"] = calls;
    environment[L"TEMP"] = folder;
    environment[L"TMP"] = folder;
    options.environment = environment;
    options.whileRunning = std::move(whileRunning);
    ChildRun run = RunChild(options);
    EXPECT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
    if (HasFailure()) ADD_FAILURE() << "traces: " << testing::PrintToString(run.Texts());
    return run;
  }

  static std::wstring Exe() { return ExeFolder() + L"\\kwtest_library.exe"; }
};

TEST_F(InstallerLibrary, LogoutWritesTheTraceAndAPrefixedLogLine) {
  const std::wstring token = L"token" + std::to_wstring(GetTickCount());
  const ChildRun run = Run(L"logout", {{L"KW_TEST_TOKEN", token}});
  // Wine hands debug strings on in the ANSI code page: the trace is checked
  // with plain text, the log with the Chinese text.
  EXPECT_TRUE(run.HasTrace(L"tq trace line " + token)) << testing::PrintToString(run.Texts());
  const std::wstring text = L"log line 中文 " + token;

  WIN32_FIND_DATAW entry;
  ASSERT_TRUE(kw::UniqueFind(FindFirstFileW((folder + L"\\Install_*.log").c_str(), &entry))) << "the daily log";
  const std::wstring log = ReadTextFile(folder + L"\\" + entry.cFileName);
  const auto at = log.find(L"] log:" + text);
  ASSERT_NE(at, std::wstring::npos) << testing::PrintToString(log);
  const std::wstring line = log.substr(log.rfind(L'\n', at) + 1, at - log.rfind(L'\n', at));
  // "[date] [info] [thread] [lib_system.cpp Lua_Logout: 42] log:..."
  EXPECT_NE(line.find(L"[info] "), std::wstring::npos) << testing::PrintToString(line);
  const auto prefix = line.find(L"[lib_system.cpp Lua_Logout: ");
  ASSERT_NE(prefix, std::wstring::npos) << testing::PrintToString(line);
  const std::wstring number = line.substr(prefix + 28, line.size() - prefix - 29);
  EXPECT_FALSE(number.empty());
  EXPECT_EQ(number.find_first_not_of(L"0123456789"), std::wstring::npos) << testing::PrintToString(line);
}


TEST_F(InstallerLibrary, MsgBoxAnswersOkAndCancel) {
  std::set<HWND> answered;
  std::vector<std::wstring> seen;
  const auto answer = [&](DWORD pid) {
    HWND box = FindVisibleWindow(pid, L"#32770");
    if (!box || answered.count(box)) return;
    HWND textControl = GetDlgItem(box, 0xFFFF);
    const std::wstring caption = WindowText(box), text = textControl ? WindowText(textControl) : std::wstring();
    if (caption.empty() || text.empty()) return;  // not ready: look again on the next tick
    answered.insert(box);
    seen.push_back(caption + L"|" + text);
    EXPECT_NE(GetDlgItem(box, IDCANCEL), nullptr) << "OK and Cancel";
    const int button = text == L"first" ? IDOK : IDCANCEL;
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
  };
  const ChildRun run = Run(L"msgbox", {}, L"", answer);
  EXPECT_EQ(seen, (std::vector<std::wstring>{L"KW test box|first", L"KW test box|second"}));
  const int ok = run.IndexOf(L"tq msgbox:1");
  EXPECT_GE(ok, 0);
  EXPECT_GT(run.IndexOf(L"tq msgbox:2", ok), ok);
}

TEST_F(InstallerLibrary, RegSvr32LoadsAServerWhoseImportsLieBesideIt) {
  // Neither library is in the installer's folder or the system folder.
  for (const wchar_t* name : {L"com_probe.dll", L"com_probe_dep.dll"})
    ASSERT_TRUE(CopyFileW((ExeFolder() + L"\\" + name).c_str(), (folder + L"\\" + name).c_str(), FALSE));
  const std::wstring dll = folder + L"\\com_probe.dll";
  const ChildRun run = Run(L"register", {{L"KW_TEST_COM_DLL", dll}});
  EXPECT_TRUE(run.HasTrace(L"tq register:true"));
  EXPECT_TRUE(run.HasTrace(L"tq unregister:true"));
  EXPECT_EQ(ReadBytes(dll + L".calls"), "register\nunregister\n");
}

TEST_F(InstallerLibrary, FailuresAndMilestonesAreTraced) {
  ASSERT_TRUE(WriteBytes(folder + L"\\target.exe", "x"));
  const ChildRun run = Run(L"traces", {{L"KW_TEST_DIR", folder}});
  // Each message; failures of system calls add the source position and error.
  struct Expected {
    std::wstring line;
    bool withPosition;
  };
  const Expected expected[] = {
      {L"tq Fun:Lua_Exec, Description:" + folder + L"\\missing.exe it's not exists!\r\n", false},
      {L"tq Save Shortcut " + folder + L"\\links\\target.lnk \r\n", false},
      {L"tq Unknow Error in fun:Lua_SCM\r\n", true},
      {L"tq SHGetSpecialFolderPathW csidl=127 failed!\r\n", true},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(testing::PrintToString(e.line));
    const int at = run.IndexOf(e.line);
    ASSERT_GE(at, 0) << testing::PrintToString(run.Texts());
    const std::wstring next = at + 1 < static_cast<int>(run.traces.size()) ? run.traces[at + 1].text : L"";
    EXPECT_EQ(next.rfind(L"tq tq file:", 0) == 0, e.withPosition) << testing::PrintToString(next);
    if (!e.withPosition) continue;
    ASSERT_LT(at + 3, static_cast<int>(run.traces.size()));
    EXPECT_EQ(run.traces[at + 2].text.rfind(L"tq tq line:", 0), 0u);
    EXPECT_EQ(run.traces[at + 3].text.rfind(L"tq tq err:", 0), 0u);
  }
}

TEST_F(InstallerLibrary, CommandLineArgumentsStartWithTheProgram) {
  const ChildRun run = Run(L"argv", {}, L" /KWFlag \"two words\"");
  const std::wstring expected[] = {L"tq argv:1:" + Exe(), L"tq argv:2:/InstallSlience", L"tq argv:3:true",
                                   L"tq argv:4:/KWFlag", L"tq argv:5:two words", L"tq module:" + Exe()};
  int from = 0;
  for (const std::wstring& line : expected) {
    const int at = run.IndexOf(line, from);
    EXPECT_GE(at, from) << testing::PrintToString(line);
    if (at >= 0) from = at + 1;
  }
  EXPECT_FALSE(run.HasTrace(L"tq argv:6:")) << "nothing more";
}

}  // namespace
