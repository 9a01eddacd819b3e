#include "dialog/dialog_script.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "script/engine.h"

namespace kw {
namespace {

// Holds the script state on another thread, as the install worker does for
// a whole event, until released.
class BusyState {
 public:
  BusyState() : worker_([this] {
      auto lock = QRVScriptEngine::Instance().LockState();
      std::unique_lock<std::mutex> guard(mutex_);
      held_ = true;
      changed_.notify_all();
      changed_.wait(guard, [this] { return released_; });
    }) {
    std::unique_lock<std::mutex> guard(mutex_);
    changed_.wait(guard, [this] { return held_; });
  }
  void Release() {
    {
      std::lock_guard<std::mutex> guard(mutex_);
      released_ = true;
    }
    changed_.notify_all();
    worker_.join();
  }
  ~BusyState() {
    if (worker_.joinable()) Release();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool held_ = false;
  bool released_ = false;
  std::thread worker_;
};

TEST(DialogScript, TheWindowThreadNeverWaitsForARunningEvent) {
  QRVScriptEngine& engine = QRVScriptEngine::Instance();
  engine.SetGlobalString("kw_dialog_text", L"before");
  engine.SetGlobalNumber("global_install_progress_pos", 0);

  BusyState busy;
  // Reads answer the missing value at once instead of waiting.
  EXPECT_EQ(DialogScript::ReadString("kw_dialog_text"), L"");
  EXPECT_FALSE(DialogScript::ReadBool("kw_dialog_text"));
  // Writes are kept for later.
  DialogScript::Write("global_install_progress_pos", 42.0);
  DialogScript::Write("kw_dialog_text", std::wstring(L"after"));
  EXPECT_FALSE(DialogScript::Flush());
  busy.Release();

  EXPECT_TRUE(DialogScript::Flush());
  EXPECT_EQ(engine.GetGlobalInteger("global_install_progress_pos"), 42);
  EXPECT_EQ(DialogScript::ReadString("kw_dialog_text"), L"after");
}

TEST(DialogScript, ReadsSeeTheirOwnEarlierWrites) {
  DialogScript::Write("kw_dialog_flag", true);
  EXPECT_TRUE(DialogScript::ReadBool("kw_dialog_flag"));
  DialogScript::Write("kw_dialog_number", 163.0);
  EXPECT_EQ(DialogScript::ReadInteger("kw_dialog_number"), 163);
}

}  // namespace
}  // namespace kw
