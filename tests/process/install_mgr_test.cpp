// The install manager against real folders and real running processes.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "child_process.h"
#include "installer/install_mgr.h"
#include "core/log.h"
#include "script/engine.h"
#include "script_runner.h"
#include "temp_folder.h"

namespace {

using namespace kwtest;

// Empty handles when the program did not start.
ProcessHandles StartProgram(const std::wstring& path) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  std::wstring commandLine = Quote(path);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return {};
  return ProcessHandles(info);
}

class ToolProcesses : public TempFolderTest {};

TEST_F(ToolProcesses, OnlyExecutablesDirectlyInToolSubfoldersAreEndedByName) {
  const std::wstring install = folder + L"\\Install";
  const std::wstring elsewhere = folder + L"\\Elsewhere";
  for (const std::wstring& made : {install, install + L"\\Tools", install + L"\\Tools\\A", install + L"\\Tools\\A\\B",
                                   elsewhere, elsewhere + L"\\upper"})
    ASSERT_TRUE(CreateDirectoryW(made.c_str(), nullptr));
  const std::wstring sleeper = ExeFolder() + L"\\sleeper.exe";
  // The tree the walk looks at (its files need not be the running ones).
  for (const wchar_t* file : {L"\\Tools\\A\\a.exe", L"\\Tools\\A\\b.EXE", L"\\Tools\\c.exe", L"\\Tools\\A\\B\\d.exe"})
    ASSERT_TRUE(CopyFileW(sleeper.c_str(), (install + file).c_str(), FALSE));

  // Running programs with those names, started from another folder.
  struct Expect {
    const wchar_t* path;
    bool ended;
  };
  const Expect programs[] = {{L"\\a.exe", true},    {L"\\upper\\A.EXE", true}, {L"\\b.EXE", false},
                             {L"\\c.exe", false},   {L"\\d.exe", false}};
  std::vector<ProcessHandles> running;
  for (const Expect& p : programs) {
    ASSERT_TRUE(CopyFileW(sleeper.c_str(), (elsewhere + p.path).c_str(), FALSE));
    running.push_back(StartProgram(elsewhere + p.path));
    ASSERT_TRUE(running.back().process);
  }
  Sleep(300);  // let them appear in the process list

  kw::CKWBaseLog::Instance().InitLogger((std::string(folder.begin(), folder.end()) + "\\Install.log").c_str());
  kw::QRVScriptEngine::Instance().SetGlobalString("global_install_path", install);
  kw::CInstallMgr::Instance().KillAllToolProcess();

  for (std::size_t i = 0; i < running.size(); ++i) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(programs[i].path)));
    const HANDLE process = running[i].process.Get();
    const DWORD wait = WaitForSingleObject(process, programs[i].ended ? 10000 : 500);
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    if (programs[i].ended) {
      EXPECT_EQ(wait, WAIT_OBJECT_0);
      EXPECT_EQ(code, 10000u);
    } else {
      EXPECT_EQ(wait, static_cast<DWORD>(WAIT_TIMEOUT)) << "must keep running";
      TerminateProcess(process, 0);
      WaitForSingleObject(process, 5000);
    }
  }

  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t name[64];
  swprintf(name, 64, L"\\Install_%04d-%02d-%02d.log", now.wYear, now.wMonth, now.wDay);
  const std::wstring log = ReadTextFile(folder + name);
  const std::wstring tools = install + L"\\Tools\\";
  EXPECT_NE(log.find(L"KillAllToolProcess: "), std::wstring::npos) << "the function name stands in the prefix";
  EXPECT_NE(log.find(L"] strAppPath:" + tools + L"\r\n"), std::wstring::npos) << testing::PrintToString(log);
  EXPECT_NE(log.find(L"] " + tools + L"A\r\n"), std::wstring::npos);
  EXPECT_NE(log.find(L"] 2:----a.exe\r\n"), std::wstring::npos);
  EXPECT_EQ(log.find(L"2:----b.EXE"), std::wstring::npos);
  EXPECT_EQ(log.find(L"2:----c.exe"), std::wstring::npos);
  EXPECT_EQ(log.find(L"2:----d.exe"), std::wstring::npos);
}

// Without a Tools folder in the install folder nothing is ended, not even a
// program named like a tool in a Tools folder of the current directory; an
// empty list of names ends nothing either.
TEST_F(ToolProcesses, MissingToolsFolderEndsNothing) {
  for (const std::wstring& made : {folder + L"\\Tools", folder + L"\\Tools\\A", folder + L"\\run"})
    ASSERT_TRUE(CreateDirectoryW(made.c_str(), nullptr));
  const std::wstring sleeper = ExeFolder() + L"\\sleeper.exe";
  ASSERT_TRUE(CopyFileW(sleeper.c_str(), (folder + L"\\Tools\\A\\a.exe").c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(sleeper.c_str(), (folder + L"\\run\\a.exe").c_str(), FALSE));
  const ProcessHandles running = StartProgram(folder + L"\\run\\a.exe");
  ASSERT_TRUE(running.process);
  Sleep(300);
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  SetCurrentDirectoryW(folder.c_str());

  kw::QRVScriptEngine::Instance().SetGlobalString("global_install_path", folder + L"\\no such install");
  kw::CInstallMgr::Instance().KillAllToolProcess();
  kw::QRVScriptEngine::Instance().SetGlobalString("global_install_path", L"");
  kw::CInstallMgr::Instance().KillAllToolProcess();
  kw::CInstallMgr::KillProcessesByName({});

  SetCurrentDirectoryW(previous);
  EXPECT_EQ(WaitForSingleObject(running.process.Get(), 500), static_cast<DWORD>(WAIT_TIMEOUT)) << "must keep running";
  TerminateProcess(running.process.Get(), 0);
  WaitForSingleObject(running.process.Get(), 5000);
}

// OnInstall ends the product's tool processes before the script's event
// runs: the event no longer sees them.
TEST_F(ToolProcesses, AreEndedBeforeTheInstallEventRuns) {
  const std::wstring install = folder + L"\\Install";
  for (const std::wstring& made : {install, install + L"\\Tools", install + L"\\Tools\\A", folder + L"\\run"})
    ASSERT_TRUE(CreateDirectoryW(made.c_str(), nullptr));
  const std::wstring sleeper = ExeFolder() + L"\\sleeper.exe";
  ASSERT_TRUE(CopyFileW(sleeper.c_str(), (install + L"\\Tools\\A\\kwtool.exe").c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(sleeper.c_str(), (folder + L"\\run\\kwtool.exe").c_str(), FALSE));
  const ProcessHandles running = StartProgram(folder + L"\\run\\kwtool.exe");
  ASSERT_TRUE(running.process);
  Sleep(300);
  kw::QRVScriptEngine& engine = kw::QRVScriptEngine::Instance();
  ASSERT_NO_FATAL_FAILURE(RunScript("function QRVSE_OnInstall() tool_seen_by_event = Lua_GetProcessId('kwtool.exe') end "
                                    "tool_seen_before = Lua_GetProcessId('kwtool.exe')"));
  EXPECT_GT(engine.GetGlobalInteger("tool_seen_before"), 0) << "running before";
  engine.SetGlobalString("global_install_path", install);
  kw::CInstallMgr::Instance().OnInstall();
  EXPECT_EQ(engine.GetGlobalInteger("tool_seen_by_event"), -1) << "ended before the event";
  EXPECT_EQ(WaitForSingleObject(running.process.Get(), 0), WAIT_OBJECT_0);
  RunScript("QRVSE_OnInstall = nil");
  TerminateProcess(running.process.Get(), 0);
}

}  // namespace
