// The task pool: order, one-at-a-time running, stop semantics and wake-ups.
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/handles.h"
#include "stats/thread_pool.h"

namespace {

using kw::EasyTask0;
using kw::ThreadPoolImpl;

constexpr auto kPatience = std::chrono::seconds(20);

// What the tasks did, in order, with a wait that gives up instead of hanging.
class Journal {
 public:
  void Add(int value) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      values_.push_back(value);
    }
    changed_.notify_all();
  }
  bool WaitForCount(std::size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kPatience, [&] { return values_.size() >= count; });
  }
  std::vector<int> Values() {
    std::lock_guard<std::mutex> lock(mutex_);
    return values_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<int> values_;
};

// Ends the whole test program when a test hangs (a worker that missed a
// wake-up never returns, and neither does the Stop that joins it), so the
// suite reports a failure at once instead of waiting for its time limit.
// A hang is a round that does not end: every finished round re-arms the
// limit, so a slow machine (an emulated one takes many times longer
// to start a thread) is not taken for a hung one.
class Watchdog {
 public:
  explicit Watchdog(DWORD limitMs)
      : done_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), progress_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    thread_ = std::thread([this, limitMs] {
      const HANDLE events[] = {done_.Get(), progress_.Get()};
      DWORD woke;
      while ((woke = WaitForMultipleObjects(2, events, FALSE, limitMs)) == WAIT_OBJECT_0 + 1) {
      }
      if (woke == WAIT_TIMEOUT) {
        std::fprintf(stderr, "hung: %s\n", testing::UnitTest::GetInstance()->current_test_info()->name());
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
      }
    });
  }
  ~Watchdog() {
    SetEvent(done_.Get());
    thread_.join();
  }
  void RoundDone() const { SetEvent(progress_.Get()); }

 private:
  kw::UniqueHandle done_;
  kw::UniqueHandle progress_;
  std::thread thread_;
};

std::shared_ptr<EasyTask0> Record(Journal& journal, int value) {
  return std::make_shared<EasyTask0>([&journal, value] { journal.Add(value); });
}

std::vector<int> Range(int count) {
  std::vector<int> values;
  for (int i = 0; i < count; ++i) values.push_back(i);
  return values;
}

TEST(ThreadPool, TasksAddedBeforeStartRunInOrderAfterIt) {
  Journal journal;
  ThreadPoolImpl pool;
  EXPECT_TRUE(pool.IsStopped());
  for (int i = 0; i < 5; ++i) pool.AddTask(Record(journal, i));
  EXPECT_TRUE(journal.Values().empty()) << "no worker exists before Start";
  pool.Start();
  EXPECT_FALSE(pool.IsStopped());
  ASSERT_TRUE(journal.WaitForCount(5));
  EXPECT_EQ(journal.Values(), Range(5));
}

TEST(ThreadPool, OneWorkerRunsTasksOneAfterAnotherInOrderOnItsThread) {
  Journal journal;
  std::atomic<int> active{0}, mostActive{0};
  std::mutex threadsMutex;
  std::vector<DWORD> threads;
  ThreadPoolImpl pool;
  pool.Start();
  constexpr int kTasks = 40;
  for (int i = 0; i < kTasks; ++i) {
    pool.AddTask(std::make_shared<EasyTask0>([&, i] {
      const int now = ++active;
      int seen = mostActive.load();
      while (now > seen && !mostActive.compare_exchange_weak(seen, now)) {
      }
      Sleep(i % 3);  // give an overlap a chance to show
      {
        std::lock_guard<std::mutex> lock(threadsMutex);
        threads.push_back(GetCurrentThreadId());
      }
      --active;
      journal.Add(i);
    }));
  }
  ASSERT_TRUE(journal.WaitForCount(kTasks));
  EXPECT_EQ(journal.Values(), Range(kTasks));
  EXPECT_EQ(mostActive.load(), 1);
  ASSERT_EQ(threads.size(), static_cast<std::size_t>(kTasks));
  for (DWORD thread : threads) EXPECT_EQ(thread, threads.front());
  EXPECT_NE(threads.front(), GetCurrentThreadId());
}

TEST(ThreadPool, WorkersRunWithComInitialisedAsSingleThreadedApartments) {
  Journal journal;
  std::atomic<HRESULT> seen{E_FAIL};
  ThreadPoolImpl pool(3);
  pool.Start();
  pool.AddTask(std::make_shared<EasyTask0>([&] {
    {
      const kw::ComScope com(COINIT_APARTMENTTHREADED);
      seen = com.Result();
    }
    journal.Add(0);
  }));
  ASSERT_TRUE(journal.WaitForCount(1));
  EXPECT_EQ(seen.load(), S_FALSE) << "the worker had initialised COM already";
}

TEST(ThreadPool, StopWaitsForTheRunningTaskAndDropsQueuedOnes) {
  Journal journal;
  const kw::UniqueHandle started(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const kw::UniqueHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ThreadPoolImpl pool;
  pool.AddTask(std::make_shared<EasyTask0>([&] {
    SetEvent(started.Get());
    WaitForSingleObject(release.Get(), 20000);
    journal.Add(1);  // the task's end
  }));
  pool.AddTask(Record(journal, 99));
  pool.Start();
  ASSERT_EQ(WaitForSingleObject(started.Get(), 20000), WAIT_OBJECT_0);

  std::thread stopper([&] {
    pool.Stop();
    journal.Add(2);  // Stop returned
  });
  // Stop has begun (the flag drops first) while the task still runs.
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (!pool.IsStopped() && std::chrono::steady_clock::now() < deadline) Sleep(1);
  ASSERT_TRUE(pool.IsStopped());
  SetEvent(release.Get());
  stopper.join();

  EXPECT_EQ(journal.Values(), (std::vector<int>{1, 2}));
}

TEST(ThreadPool, StopOfAStoppedPoolKeepsQueuedTasksForTheNextStart) {
  Journal journal;
  ThreadPoolImpl pool;
  pool.AddTask(Record(journal, 0));
  pool.Stop();  // never started: nothing happens, the task stays queued
  pool.Start();
  ASSERT_TRUE(journal.WaitForCount(1));

  pool.Stop();
  pool.AddTask(Record(journal, 1));  // queued while stopped
  pool.Stop();                       // a second Stop: nothing happens
  EXPECT_TRUE(pool.IsStopped());
  pool.Start();
  ASSERT_TRUE(journal.WaitForCount(2));
  EXPECT_EQ(journal.Values(), (std::vector<int>{0, 1}));
}

TEST(ThreadPool, IdleWorkersNeverMissATaskOrAStop) {
  // A lost wake-up leaves a task or a Stop waiting forever: every wait below
  // gives up after a while instead, and fails the test.
  const Watchdog watchdog(30000);
  ThreadPoolImpl pool(2);
  for (int round = 0; round < 300; ++round) {
    Journal journal;
    pool.Start();
    if (round % 3 == 1) Sleep(0);  // let the workers reach their wait
    std::thread adder([&] { pool.AddTask(Record(journal, round)); });
    adder.join();
    ASSERT_TRUE(journal.WaitForCount(1)) << "round " << round;
    pool.Stop();
    watchdog.RoundDone();
  }
}

TEST(ThreadPool, AddsRacingWithStopNeverHangAndTheRestStaysUsable) {
  const Watchdog watchdog(30000);
  for (int round = 0; round < 100; ++round) {
    std::atomic<int> ran{0};
    ThreadPoolImpl pool(1 + round % 3);
    pool.Start();
    std::thread adder([&] {
      for (int i = 0; i < 20; ++i) pool.AddTask(std::make_shared<EasyTask0>([&] { ++ran; }));
    });
    pool.Stop();
    adder.join();
    EXPECT_TRUE(pool.IsStopped());
    // A stopped pool runs nothing.
    const int whileStopped = ran.load();
    Sleep(5);
    EXPECT_EQ(ran.load(), whileStopped) << "round " << round;

    // Tasks added while it is stopped run after the next Start, and a new
    // task too.
    std::atomic<int> late{0};
    for (int i = 0; i < 5; ++i) pool.AddTask(std::make_shared<EasyTask0>([&] { ++late; }));
    Sleep(1);
    EXPECT_EQ(late.load(), 0) << "round " << round;
    Journal journal;
    pool.Start();
    pool.AddTask(Record(journal, round));
    ASSERT_TRUE(journal.WaitForCount(1)) << "round " << round;
    for (int wait = 0; wait < 500 && late.load() < 5; ++wait) Sleep(10);
    EXPECT_EQ(late.load(), 5) << "round " << round;
    EXPECT_LE(ran.load(), 20) << "none ran twice";
    watchdog.RoundDone();
  }  // destruction stops the pool
}

}  // namespace
