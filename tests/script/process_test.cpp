// Finding and ending processes, image paths, privileges and the session end,
// called as the scripts call them, against real processes of ours.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "child_process.h"
#include "core/handles.h"
#include "core/process_tool_help.h"
#include "script/system_actions.h"
#include "script_runner.h"
#include "temp_folder.h"

namespace {

using namespace kwtest;

// One running window_probe.exe, under a name of its own.
struct Probe {
  ProcessHandles handles;
  std::wstring log;

  ~Probe() {
    if (handles.process) {
      TerminateProcess(Process(), 1);
      WaitForSingleObject(Process(), 5000);
    }
  }
  HANDLE Process() const { return handles.process.Get(); }
  DWORD Id() const { return handles.id; }
  bool Running() const { return WaitForSingleObject(Process(), 0) == WAIT_TIMEOUT; }
  DWORD ExitCode() const {
    WaitForSingleObject(Process(), 10000);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(Process(), &code);
    return code;
  }
  std::string Log() const { return ReadBytes(log); }
  // Waits until the probe has logged `line`.
  bool WaitForLine(const std::string& line) const {
    for (int i = 0; i < 200; ++i) {
      if (("\n" + Log()).find("\n" + line + "\n") != std::string::npos) return true;
      Sleep(50);
    }
    return false;
  }
};

// The probes end before the folder holding their program goes.
class ScriptProcess : public TempFolderTest {
 protected:
  void SetUp() override {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    tag = std::to_wstring(GetCurrentProcessId()) + L"_" + kw::Utf8ToWide(info->name()).substr(0, 12);
    exeName = L"kwprobe_" + tag + L".exe";
    EXPECT_TRUE(CopyFileW((ExeFolder() + L"\\window_probe.exe").c_str(), (folder + L"\\" + exeName).c_str(), FALSE));
  }
  Probe& Start(const std::wstring& windowClass, bool stubborn = false) {
    auto probe = std::make_unique<Probe>();
    probe->log = folder + L"\\probe" + std::to_wstring(probes.size()) + L".log";
    std::wstring command =
        Quote(folder + L"\\" + exeName) + L" " + windowClass + L" " + Quote(probe->log) + (stubborn ? L" stubborn" : L"");
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    EXPECT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &started));
    probe->handles = ProcessHandles(started);
    EXPECT_TRUE(probe->WaitForLine("ready"));
    probes.push_back(std::move(probe));
    return *probes.back();
  }

  std::string ExeLit() const { return Lit(exeName); }
  std::wstring Class(const wchar_t* suffix) const { return L"KWProbe" + tag + suffix; }

  std::wstring tag, exeName;
  std::vector<std::unique_ptr<Probe>> probes;
};

TEST_F(ScriptProcess, TaskKillOfANameNotRunningIsTrue) {
  EXPECT_TRUE(RunBool("return Lua_TaskKill('kw_not_running_at_all.exe')"));
  EXPECT_TRUE(RunBool("return Lua_TaskKill('kw_not_running_at_all.exe', nil)"));
  EXPECT_TRUE(RunBool("return Lua_KillAllTaskByName('kw_not_running_at_all.exe')"));
  EXPECT_TRUE(RunBool("return Lua_TaskKill(-1)"));
  // No window of the class: nothing is posted, least of all to our own queue.
  MSG stray;
  while (PeekMessageW(&stray, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE)) {}
  EXPECT_TRUE(RunBool("return Lua_TaskKill('kw_not_running_at_all.exe', 'KWNoSuchWindowClass', nil)"));
  EXPECT_TRUE(RunBool("return Lua_TaskKill('kw_not_running_at_all.exe', 'KWNoSuchWindowClass', 0x8001)"));
  EXPECT_FALSE(PeekMessageW(&stray, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE)) << stray.message;
}

TEST_F(ScriptProcess, TaskKillPostsTheMessageToTheWindowClass) {
  const std::wstring windowClass = Class(L"M");
  Probe& probe = Start(windowClass);
  struct Case {
    const char* message;  // arguments 3.. of the call
    const char* logged;   // "message wParam lParam" as the window saw it
  };
  const Case cases[] = {
      {"", "0 0 0"},  // no message given: message 0
      {", 0x8001, 5, '6'", "32769 5 6"},
      {", 0x8002", "32770 0 0"},
      {", 0x8003, 4294967295", "32771 4294967295 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_TRUE(RunBool("return Lua_TaskKill('kw_not_running_at_all.exe', " + Lit(windowClass) + c.message + ")"));
    EXPECT_TRUE(probe.WaitForLine(c.logged)) << probe.Log();
  }
  EXPECT_TRUE(probe.Running());
  // Argument 3 given as nil: the close command, and the probe closes.
  EXPECT_TRUE(RunBool("return Lua_TaskKill('kw_not_running_at_all.exe', " + Lit(windowClass) + ", nil)"));
  EXPECT_TRUE(probe.WaitForLine("274 61536 0")) << probe.Log();
  EXPECT_EQ(probe.ExitCode(), 7u);
}

TEST_F(ScriptProcess, TaskKillByNameClosesAWindowedProgramGracefully) {
  Probe& probe = Start(Class(L"G"));
  EXPECT_TRUE(RunBool("return Lua_TaskKill(" + ExeLit() + ", nil)"));
  EXPECT_FALSE(probe.Running());
  EXPECT_EQ(probe.ExitCode(), 7u) << "ended by its own window closing";
  EXPECT_NE(probe.Log().find("274 61536 0\n"), std::string::npos) << probe.Log();
}

TEST_F(ScriptProcess, TaskKillByIdEndsAProgramThatIgnoresTheClose) {
  Probe& probe = Start(Class(L"S"), true);
  EXPECT_TRUE(RunBool("return Lua_TaskKill(" + std::to_string(probe.Id()) + ", nil)"));
  EXPECT_FALSE(probe.Running());
  EXPECT_EQ(probe.ExitCode(), 0u) << "terminated after the wait";
  EXPECT_NE(probe.Log().find("274 61536 0\n16 0 0\n"), std::string::npos) << "asked first: " << probe.Log();
}

TEST_F(ScriptProcess, KillAllTaskByNameEndsOnlyTheFirstInstance) {
  Probe& first = Start(Class(L"A"));
  Probe& second = Start(Class(L"B"));
  EXPECT_TRUE(RunBool("return Lua_KillAllTaskByName(" + ExeLit() + ")"));
  Sleep(200);
  EXPECT_EQ(first.Running() + second.Running(), 1) << "exactly one of the two still runs";
}

TEST_F(ScriptProcess, GetProcessIdReturnsEveryMatchOrMinusOne) {
  Probe& first = Start(Class(L"A"));
  Probe& second = Start(Class(L"B"));
  std::wstring upper = exeName;
  CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  // The name is the last argument, matched without regard to case.
  const std::vector<ScriptValue> ids = RunValues("return Lua_GetProcessId('ignored', " + Lit(upper) + ")");
  std::set<DWORD> seen;
  for (const ScriptValue& id : ids) {
    EXPECT_EQ(id.type, LUA_TNUMBER);
    seen.insert(static_cast<DWORD>(id.number));
  }
  EXPECT_EQ(seen, (std::set<DWORD>{first.Id(), second.Id()}));
  EXPECT_EQ(ids.size(), 2u);

  for (const char* call : {"Lua_GetProcessId('kw_not_running_at_all.exe')", "Lua_GetProcessId()"}) {
    const std::vector<ScriptValue> none = RunValues(std::string("return ") + call);
    ASSERT_EQ(none.size(), 1u) << call;
    EXPECT_EQ(none[0].number, -1) << call;
  }
}

TEST_F(ScriptProcess, ImagePathsAreDrivePaths) {
  Probe& probe = Start(Class(L"I"));
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  struct Case {
    DWORD id;
    std::wstring path;
  };
  const Case cases[] = {{GetCurrentProcessId(), self}, {probe.Id(), folder + L"\\" + exeName}};
  for (const Case& c : cases) {
    const std::wstring path = RunText("return Lua_GetImagePathByPid('ignored', " + std::to_string(c.id) + ")");
    EXPECT_EQ(lstrcmpiW(path.c_str(), c.path.c_str()), 0) << testing::PrintToString(path);
  }
  // Ids that cannot be opened give no value at all.
  for (const std::string id : {std::string("0"), std::string("0x7FFFFFF0"), std::string("")}) {
    SCOPED_TRACE(id);
    EXPECT_EQ(RunValues("return Lua_GetImagePathByPid(" + id + ")").size(), 0u);
  }
}

TEST(DevicePaths, TheDevicePartBecomesItsDrive) {
  const std::map<std::wstring, std::wstring> devices = {{L"\\Device\\HarddiskVolume1", L"C:"},
                                                        {L"\\Device\\HarddiskVolume2", L"D:"}};
  struct Case {
    const wchar_t* path;
    const wchar_t* drivePath;
  };
  const Case cases[] = {
      {L"\\Device\\HarddiskVolume1\\Windows\\a.exe", L"C:\\Windows\\a.exe"},
      {L"\\Device\\HarddiskVolume2\\b.exe", L"D:\\b.exe"},
      {L"\\Device\\HarddiskVolume9\\c.exe", L"\\c.exe"},  // unknown device: dropped
      {L"\\Device\\HarddiskVolume1", L"\\Device\\HarddiskVolume1"},  // no third backslash
      {L"", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(kw::DevicePathToDrivePath(c.path, devices), c.drivePath) << c.path;
}

// Whether the privilege is enabled in this process's token.
bool PrivilegeEnabled(const wchar_t* name) {
  LUID luid{};
  if (!LookupPrivilegeValueW(nullptr, name, &luid)) return false;
  kw::UniqueHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return false;
  DWORD size = 0;
  GetTokenInformation(token.Get(), TokenPrivileges, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  bool enabled = false;
  if (GetTokenInformation(token.Get(), TokenPrivileges, buffer.data(), size, &size)) {
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
      const LUID& other = privileges->Privileges[i].Luid;
      if (other.LowPart == luid.LowPart && other.HighPart == luid.HighPart)
        enabled = (privileges->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
  }
  return enabled;
}

TEST(ScriptPrivileges, EnableAndDisableByTheLastTwoArguments) {
  struct Case {
    const char* arguments;
    bool result;
    bool enabledAfter;
  };
  const Case cases[] = {
      {"'SeDebugPrivilege', true", true, true},
      {"'SeDebugPrivilege', false", true, false},
      {"'SeDebugPrivilege', 1", true, true},
      {"'SeDebugPrivilege', nil", true, false},
      {"'ignored', 'SeDebugPrivilege', 'yes'", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    EXPECT_EQ(RunBool(std::string("return Lua_EnablePrivilege(") + c.arguments + ")"), c.result);
    EXPECT_EQ(PrivilegeEnabled(L"SeDebugPrivilege"), c.enabledAfter);
  }
  // Unknown names, missing arguments, and a privilege the token does not
  // hold (the adjust call succeeds then, and only its last error tells).
  for (const char* bad : {"'SeNoSuchPrivilege', true", "true", "", "'SeCreateTokenPrivilege', true"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(RunBool(std::string("return Lua_EnablePrivilege(") + bad + ")"));
  }
}

TEST(ScriptExitWindows, EnablesTheShutdownPrivilegeAndPassesFlagsAndReason) {
  struct Call {
    UINT flags;
    DWORD reason;
  };
  std::vector<Call> calls;
  BOOL answer = TRUE;
  // Never the real call: it would end the session the tests run in.
  kw::ScopedSystemActions recorder({nullptr, [&](UINT flags, DWORD reason) {
                                      calls.push_back({flags, reason});
                                      return answer;
                                    }});
  struct Case {
    const char* arguments;
    UINT flags;
    DWORD reason;
  };
  const Case cases[] = {
      {"0x12, 0x80020003", 0x12, 0x80020003},
      {"'4', '16'", 4, 16},
      {"'0x2'", 2, 0},
      {"", 0, 0},
      {"true, {}", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    ASSERT_TRUE(RunBool("return Lua_EnablePrivilege('SeShutdownPrivilege', false)"));
    calls.clear();
    EXPECT_TRUE(RunBool(std::string("return Lua_ExitWindows(") + c.arguments + ")"));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].flags, c.flags);
    EXPECT_EQ(calls[0].reason, c.reason);
    EXPECT_TRUE(PrivilegeEnabled(L"SeShutdownPrivilege"));
  }
  answer = FALSE;
  EXPECT_FALSE(RunBool("return Lua_ExitWindows(0, 0)"));
}

}  // namespace
