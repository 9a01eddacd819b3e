#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

extern "C" {
#include <lua.h>
}

#include "core/handles.h"
#include "installer/install_mgr.h"
#include "script/deferred_globals.h"
#include "script/engine.h"
#include "script_runner.h"

namespace {

using kw::DeferredGlobals;
using kw::QRVScriptEngine;

using kwtest::RunScript;

// Native function for the test script: holds the running event until the
// window-side thread says it is done (or a generous safety timeout passes).
kw::UniqueHandle g_windowSideDone;
std::atomic<bool> g_eventRunning{false};
int WaitForWindowSide(lua_State*) {
  g_eventRunning = true;
  const DWORD waited = WaitForSingleObject(g_windowSideDone.Get(), 30000);
  g_eventRunning = false;
  lua_pushboolean(QRVScriptEngine::Instance().State(), waited == WAIT_OBJECT_0);
  return 1;
}

TEST(DeferredGlobals, WindowThreadNeverWaitsForARunningEventAndItsWritesLandAfterIt) {
  g_windowSideDone.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  {
    auto lock = QRVScriptEngine::Instance().LockState();
    lua_register(QRVScriptEngine::Instance().State(), "wait_for_window_side", &WaitForWindowSide);
  }
  RunScript("global_install_progress_pos = -1 "
      "function QRVSE_OnInstall() "
      "  seen_during_event = global_install_progress_pos "
      "  released = wait_for_window_side() "
      "  seen_at_event_end = global_install_progress_pos "
      "end "
      "function QRVSE_BeforeComplete() seen_next_event = global_install_progress_pos end");

  std::thread worker([] {
    kw::CInstallMgr::Instance().OnInstall();
    kw::CInstallMgr::Instance().BeforeComplete();
  });
  while (!g_eventRunning) Sleep(1);

  // The window thread's reads and writes during the event: none of them may
  // wait for the event, or it would never end (it waits for us).
  std::wstring value;
  bool anyReadSucceeded = false;
  for (int tick = 0; tick <= 100; ++tick) {
    DeferredGlobals::Instance().Post("global_install_progress_pos", static_cast<double>(tick));
    anyReadSucceeded |= DeferredGlobals::Instance().TryReadString("global_app_id", value);
  }
  DeferredGlobals::Instance().Post("InstallPath", std::wstring(L"D:\\路径"));
  EXPECT_TRUE(g_eventRunning) << "the event is still running: nothing above waited for it";
  EXPECT_FALSE(anyReadSucceeded) << "reads are refused while the state is busy";
  EXPECT_TRUE(DeferredGlobals::Instance().HasPending());
  SetEvent(g_windowSideDone.Get());
  worker.join();

  QRVScriptEngine& engine = QRVScriptEngine::Instance();
  EXPECT_TRUE(engine.GetGlobalBool("released"));
  EXPECT_EQ(engine.GetGlobalInteger("seen_during_event"), -1);
  EXPECT_EQ(engine.GetGlobalInteger("seen_at_event_end"), -1) << "no write lands inside a running script";
  EXPECT_EQ(engine.GetGlobalInteger("seen_next_event"), 100) << "the latest write lands before the next event";
  EXPECT_EQ(engine.GetGlobalString("InstallPath"), L"D:\\路径");
  EXPECT_FALSE(DeferredGlobals::Instance().HasPending());
  g_windowSideDone.Reset();
  RunScript("QRVSE_OnInstall = nil QRVSE_BeforeComplete = nil");
}

TEST(DeferredGlobals, AppliesAtOnceWhenTheStateIsFree) {
  DeferredGlobals::Instance().Post("deferred_now", true);
  EXPECT_FALSE(DeferredGlobals::Instance().HasPending());
  EXPECT_TRUE(QRVScriptEngine::Instance().GetGlobalBool("deferred_now"));
  std::wstring value;
  RunScript("deferred_text = 'ok'");
  ASSERT_TRUE(DeferredGlobals::Instance().TryReadString("deferred_text", value));
  EXPECT_EQ(value, L"ok");
}

TEST(InstallManager, EventsFromTwoThreadsNeverOverlap) {
  RunScript("depth = 0 max_depth = 0 calls = 0 "
      "local function busy() local t = os.clock() while os.clock() - t < 0.005 do end end "
      "local function enter() depth = depth + 1 if depth > max_depth then max_depth = depth end calls = calls + 1 end "
      "function QRVSE_BeforeInstall() enter() busy() depth = depth - 1 end "
      "function QRVSE_AfterComplete() enter() busy() depth = depth - 1 end");
  auto hammer = [](void (kw::CInstallMgr::*event)()) {
    for (int i = 0; i < 40; ++i) (kw::CInstallMgr::Instance().*event)();
  };
  std::thread a(hammer, &kw::CInstallMgr::BeforeInstall);
  std::thread b(hammer, &kw::CInstallMgr::AfterComplete);
  a.join();
  b.join();
  QRVScriptEngine& engine = QRVScriptEngine::Instance();
  EXPECT_EQ(engine.GetGlobalInteger("calls"), 80);
  EXPECT_EQ(engine.GetGlobalInteger("max_depth"), 1);
  RunScript("QRVSE_BeforeInstall = nil QRVSE_AfterComplete = nil");
}

}  // namespace
