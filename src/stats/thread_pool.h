// A small pool of worker threads running queued tasks in arrival order, so
// that the caller (the install dialog) never waits for them.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kw {

class IThreadPool {
 public:
  virtual bool IsStopped() = 0;
  virtual ~IThreadPool() = default;
};

// Tasks are owned by shared pointers made together with the object, so the
// right destructor runs without a virtual one here.
class IThreadTask {
 public:
  virtual void SetThreadPool(IThreadPool* pool) = 0;
  virtual void Cancel() = 0;
  virtual void Run() = 0;

 protected:
  ~IThreadTask() = default;
};

class ThreadPoolImpl : public IThreadPool {
 public:
  explicit ThreadPoolImpl(std::uint32_t workerCount = 1) : workerCount_(workerCount) {}
  ~ThreadPoolImpl() override { Stop(); }
  ThreadPoolImpl(const ThreadPoolImpl&) = delete;
  ThreadPoolImpl& operator=(const ThreadPoolImpl&) = delete;

  // Creates the workers unless they run already.
  void Start();
  // Queues a task; allowed before Start, it then waits for the workers.
  void AddTask(std::shared_ptr<IThreadTask> task);
  // Lets running tasks finish, joins the workers and drops queued tasks.
  // Does nothing on a stopped pool. Not to be called from one of its workers.
  void Stop();
  bool IsStopped() override { return !running_.load(); }

 private:
  static void WorkerLoop(ThreadPoolImpl* pool);
  // Wakes idle workers; they check their condition under waitMutex_.
  void WakeWorkers(bool all);
  std::shared_ptr<IThreadTask> TakeNext();

  std::list<std::shared_ptr<IThreadTask>> runningTasks_;
  std::mutex runningMutex_;
  std::list<std::shared_ptr<IThreadTask>> queue_;
  std::mutex queueMutex_;
  std::mutex waitMutex_;
  std::vector<std::thread> workers_;
  std::atomic<bool> running_{false};
  std::condition_variable wake_;
  std::uint32_t workerCount_ = 1;
  // Mirrors queue_.size(): lets a worker test for work under waitMutex_
  // without taking queueMutex_ as well.
  std::atomic<std::size_t> queued_{0};
};

// A task around a callable taking and returning nothing.
class EasyTask0 final : public IThreadTask {
 public:
  explicit EasyTask0(std::function<void()> callable) : callable_(std::move(callable)) {}
  void SetThreadPool(IThreadPool* pool) override { pool_ = pool; }
  void Cancel() override {}
  void Run() override {
    if (callable_) callable_();
  }

 private:
  IThreadPool* pool_ = nullptr;
  std::function<void()> callable_;
};

}  // namespace kw
