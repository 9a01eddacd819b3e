// One installer at a time: a second one brings the first forward and leaves.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "child_process.h"
#include "temp_folder.h"
#include "core/handles.h"
#include "installer/instance.h"

namespace {

using namespace kwtest;

std::wstring UniqueName(const wchar_t* tag) {
  return std::wstring(L"Local\\kwtest-") + tag + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(GetTickCount64());
}

bool MutexExists(const std::wstring& name) {
  return kw::UniqueHandle(OpenMutexW(SYNCHRONIZE, FALSE, name.c_str())).Valid();
}

TEST(SingleInstance, NameCarriesTheApplicationIdUnlessItIsZero) {
  const std::wstring name = UniqueName(L"id");
  EXPECT_EQ(kw::CreateAppInstance(name.c_str(), 163), nullptr) << "first instance";
  EXPECT_TRUE(MutexExists(name + L"163"));
  EXPECT_FALSE(MutexExists(name));

  const std::wstring bare = UniqueName(L"bare");
  EXPECT_EQ(kw::CreateAppInstance(bare.c_str(), 0), nullptr);
  EXPECT_TRUE(MutexExists(bare)) << "application id 0 gives the bare name";

  const kw::UniqueHandle second(kw::CreateAppInstance(bare.c_str(), 0));
  EXPECT_NE(second.Get(), nullptr) << "the same name again finds the first";
}

TEST(SingleInstance, OverLongNameIsCutSafelyAndStillMeets) {
  const std::wstring name = UniqueName(L"long") + std::wstring(400, L'n');
  EXPECT_EQ(kw::CreateAppInstance(name.c_str(), 12345), nullptr);
  EXPECT_NE(kw::UniqueHandle(kw::CreateAppInstance(name.c_str(), 12345)).Get(), nullptr);
  EXPECT_TRUE(MutexExists(name.substr(0, MAX_PATH - 1)));
}

class SecondInstaller : public TempFolderTest {
 protected:
  void SetUp() override {
    mutexName = UniqueName(L"installer");
    // This test plays the first installer: it holds the mutex and owns a
    // minimized window of the dialog's class.
    ASSERT_EQ(kw::CreateAppInstance(mutexName.c_str(), 0), nullptr);
    window.Reset(CreateTestWindow(L"CDlgInstall", L"first installer", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_MINIMIZE));
    ASSERT_TRUE(window);
    ASSERT_TRUE(IsIconic(window.Get()));
  }

  ChildRun RunSecond(const std::wstring& arguments) {
    DeleteFileW((folder + L"\\events.txt").c_str());
    ChildOptions options;
    options.commandLine = Quote(ExeFolder() + L"\\kwtest_events.exe") + L" " + arguments;
    options.environment = {{L"KW_TEST_EVENTS", folder + L"\\events.txt"},
                           {L"KW_TEST_MUTEX", mutexName},
                           {L"TEMP", folder},
                           {L"TMP", folder}};
    options.whileRunning = [&](DWORD pid) { sawWindow |= FindVisibleWindow(pid) != nullptr; };
    return RunChild(options);
  }

  std::wstring mutexName;
  kw::UniqueWindow window;
  bool sawWindow = false;
};

// One test: a window of the dialog's class is found system-wide, so no other
// test may own one meanwhile.
TEST_F(SecondInstaller, LeavesWithoutTheSilenceOptionAndProceedsWithIt) {
  const ChildRun run = RunSecond(L"");
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_FALSE(sawWindow);
  EXPECT_TRUE(run.HasTrace(L"tq CreateAppInstance return true"));
  EXPECT_TRUE(run.HasTrace(L"tq  szObjectName = " + mutexName + L" "));
  EXPECT_FALSE(FileExists(folder + L"\\events.txt")) << "no event runs in the second installer";
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  EXPECT_FALSE(IsIconic(window.Get())) << "the first installer's window was restored";
  EXPECT_TRUE(IsWindowVisible(window.Get()));

  for (const wchar_t* arguments : {L"/InstallSlience", L"/InstallSlience TRUE", L"/InstallSlience true"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(arguments)));
    const ChildRun proceeding = RunSecond(arguments);
    EXPECT_EQ(proceeding.exitCode, 0u);
    EXPECT_FALSE(proceeding.HasTrace(L"tq CreateAppInstance return true"));
    EXPECT_EQ(ReadTextFile(folder + L"\\events.txt").rfind(L"BeforeInit\r\n", 0), 0u)
        << "it went on to run its events";
  }
}

// A configuration without "global_install_mutex_guid", or with an empty one,
// gets the installer's own default name with its application id.
TEST(SingleInstance, WithoutAConfiguredNameTheDefaultMutexIsUsed) {
  const TempFolder temp(L"defaultmutex");
  const std::wstring& folder = temp.Get();
  for (const wchar_t* configured : {L"<none>", L"<empty>"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(configured)));
    ChildOptions options;
    options.commandLine = Quote(ExeFolder() + L"\\kwtest_events.exe") + L" /InstallSlience true";
    options.environment = {{L"KW_TEST_EVENTS", folder + L"\\events.txt"}, {L"KW_TEST_MUTEX", configured},
                           {L"KW_TEST_APP_ID", L"7"}, {L"TEMP", folder}, {L"TMP", folder}};
    const ChildRun run = RunChild(options);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.HasTrace(L"tq  szObjectName = Global\\{A043B702-166A-4FB8-9733-E2BC4713F36F}7 "))
        << testing::PrintToString(run.Texts());
  }
}

}  // namespace
