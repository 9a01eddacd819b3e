// The window run starts the statistics module and stops it again; the
// silent run does not. A libcurl.dll beside the installer (usually in a
// downloads folder, where anybody may drop one) is never loaded: the
// elevated installer would run its code.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "core/handles.h"
#include "temp_folder.h"
#include "standin_log.h"

namespace {

using namespace kwtest;

// HKCU "SOFTWARE\KWSweep" "UnionId" set for the test, put back afterwards.
class UnionIdValue {
 public:
  explicit UnionIdValue(DWORD value) {
    RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, key_.Receive(),
                    nullptr);
    DWORD old = 0, size = sizeof(old), type = 0;
    if (RegQueryValueExW(key_.Get(), L"UnionId", nullptr, &type, reinterpret_cast<BYTE*>(&old), &size) == ERROR_SUCCESS &&
        type == REG_DWORD)
      old_ = old;
    RegSetValueExW(key_.Get(), L"UnionId", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
  }
  ~UnionIdValue() {
    if (old_)
      RegSetValueExW(key_.Get(), L"UnionId", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*old_), sizeof(DWORD));
    else
      RegDeleteValueW(key_.Get(), L"UnionId");
  }

 private:
  static constexpr wchar_t kKey[] = L"SOFTWARE\\KWSweep";
  kw::UniqueKey key_;
  std::optional<DWORD> old_;
};

struct RunCase {
  const char* name;
  const wchar_t* arguments;
  bool withCurl;
  std::vector<std::string> expected;
};

TEST(WindowRun, StartsAndStopsStatisticsAroundTheDialogAndLoadsNoLibcurlFromItsFolder) {
  const std::vector<std::string> stats = {"stat_appid 0",  // a configured mutex name zeroes the id
                                          "stat_unionid 26302",
                                          "stat_version_ex 1 0 0 1",  // the installer's own version resource
                                          "stat_dispatch_addr \"stat.kwsweep.invalid\" 8700",
                                          "stat_init",
                                          "stat_offline",
                                          "stat_close 200",
                                          "rbstat unloaded"};
  const RunCase cases[] = {
      {"window run with a libcurl.dll beside it", L"", true, stats},
      {"window run without libcurl", L"", false, stats},
      {"silent run", L"/InstallSlience true", true, {}},
  };

  const UnionIdValue unionId(26302);
  for (const RunCase& c : cases) {
    SCOPED_TRACE(c.name);
    const TempFolder temp(L"winstats");
    const std::wstring& folder = temp.Get();
    std::vector<std::wstring> files = {L"rbstat.dll", L"udp_rb.dll"};
    if (c.withCurl) files.push_back(L"libcurl.dll");
    for (const std::wstring& file : files)
      ASSERT_TRUE(CopyFileW((ExeFolder() + L"\\" + file).c_str(), (folder + L"\\" + file).c_str(), FALSE));
    ASSERT_TRUE(CopyFileW((ExeFolder() + L"\\kwtest_skinned.exe").c_str(), (folder + L"\\setup.exe").c_str(), FALSE));

    ChildOptions options;
    options.commandLine = Quote(folder + L"\\setup.exe") + L" " + c.arguments;
    options.environment = {{L"KW_TEST_EVENTS", folder + L"\\events.txt"},
                           {L"KW_STANDIN_LOG", folder + L"\\calls.log"},
                           {L"TEMP", folder},
                           {L"TMP", folder}};
    // The window run shows the install dialog: close it before installing.
    options.whileRunning = [](DWORD) {
      if (HWND dialog = FindWindowW(L"CDlgInstall", nullptr)) PostMessageW(dialog, WM_CLOSE, 2, 0);
    };
    const ChildRun run = RunChild(options);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(FileExists(folder + L"\\events.txt")) << "the installer ran its scripts";
    EXPECT_EQ(CallTexts(ReadCalls(folder + L"\\calls.log")), c.expected);
  }
}

}  // namespace
