#include <gtest/gtest.h>
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <string>

#include "child_process.h"
#include "temp_folder.h"
#include "core/log.h"

namespace {

using kw::CKWBaseLog;
using kwtest::FileExists;

std::string Narrow(const std::wstring& text) {
  return std::string(text.begin(), text.end());  // test folders are ASCII
}

std::string TodayName(const char* base) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char name[64];
  snprintf(name, sizeof(name), "%s_%04d-%02d-%02d.log", base, now.wYear, now.wMonth, now.wDay);
  return name;
}

class DailyLog : public kwtest::TempFolderTest {};

TEST_F(DailyLog, TodaysNameFollowsTheDailyPattern) {
  EXPECT_EQ(CKWBaseLog::TodaysLogName("Install"), TodayName("Install"));
}

TEST_F(DailyLog, CleanupDeletesEarlierLogsAndKeepsEverythingElse) {
  struct Entry {
    std::string name;
    bool kept;
  };
  const Entry entries[] = {
      {"Install", false},                   // no "_": the whole name is the base
      {"Install_2020-01-01.log", false},    // an earlier day
      {"Install_notes.txt", false},         // base + "_" + anything
      {"Install_", false},
      {TodayName("Install"), true},         // today's file survives
      {"install_x.txt", true},              // case-sensitive base
      {"Install.log", true},                // part before "_" is "Install.log"
      {"Installer_1.log", true},
      {"Other_2020-01-01.log", true},
  };
  for (const Entry& e : entries) ASSERT_TRUE(kwtest::WriteBytes(folder + L"\\" + std::wstring(e.name.begin(), e.name.end()), "x"));
  ASSERT_TRUE(CreateDirectoryW((folder + L"\\Install_folder").c_str(), nullptr));

  CKWBaseLog::DeleteOldLogs(Narrow(folder), "Install");

  for (const Entry& e : entries)
    EXPECT_EQ(FileExists(folder + L"\\" + std::wstring(e.name.begin(), e.name.end())), e.kept) << e.name;
  EXPECT_TRUE(FileExists(folder + L"\\Install_folder"));  // a folder of that name is left alone
}

// A folder that cannot be listed: the line on standard output, and nothing
// deleted beside it or in the current folder.
TEST_F(DailyLog, CleanupOfAMissingFolderDeletesNothingAndReturns) {
  ASSERT_TRUE(kwtest::WriteBytes(folder + L"\\Install_2001-01-01.log", "x"));
  ASSERT_TRUE(kwtest::WriteBytes(folder + L"\\Install", "x"));
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  SetCurrentDirectoryW(folder.c_str());
  // Standard output into a file for the call.
  const std::wstring captured = folder + L"\\stdout.txt";
  std::fflush(stdout);
  const int saved = _dup(_fileno(stdout));
  const int file = _wopen(captured.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
  ASSERT_GE(file, 0);
  _dup2(file, _fileno(stdout));
  CKWBaseLog::DeleteOldLogs(Narrow(folder) + "\\missing", "Install");
  std::fflush(stdout);
  _dup2(saved, _fileno(stdout));
  _close(file);
  _close(saved);
  SetCurrentDirectoryW(previous);

  std::string said = kwtest::ReadBytes(captured);
  said.erase(std::remove(said.begin(), said.end(), '\r'), said.end());
  EXPECT_EQ(said, "搜索失败!\n");
  EXPECT_TRUE(FileExists(folder + L"\\Install_2001-01-01.log"));
  EXPECT_TRUE(FileExists(folder + L"\\Install"));
}

// One logger per process: these steps run in order in one test.
TEST_F(DailyLog, WritesFlushedPatternedLinesAndAppendsOnTheSameDay) {
  CKWBaseLog& log = CKWBaseLog::Instance();
  ASSERT_FALSE(log.HasLogger());
  log.LogInfo(__FILE__, "NoLogger", __LINE__, "dropped {}", 1);  // no logger yet: dropped quietly

  // A path beyond the fixed path buffer is refused, never written elsewhere.
  const std::string longPath = Narrow(folder) + "\\" + std::string(300, 'p') + "\\Install.log";
  log.InitLogger(longPath.c_str());
  EXPECT_FALSE(log.HasLogger());

  const std::string path = Narrow(folder) + "\\Install.log";
  const std::string today = TodayName("Install");
  const std::wstring dated = folder + L"\\" + std::wstring(today.begin(), today.end());
  ASSERT_TRUE(kwtest::WriteBytes(dated, "earlier line\n"));
  ASSERT_TRUE(kwtest::WriteBytes(folder + L"\\Install_2001-02-03.log", "old"));

  log.InitLogger(path.c_str());
  ASSERT_TRUE(log.HasLogger());
  EXPECT_FALSE(FileExists(folder + L"\\Install_2001-02-03.log"));
  EXPECT_FALSE(FileExists(folder + L"\\Install.log"));  // only dated files are written

  KW_LOG_INFO("strAppPath:{}", "C:\\Program Files\\KWSweep\\Tools\\");
  // Flushed on every information line: readable right away.
  const std::wstring text = kwtest::ReadTextFile(dated);
  const std::string content(text.begin(), text.end());
  EXPECT_EQ(content.rfind("earlier line\n", 0), 0u) << "same-day file must be appended to";
  const std::regex line(
      R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\] \[info\] \[\d+\] \[log_test\.cpp TestBody: \d+\] )"
      R"(strAppPath:C:\\Program Files\\KWSweep\\Tools\\\r?\n)");
  EXPECT_TRUE(std::regex_search(content, line)) << content;
  EXPECT_EQ(content.find("dropped"), std::string::npos);
}

}  // namespace
