// The statistics module against the stand-in rbstat.dll, in fresh processes:
// which entry points it calls, with what, in which order and on which thread.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "child_process.h"
#include "temp_folder.h"
#include "core/encoding.h"
#include "core/handles.h"
#include "standin_log.h"
#include "stats/stat_api.h"

namespace {

using namespace kwtest;

DWORD TraceThread(const ChildRun& run, const std::wstring& text) {
  const int index = run.IndexOf(text);
  return index < 0 ? 0 : run.traces[index].threadId;
}

std::wstring LocalAppDataFolder() {
  wchar_t folder[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
  return folder;
}

int g_unique = 0;

class StatModule : public TempFolderTest {
 protected:
  void SetUp() override {
    log = folder + L"\\calls.log";
    subKey = L"SOFTWARE\\KWSweepTest\\stats-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(++g_unique);
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, subKey.c_str());
  }

  // Copies a program of ours into the test folder, with the stand-in library
  // (and the transport it imports) beside it or not.
  void Place(const std::wstring& program, bool withLibrary) {
    std::vector<std::wstring> files{program};
    if (withLibrary) files.insert(files.end(), {L"rbstat.dll", L"udp_rb.dll"});
    for (const std::wstring& file : files)
      ASSERT_TRUE(CopyFileW((ExeFolder() + L"\\" + file).c_str(), (folder + L"\\" + file).c_str(), FALSE)) << file;
  }

  ChildRun Run(const std::wstring& program, const std::wstring& arguments, const std::wstring& results = L"") {
    ChildOptions options;
    options.commandLine = Quote(folder + L"\\" + program) + L" " + arguments;
    options.environment = {{L"KW_STANDIN_LOG", log}, {L"KW_STANDIN_RESULTS", results}};
    ChildRun run = RunChild(options);
    EXPECT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut);
    return run;
  }

  std::wstring Init(unsigned appId, const std::wstring& host = L"stat.example.invalid",
                    const std::wstring& dataFile = L"-") {
    return L"init " + std::to_wstring(appId) + L" " + Quote(subKey) + L" " + Quote(host) + L" " + Quote(dataFile);
  }

  void SetUnionId(DWORD type, const void* data, DWORD size) {
    kw::UniqueKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Receive(),
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key.Get(), L"UnionId", 0, type, static_cast<const BYTE*>(data), size);
  }

  std::vector<Call> Calls() const { return ReadCalls(log); }

  std::wstring log, subKey;
};

TEST_F(StatModule, WithoutTheLibraryInitFailsReportsCallNothingAndUninitOnlyStops) {
  Place(L"stat_probe.exe", false);
  const ChildRun run = Run(L"stat_probe.exe", Init(5) + L" report 25103 report 25104 task wait-task uninit");
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(run.HasTrace(L"tq probe init 0"));
  // The pool runs in order: the reports ran (calling nothing) before the task.
  ASSERT_TRUE(run.HasTrace(L"tq probe task"));
  EXPECT_NE(TraceThread(run, L"tq probe task"), run.mainThreadId);
  EXPECT_TRUE(run.HasTrace(L"tq probe uninit loaded=0 stopped=1"));
  EXPECT_FALSE(FileExists(log)) << "nothing of the stand-in ran";
}

TEST_F(StatModule, InitHandsOverIdsVersionAndHostAndReportsRunOnTheWorkerInOrder) {
  Place(L"stat_probe.exe", true);
  // A host outside ASCII shows the code page it arrives in.
  const std::wstring host = L"stat-\u00e9t\u00e9.invalid";
  const ChildRun run = Run(L"stat_probe.exe", Init(0x1A3, host) + L" report 25103 report 25106 task wait-task uninit");
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(run.HasTrace(L"tq probe init 1"));
  EXPECT_TRUE(run.HasTrace(L"tq probe uninit loaded=0 stopped=1"));

  const std::vector<Call> calls = Calls();
  const std::vector<std::string> expected = {
      "stat_appid 163",  // the low byte of 0x1A3
      "stat_unionid 4003",
      "stat_version_ex 2 300 40000 5",  // the product version, not the file version 9.8.7.6
      "stat_dispatch_addr \"" + kw::FromWide(CP_ACP, host) + "\" 8700",
      "stat_init",
      "stat_mutilaction [25103] 1 256",
      "stat_mutilaction [25106] 1 256",
      "stat_offline",
      "stat_close 200",
      "rbstat unloaded",
  };
  EXPECT_EQ(CallTexts(calls), expected);
  ASSERT_EQ(calls.size(), expected.size());
  const DWORD worker = TraceThread(run, L"tq probe task");
  EXPECT_NE(worker, run.mainThreadId);
  for (const Call& call : calls) {
    const bool report = call.text.rfind("stat_mutilaction", 0) == 0;
    EXPECT_EQ(call.threadId, report ? worker : run.mainThreadId) << call.text;
  }
}

struct UnionIdCase {
  const char* name;
  DWORD type;  // REG_NONE: no value at all
  std::vector<BYTE> data;
  const char* expected;
};

TEST_F(StatModule, UnionIdComesFromTheRegistryWithDefault4003) {
  const auto dword = [](DWORD value) {
    return std::vector<BYTE>{BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)};
  };
  const UnionIdCase cases[] = {
      {"absent", REG_NONE, {}, "stat_unionid 4003"},
      {"99", REG_DWORD, dword(99), "stat_unionid 4003"},
      {"100", REG_DWORD, dword(100), "stat_unionid 100"},
      {"26301", REG_DWORD, dword(26301), "stat_unionid 26301"},
      {"binary 10000", REG_BINARY, dword(10000), "stat_unionid 10000"},  // the type does not matter
      {"text too long", REG_SZ, {'1', 0, '2', 0, '3', 0, '4', 0, 0, 0}, "stat_unionid 4003"},
  };
  Place(L"stat_probe.exe", true);
  for (const UnionIdCase& c : cases) {
    SCOPED_TRACE(c.name);
    RegDeleteTreeW(HKEY_CURRENT_USER, subKey.c_str());
    if (c.type != REG_NONE) SetUnionId(c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
    DeleteFileW(log.c_str());
    Run(L"stat_probe.exe", Init(7));
    const std::vector<std::string> texts = CallTexts(Calls());
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0], "stat_appid 7");
    EXPECT_EQ(texts[1], c.expected);
  }
}

TEST_F(StatModule, VersionIs1_0_0_1WhenTheExecutableHasNone) {
  Place(L"stat_probe_bare.exe", true);
  Run(L"stat_probe_bare.exe", Init(1));
  const std::vector<std::string> texts = CallTexts(Calls());
  ASSERT_GE(texts.size(), 3u);
  EXPECT_EQ(texts[2], "stat_version_ex 1 0 0 1");
}

TEST_F(StatModule, InitAnswersWhatStatInitAnswersAndReportsFlowEitherWay) {
  Place(L"stat_probe.exe", true);
  for (const auto& [results, answer] : {std::pair{L"", L"1"}, std::pair{L"stat_init=0", L"0"}}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(results)));
    DeleteFileW(log.c_str());
    const ChildRun run = Run(L"stat_probe.exe", Init(1) + L" report 25105 task wait-task uninit", results);
    EXPECT_TRUE(run.HasTrace(std::wstring(L"tq probe init ") + answer));
    const std::vector<std::string> texts = CallTexts(Calls());
    ASSERT_GE(texts.size(), 6u);
    EXPECT_EQ(texts[4], "stat_init");
    EXPECT_EQ(texts[5], "stat_mutilaction [25105] 1 256");
  }
}

TEST_F(StatModule, ASecondInitWhileLoadedIsRefusedUntilUninit) {
  Place(L"stat_probe.exe", true);
  const ChildRun run = Run(L"stat_probe.exe", Init(1) + L" " + Init(2) + L" uninit " + Init(3) + L" uninit");
  std::vector<std::wstring> answers;
  for (const std::wstring& text : run.Texts())
    if (text.rfind(L"tq probe init ", 0) == 0) answers.push_back(text.substr(14));
  EXPECT_EQ(answers, (std::vector<std::wstring>{L"1", L"0", L"1"}));
  const std::vector<std::string> texts = CallTexts(Calls());
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "stat_init"), 2);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "stat_appid 2"), 0) << "the refused Init calls nothing";
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "rbstat unloaded"), 2);
}

TEST_F(StatModule, UninitWaitsForTheRunningReportAndDropsQueuedOnesBeforeSayingGoodbye) {
  Place(L"stat_probe.exe", true);
  const ChildRun run = Run(L"stat_probe.exe", Init(1) + L" report 1 report 2 wait-log \"stat_mutilaction [1]\" uninit",
                           L"stat_mutilaction_sleep_ms=300");
  EXPECT_EQ(run.exitCode, 0u) << "the probe saw the first report start";
  const std::vector<std::string> texts = CallTexts(Calls());
  const std::vector<std::string> tail = {"stat_init",       "stat_mutilaction [1] 1 256",
                                         "stat_mutilaction returns", "stat_offline",
                                         "stat_close 200",  "rbstat unloaded"};
  ASSERT_GE(texts.size(), tail.size());
  EXPECT_EQ(std::vector<std::string>(texts.end() - tail.size(), texts.end()), tail);
}

TEST_F(StatModule, ProcessExitWithoutUninitCallsTheLibraryNoMore) {
  Place(L"stat_probe.exe", true);
  const ChildRun run = Run(L"stat_probe.exe", Init(1) + L" report 3 wait-log \"stat_mutilaction [3]\" report 4");
  EXPECT_EQ(run.exitCode, 0u);
  for (const std::string& text : CallTexts(Calls())) {
    EXPECT_NE(text, "stat_offline");
    EXPECT_NE(text.rfind("stat_close", 0), 0u) << text;
    EXPECT_NE(text, "rbstat unloaded");
  }
}

struct DataFileCase {
  const char* name;
  bool fileExists;
  bool plainName;
};

TEST_F(StatModule, DataFileGetsTheIdsOnlyWhenItExistsAndIsNeverCreated) {
  const std::wstring dataFolder = LocalAppDataFolder() + L"\\KWHome\\data";
  const std::wstring name = L"kwtest-" + std::to_wstring(GetCurrentProcessId()) + L".dat";
  const std::wstring path = dataFolder + L"\\" + name;
  // A name with a path in it would write outside the data folder: it is
  // ignored.
  const std::wstring escaping = L"..\\" + name;
  const std::wstring escapedPath = LocalAppDataFolder() + L"\\KWHome\\" + name;
  const DataFileCase cases[] = {{"existing file", true, true},
                                {"no file", false, true},
                                {"name with a path", true, false}};
  Place(L"stat_probe.exe", true);
  for (const DataFileCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring& target = c.plainName ? path : escapedPath;
    DeleteFileW(log.c_str());
    DeleteFileW(path.c_str());
    DeleteFileW(escapedPath.c_str());
    if (c.fileExists) {
      SHCreateDirectoryExW(nullptr, dataFolder.c_str(), nullptr);
      ASSERT_TRUE(WriteBytes(target, "old\n"));
    }
    const ChildRun run = Run(L"stat_probe.exe", Init(1, L"h", c.plainName ? name : escaping) +
                                                    L" report 25103 report 25106 task wait-task uninit");
    EXPECT_EQ(run.exitCode, 0u);
    if (!c.fileExists)
      EXPECT_FALSE(FileExists(target));
    else
      EXPECT_EQ(ReadBytes(target), c.plainName ? "old\n25103,\n25106,\n" : "old\n");
    // The reports reach the library whatever happens to the file.
    const std::vector<std::string> texts = CallTexts(Calls());
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "stat_mutilaction [25103] 1 256"), 1);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "stat_mutilaction [25106] 1 256"), 1);
    EXPECT_TRUE(FileExists(dataFolder)) << "Init makes the data folder";
  }
  DeleteFileW(path.c_str());
  DeleteFileW(escapedPath.c_str());
}

// Entry points are looked up by their plain names, and a missing one only
// skips its call: a library without "stat_close" is still told goodbye.
TEST_F(StatModule, AMissingEntryPointSkipsOnlyItsCall) {
  Place(L"stat_probe.exe", true);
  ASSERT_TRUE(CopyFileW((ExeFolder() + L"\\kwtest_rbstat_no_close.dll").c_str(), (folder + L"\\rbstat.dll").c_str(),
                        FALSE));
  const ChildRun run = Run(L"stat_probe.exe", Init(1) + L" uninit");
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(run.HasTrace(L"tq probe init 1"));
  EXPECT_TRUE(run.HasTrace(L"tq probe uninit loaded=0 stopped=1"));
  const std::vector<std::string> texts = CallTexts(Calls());
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "stat_init"), 1) << testing::PrintToString(texts);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "stat_offline"), 1);
  EXPECT_EQ(std::count_if(texts.begin(), texts.end(), [](const std::string& t) { return t.rfind("stat_close", 0) == 0; }),
            0);
  EXPECT_EQ(texts.back(), "rbstat unloaded");
}

}  // namespace
