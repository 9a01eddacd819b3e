// Lua_UnCompress7z in a real installer (kwtest_uncompress.exe): its payload
// resource made from payload_tree, the call taken from the environment by
// uncompress_install.lua in a silent run, traces read as a debugger.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "child_process.h"
#include "temp_folder.h"
#include "payload_test_support.h"

namespace {

using namespace kwtest;

const std::vector<std::wstring> kPayloadFiles = {L"a\\b\\c.txt", L"bin\\tool.dat", L"empty.txt", L"locked.txt",
                                                 L"readme.txt"};

class InstallerUnCompress : public TempFolderTest {
 protected:
  void SetUp() override {
    dest = folder + L"\\dest";
    CreateDirectoryW(dest.c_str(), nullptr);
  }

  ChildRun Run(const std::wstring& call, std::map<std::wstring, std::wstring> extra = {},
               std::function<void(DWORD)> whileRunning = nullptr) {
    DeleteFileW(Record().c_str());
    ChildOptions options;
    options.commandLine = Quote(ExeFolder() + L"\\kwtest_uncompress.exe") + L" /InstallSlience true";
    options.environment = {{L"KW_TEST_CALL", call}, {L"KW_TEST_DEST", dest}, {L"KW_TEST_RECORD", Record()},
                           {L"TEMP", folder},       {L"TMP", folder}};
    for (auto& [name, value] : extra) options.environment[name] = value;
    options.whileRunning = std::move(whileRunning);
    ChildRun run = RunChild(options);
    EXPECT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut);
    return run;
  }
  std::wstring Record() const { return folder + L"\\record.txt"; }
  std::vector<std::wstring> Recorded() const { return Lines(ReadTextFile(Record())); }
  std::wstring Source(const std::wstring& relative) const {
    return FixtureFolder() + L"\\payload_tree\\" + relative;
  }
  std::vector<std::wstring> ProgressLines(const std::vector<std::wstring>& files) const {
    std::vector<std::wstring> lines;
    for (const std::wstring& file : files) lines.push_back(L"progress " + dest + L"\\" + file);
    return lines;
  }

  std::wstring dest;
};

TEST_F(InstallerUnCompress, ExtractsItsPayloadByteExactAndReportsEachFile) {
  const ChildRun run = Run(L"return Lua_UnCompress7z('App.7z', dest, false, progress, onError)");
  const auto recorded = Recorded();
  ASSERT_FALSE(recorded.empty());
  EXPECT_EQ(recorded.back(), L"result true");
  std::vector<std::wstring> progress(recorded.begin(), recorded.end() - 1);
  std::sort(progress.begin(), progress.end());
  EXPECT_EQ(progress, ProgressLines(kPayloadFiles));  // files only, the empty one too
  for (const std::wstring& file : kPayloadFiles) EXPECT_EQ(ReadBytes(dest + L"\\" + file), ReadBytes(Source(file)));
  EXPECT_TRUE(run.HasTrace(L"tq UnCompress App.7z to " + dest + L" .\r\n"));
  EXPECT_TRUE(run.HasTrace(L"tq UnCompress successful.\r\n"));
}

TEST_F(InstallerUnCompress, ChecksPathsAndSourcesBeforeExtracting) {
  struct Case {
    const wchar_t* call;
    const wchar_t* result;
    std::wstring trace;     // expected
    std::wstring notTrace;  // must not appear
  };
  const std::wstring standard = FixtureFolder() + L"\\lzma2.7z";
  const Case cases[] = {
      // The destination is checked first: the missing resource is never looked up.
      {L"return Lua_UnCompress7z('NoSuch.7z', dest .. '\\\\missing', false, progress, onError)", L"result false",
       L"tq Fun:Lua_UnCompress7z, Description:" + dest + L"\\missing it's not exists!\r\n",
       L"tq Fun:Lua_UnCompress7z ,LoadResource failed!\r\n"},
      {L"return Lua_UnCompress7z('NoSuch.7z', dest)", L"result false",
       L"tq Fun:Lua_UnCompress7z ,LoadResource failed!\r\n", L"tq UnCompress successful.\r\n"},
      {L"return Lua_UnCompress7z(dest .. '\\\\none.7z', dest, true)", L"result false",
       L"tq Fun:Lua_UnCompress7z, Description:" + dest + L"\\none.7z it's not exists!\r\n", L""},
      {L"return Lua_UnCompress7z(os.getenv('KW_TEST_ARCHIVE'), dest, true)", L"result true",
       L"tq UnCompress " + standard + L" to " + dest + L" .\r\n", L""},
      {L"return Lua_UnCompress7z('App.7z', '%TEMP%\\\\dest')", L"result true",
       L"tq UnCompress App.7z to " + dest + L" .\r\n", L""},
      {L"return Lua_UnCompress7z('App.7z')", L"result false", L"", L"tq UnCompress successful.\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.call)));
    RemoveTree(dest);
    CreateDirectoryW(dest.c_str(), nullptr);
    const ChildRun run = Run(c.call, {{L"KW_TEST_ARCHIVE", standard}});
    EXPECT_EQ(Recorded(), std::vector<std::wstring>{c.result});
    if (!c.trace.empty()) EXPECT_TRUE(run.HasTrace(c.trace)) << testing::PrintToString(run.Texts());
    if (!c.notTrace.empty()) EXPECT_FALSE(run.HasTrace(c.notTrace));
    EXPECT_EQ(ListTree(dest).empty(), std::wstring(c.result) == L"result false");
  }
}

// The test process holds dest\locked.txt open without sharing while the
// installer extracts; the script's error callback answers as told.
TEST_F(InstallerUnCompress, FileHeldByAnotherProcessIsRetriedSkippedOrStops) {
  struct Case {
    const wchar_t* answer;
    const wchar_t* result;
    bool lockedRewritten;
    bool allOthersWritten;
  };
  const Case cases[] = {
      {L"wait", L"result true", true, true},      // answers nothing once released: tried again, written
      {L"0", L"result false", false, false},      // still held: the one retry fails, the walk stops
      {L"1", L"result true", false, true},        // skipped, the rest goes on
      {L"2", L"result false", false, false},
  };
  const std::string old = "held by the test\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.answer)));
    RemoveTree(dest);
    CreateDirectoryW(dest.c_str(), nullptr);
    const std::wstring locked = dest + L"\\locked.txt";
    ASSERT_TRUE(WriteBytes(locked, old));
    HANDLE lock = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    const std::wstring asked = folder + L"\\asked", released = folder + L"\\released";
    DeleteFileW(asked.c_str());
    DeleteFileW(released.c_str());
    const ChildRun run = Run(L"return Lua_UnCompress7z('App.7z', dest, false, progress, onError)",
                             {{L"KW_TEST_ANSWER", c.answer}, {L"KW_TEST_ASKED", asked}, {L"KW_TEST_RELEASED", released}},
                             [&](DWORD) {
                               if (lock && FileExists(asked)) {
                                 CloseHandle(lock);
                                 lock = nullptr;
                                 WriteBytes(released, "");
                               }
                             });
    if (lock) CloseHandle(lock);

    const auto recorded = Recorded();
    ASSERT_FALSE(recorded.empty());
    EXPECT_EQ(recorded.back(), c.result);
    std::vector<std::wstring> errors, progress;
    for (const std::wstring& line : recorded) {
      if (line.rfind(L"error ", 0) == 0) errors.push_back(line);
      if (line.rfind(L"progress ", 0) == 0) progress.push_back(line);
    }
    EXPECT_EQ(errors, std::vector<std::wstring>{L"error " + locked + L" 32"});  // one call: one retry at most
    EXPECT_EQ(ReadBytes(locked), c.lockedRewritten ? ReadBytes(Source(L"locked.txt")) : old);
    const bool lockedReported =
        std::find(progress.begin(), progress.end(), L"progress " + locked) != progress.end();
    EXPECT_EQ(lockedReported, c.lockedRewritten);
    if (c.allOthersWritten) {
      for (const std::wstring& file : kPayloadFiles)
        if (file != L"locked.txt") EXPECT_EQ(ReadBytes(dest + L"\\" + file), ReadBytes(Source(file)));
    }
    EXPECT_EQ(run.HasTrace(L"tq Fun:Lua_UnCompress7z, Description: UnCompress failed.!\r\n"),
              std::wstring(c.result) == L"result false");
  }
}

}  // namespace
