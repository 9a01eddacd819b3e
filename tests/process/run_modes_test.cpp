// The installer as a whole: run-mode choice, the silent run's events, the
// listen-window message and the failures of start-up.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "child_process.h"
#include "temp_folder.h"
#include "core/handles.h"

namespace {

using namespace kwtest;

class Installer : public TempFolderTest {
 protected:
  void SetUp() override { events = folder + L"\\events.txt"; }

  ChildOptions Options(const std::wstring& exe, const std::wstring& arguments) {
    ChildOptions options;
    options.commandLine = Quote(ExeFolder() + L"\\" + exe) + L" " + arguments;
    options.environment = {{L"KW_TEST_EVENTS", events}, {L"TEMP", folder}, {L"TMP", folder}};
    return options;
  }
  std::vector<std::wstring> Events() const { return Lines(ReadTextFile(events)); }

  std::wstring events;
};

const std::vector<std::wstring> kSilentEvents = {
    L"BeforeInit", L"BeforeInstall C:\\KWTest\\App true", L"OnInstall", L"BeforeComplete", L"AfterComplete"};

struct ModeCase {
  const wchar_t* arguments;
  const wchar_t* enableSilent;    // global_enable_ss_install
  const wchar_t* silentAfterInit; // global_ss_install set by QRVSE_BeforeInit
  bool silent;
};

TEST_F(Installer, ChoosesTheRunModeFromCommandLineAndGlobals) {
  const ModeCase cases[] = {
      {L"/InstallSlience true", L"0", L"0", true},   // the command line alone suffices
      {L"/InstallSlience TRUE", L"1", L"0", false},  // exact, case-sensitive value
      {L"/InstallSlience", L"0", L"0", false},       // presence alone is not enough
      {L"", L"1", L"1", true},                       // enabled and requested by the script
      {L"", L"0", L"1", false},                      // requested but not enabled
      {L"", L"1", L"0", false},
      {L"/InstallSlience \"true\"", L"0", L"0", true},
  };
  for (const ModeCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "arguments '" << testing::PrintToString(std::wstring(c.arguments))
                                    << "' enable " << c.enableSilent << " after init " << c.silentAfterInit);
    DeleteFileW(events.c_str());
    ChildOptions options = Options(L"kwtest_events.exe", c.arguments);
    options.environment[L"KW_TEST_ENABLE_SS"] = c.enableSilent;
    options.environment[L"KW_TEST_SS_AFTER_INIT"] = c.silentAfterInit;
    const ChildRun run = RunChild(options);
    ASSERT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
    if (c.silent) {
      EXPECT_EQ(Events(), kSilentEvents);
      EXPECT_TRUE(run.HasTrace(L"tq global_ss_install==true ~!\r\n"));
      EXPECT_TRUE(run.HasTrace(L"tq start ss install!"));
    } else {
      // The window run: this build carries no skin, so it stops after the
      // failure trace of the missing skin archive, with no event but the first.
      EXPECT_EQ(Events(), std::vector<std::wstring>{L"BeforeInit"});
      EXPECT_FALSE(run.HasTrace(L"tq start ss install!"));
      bool failureTrace = false;
      for (const auto& t : run.Texts()) failureTrace |= t.rfind(L"tq tq file:", 0) == 0;
      EXPECT_TRUE(failureTrace) << "missing skin must leave the three-line failure trace";
    }
  }
}

// The caller's window: counts message 3014 and checks that every event had
// finished when it arrived.
struct Listener {
  int finishedMessages = 0;
  bool badParameters = false;
  std::wstring eventsAtMessage;
  std::wstring eventsFile;
};
Listener* g_listener = nullptr;

LRESULT CALLBACK ListenProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == 3014 && g_listener) {
    ++g_listener->finishedMessages;
    g_listener->badParameters |= wParam != 0 || lParam != 0;
    g_listener->eventsAtMessage = ReadTextFile(g_listener->eventsFile);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(Installer, SilentRunNotifiesTheListenWindowOnceAfterAllEvents) {
  const kw::UniqueWindow window(CreateTestWindow(L"KWTestListener", L"listener", WS_OVERLAPPED, ListenProc));
  ASSERT_TRUE(window);
  const std::wstring handle = std::to_wstring(reinterpret_cast<std::uintptr_t>(window.Get()));

  for (const std::wstring& value : {handle, L"\"" + handle + L"\""}) {
    SCOPED_TRACE(testing::Message() << "handle written as " << testing::PrintToString(value));
    DeleteFileW(events.c_str());
    Listener listener;
    listener.eventsFile = events;
    g_listener = &listener;
    const ChildRun run =
        RunChild(Options(L"kwtest_events.exe", L"/InstallListenWnd " + value + L" /InstallSlience true"));
    g_listener = nullptr;
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(listener.finishedMessages, 1);
    EXPECT_FALSE(listener.badParameters);
    EXPECT_EQ(Lines(listener.eventsAtMessage), kSilentEvents);

    // The events run on the main thread: the silent run's milestone trace,
    // written right before them, comes from the process's first thread.
    const int start = run.IndexOf(L"tq start ss install!");
    ASSERT_GE(start, 0);
    EXPECT_EQ(run.traces[start].threadId, run.mainThreadId);
  }
}

TEST_F(Installer, TextChunksRunLikeCompiledOnes) {
  const ChildRun run = RunChild(Options(L"kwtest_events_text.exe", L"/InstallSlience true"));
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(Events(), kSilentEvents);
}

struct StartFailure {
  const wchar_t* exe;
  std::vector<std::wstring> traces;  // must appear in this order
};

TEST_F(Installer, ChunkResourceFailuresEndQuietlyWithTheirTraces) {
  const StartFailure cases[] = {
      {L"kwtest_no_instscript.exe",
       {L"tq LoadResource failed. Type : LUA ID : INSTSCRIPT.LUAC\r\n", L"tq DoResLua failed, INSTSCRIPT.LUAC"}},
      {L"kwtest_empty_global.exe", {L"tq ResSize == 0\r\n", L"tq DoResLua failed, GLOBAL_VAR.LUAC"}},
      {L"kwtest_bad_chunk.exe",
       {L"tq [string \"INSTSCRIPT.LUAC\"]:4: 'end' expected (to close 'function' at line 2) near <eof>\r\n",
        L"tq luaL_loadbuffer failed!\r\n", L"tq DoResLua failed, INSTSCRIPT.LUAC"}},
  };
  for (const StartFailure& c : cases) {
    SCOPED_TRACE(testing::Message() << testing::PrintToString(std::wstring(c.exe)));
    DeleteFileW(events.c_str());
    bool sawWindow = false;
    ChildOptions options = Options(c.exe, L"/InstallSlience true");
    options.whileRunning = [&](DWORD pid) { sawWindow |= FindVisibleWindow(pid) != nullptr; };
    const ChildRun run = RunChild(options);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_FALSE(sawWindow);
    EXPECT_TRUE(Events().empty()) << "no event may run";
    int at = 0;
    for (const std::wstring& trace : c.traces) {
      const int found = run.IndexOf(trace, at);
      EXPECT_GE(found, 0) << "missing trace " << testing::PrintToString(trace);
      if (found >= 0) at = found + 1;
    }
  }
}

TEST_F(Installer, StartDeletesTheLeftoverLogAndEarlierDailyLogs) {
  ASSERT_TRUE(WriteBytes(folder + L"\\Install.log", "left over"));
  ASSERT_TRUE(WriteBytes(folder + L"\\Install_2001-01-01.log", "old"));
  ASSERT_TRUE(WriteBytes(folder + L"\\install_keep.txt", "keep"));
  const ChildRun run = RunChild(Options(L"kwtest_events.exe", L"/InstallSlience true"));
  EXPECT_EQ(run.exitCode, 0u);
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t today[64];
  swprintf(today, 64, L"\\Install_%04d-%02d-%02d.log", now.wYear, now.wMonth, now.wDay);
  EXPECT_TRUE(FileExists(folder + today));
  EXPECT_FALSE(FileExists(folder + L"\\Install.log"));
  EXPECT_FALSE(FileExists(folder + L"\\Install_2001-01-01.log"));
  EXPECT_TRUE(FileExists(folder + L"\\install_keep.txt"));
}

// The delayed deletions the system has been asked for, source names as
// written ("\\??\\" + path).
std::vector<std::wstring> PendingRenames() {
  std::vector<std::wstring> names;
  kw::UniqueKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_QUERY_VALUE,
                    key.Receive()) != ERROR_SUCCESS)
    return names;
  DWORD size = 0;
  if (RegQueryValueExW(key.Get(), L"PendingFileRenameOperations", nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    RegQueryValueExW(key.Get(), L"PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()),
                     &size);
    for (std::size_t at = 0; at < text.size() && text[at];) {
      const std::size_t end = text.find(L'\0', at);
      names.push_back(text.substr(at, end - at));
      at = end + 1;
    }
  }
  return names;
}

// Without a usable temp folder the log steps would run in the current
// folder (deleting "Install" and "Install_*" files there): they are skipped.
TEST_F(Installer, WithoutAUsableTempFolderTheLogStepsAreSkipped) {
  const std::wstring current = folder + L"\\started here";
  ASSERT_TRUE(CreateDirectoryW(current.c_str(), nullptr));
  const std::vector<std::wstring> kept = {L"Install", L"Install.log", L"Install_notes.txt", L"Install_2001-01-01.log"};
  for (const std::wstring& name : kept) ASSERT_TRUE(WriteBytes(current + L"\\" + name, "mine"));
  const struct {
    const char* what;
    std::wstring temp;
  } cases[] = {{"longer than a path", L"C:\\" + std::wstring(300, L't')}, {"missing", folder + L"\\no such folder"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ChildOptions options = Options(L"kwtest_events.exe", L"/InstallSlience true");
    options.environment[L"TEMP"] = options.environment[L"TMP"] = c.temp;
    options.workingFolder = current;
    const std::vector<std::wstring> pendingBefore = PendingRenames();
    const ChildRun run = RunChild(options);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(Events(), kSilentEvents);
    EXPECT_TRUE(run.HasTrace(L"tq No usable temporary folder: the log steps are skipped.\r\n"));
    for (const std::wstring& name : kept) EXPECT_EQ(ReadBytes(current + L"\\" + name), "mine") << name;
    EXPECT_EQ(PendingRenames(), pendingBefore);
    EXPECT_FALSE(FileExists(c.temp)) << "nothing made the folder";
    DeleteFileW(events.c_str());
  }
}

}  // namespace

namespace {

TEST_F(Installer, ScriptWithOnlyTheMainEventInstalls) {
  const ChildRun run = RunChild(Options(L"kwtest_only_on_install.exe", L"/InstallSlience true"));
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(Events(), std::vector<std::wstring>{L"OnInstall"});
}

}  // namespace
