// Starting and stopping a real service of ours through the service manager.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "child_process.h"
#include "core/handles.h"
#include "trace_capture.h"
#include "script/lib_process.h"
#include "script_runner.h"

namespace {

using namespace kwtest;

// Installs test_service.exe under a name of its own for one test.
class ScriptService : public testing::Test {
 protected:
  void Install(const wchar_t* mode, const std::wstring& program = ExeFolder() + L"\\test_service.exe") {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    name = L"KWTestSvc" + std::to_wstring(GetCurrentProcessId()) + kw::Utf8ToWide(info->name()).substr(0, 16);
    manager.Reset(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ASSERT_TRUE(manager);
    const std::wstring binary = Quote(program) + L" " + mode;
    service.Reset(CreateServiceW(manager.Get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                 SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, binary.c_str(),
                                 nullptr, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(service) << GetLastError();
  }

  void TearDown() override {
    if (service) {
      SERVICE_STATUS_PROCESS status = Status();
      if (status.dwProcessId) {
        const kw::UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, status.dwProcessId));
        if (process) {
          TerminateProcess(process.Get(), 1);
          WaitForSingleObject(process.Get(), 5000);
        }
      }
      DeleteService(service.Get());
      service.Reset();
    }
    manager.Reset();
  }

  SERVICE_STATUS_PROCESS Status() const {
    SERVICE_STATUS_PROCESS status{};
    DWORD size = 0;
    QueryServiceStatusEx(service.Get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof(status), &size);
    return status;
  }

  std::string Scm(const char* verb) const { return "return Lua_SCM(" + Lit(name) + ", " + verb + ")"; }

  std::wstring name;
  kw::UniqueService manager;
  kw::UniqueService service;
};

TEST_F(ScriptService, StartsAStoppedServiceAndStopsARunningOne) {
  Install(L"normal");
  ASSERT_EQ(Status().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_TRUE(RunBool(Scm("'start'")));
  const SERVICE_STATUS_PROCESS running = Status();
  EXPECT_EQ(running.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
  // Already running: true, and still the same process.
  EXPECT_TRUE(RunBool(Scm("'START'")));
  EXPECT_EQ(Status().dwProcessId, running.dwProcessId);

  EXPECT_TRUE(RunBool(Scm("'Stop'")));
  EXPECT_EQ(Status().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_TRUE(RunBool(Scm("'stop'"))) << "already stopped";
}

TEST_F(ScriptService, OtherVerbsAreFalse) {
  Install(L"normal");
  for (const char* verb : {"'restart'", "''", "nil"}) {
    SCOPED_TRACE(verb);
    EXPECT_FALSE(RunBool(Scm(verb)));
  }
  EXPECT_EQ(Status().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
}

// A start or stop the system refuses: false, with its failure trace.
TEST_F(ScriptService, AStartOrStopTheSystemRefusesIsFalseWithItsTrace) {
  struct Case {
    const char* what;
    const wchar_t* mode;
    bool missingProgram;
    const char* verb;
    const wchar_t* message;
  };
  const Case cases[] = {{"a program that is not there", L"normal", true, "'start'", L"StartService failed!"},
                        {"a service that takes no stop", L"nostop", false, "'stop'", L"StopService failed!"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Install(c.mode, c.missingProgram ? ExeFolder() + L"\\no_such_service.exe" : ExeFolder() + L"\\test_service.exe");
    if (!c.missingProgram) {
      ASSERT_TRUE(StartServiceW(service.Get(), 0, nullptr));
      for (int i = 0; i < 100 && Status().dwCurrentState != SERVICE_RUNNING; ++i) Sleep(50);
      ASSERT_EQ(Status().dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    }
    TraceCapture capture;
    EXPECT_FALSE(RunBool(Scm(c.verb)));
    const std::vector<std::wstring> traces = capture.Take();
    ASSERT_EQ(traces.size(), 3u) << testing::PrintToString(traces);
    EXPECT_EQ(traces[0].rfind(L"tq " + std::wstring(c.message) + L"tq file:src/script/lib_service.cpp", 0), 0u)
        << testing::PrintToString(traces[0]);
    EXPECT_EQ(traces[2].rfind(L"tq " + std::wstring(c.message) + L"tq err:", 0), 0u);
    EXPECT_NE(traces[2], L"tq " + std::wstring(c.message) + L"tq err:0\r\n") << "the system's reason";
    TearDown();
  }
}

TEST(ScriptServiceMissing, AServiceThatDoesNotExistIsTrue) {
  for (const char* verb : {"'start'", "'stop'", "'restart'"}) {
    SCOPED_TRACE(verb);
    EXPECT_TRUE(RunBool(std::string("return Lua_SCM('KWNoSuchServiceAnywhere', ") + verb + ")"));
  }
}

TEST_F(ScriptService, AServiceThatNeverGetsThereEndsTheWait) {
  Install(L"stuck");
  // The same wait as Lua_SCM's, with limits short enough for a test.
  const kw::ServiceWaitLimits limits{2, 500, 3000};
  EXPECT_FALSE(kw::ControlServiceByVerb(name, L"start", limits));
  EXPECT_EQ(Status().dwCurrentState, static_cast<DWORD>(SERVICE_START_PENDING));
}

// What a caller relies on, whatever the multiple: the wait stays within its
// bounds, grows with the hint, never wraps for a huge hint, and gives a
// service at least its own hint while the bounds allow.
TEST(ServiceWaitLimits, GrowWithTheHintWithinTheBoundsAndNeverWrap) {
  const kw::ServiceWaitLimits limits{10, 30000, 300000};
  DWORD previous = 0;
  for (const DWORD hint : {0ul, 1ul, 999ul, 2000ul, 3001ul, 5000ul, 29999ul, 30000ul, 299999ul, 300000ul, 429496729ul,
                           429496730ul, 0x7FFFFFFFul, 0xFFFFFFFEul, 0xFFFFFFFFul}) {
    SCOPED_TRACE(hint);
    const DWORD limit = kw::ServiceProgressLimitMs(hint, limits);
    EXPECT_GE(limit, 30000u);
    EXPECT_LE(limit, 300000u);
    EXPECT_GE(limit, previous) << "a longer hint never shortens the wait";
    EXPECT_GE(limit, std::min<DWORD>(hint, 300000u)) << "at least the hint itself";
    previous = limit;
  }
  EXPECT_EQ(kw::ServiceProgressLimitMs(0xFFFFFFFF, limits), 300000u);
}

}  // namespace
