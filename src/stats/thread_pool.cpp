#include "stats/thread_pool.h"

#include <algorithm>

#include "core/handles.h"

namespace kw {

void ThreadPoolImpl::Start() {
  if (running_.exchange(true)) return;
  for (std::uint32_t i = 0; i < workerCount_; ++i) workers_.emplace_back(&ThreadPoolImpl::WorkerLoop, this);
}

void ThreadPoolImpl::AddTask(std::shared_ptr<IThreadTask> task) {
  if (!task) return;
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    task->SetThreadPool(this);
    queue_.push_back(std::move(task));
    ++queued_;
  }
  WakeWorkers(false);
}

void ThreadPoolImpl::WakeWorkers(bool all) {
  // A worker that found nothing to do holds waitMutex_ from its check until
  // it waits; passing through the mutex here means the notification cannot
  // fall between the two.
  { std::lock_guard<std::mutex> lock(waitMutex_); }
  if (all)
    wake_.notify_all();
  else
    wake_.notify_one();
}

std::shared_ptr<IThreadTask> ThreadPoolImpl::TakeNext() {
  std::lock_guard<std::mutex> lock(queueMutex_);
  if (queue_.empty()) return nullptr;
  std::shared_ptr<IThreadTask> task = std::move(queue_.front());
  queue_.pop_front();
  --queued_;
  return task;
}

void ThreadPoolImpl::Stop() {
  if (!running_.exchange(false)) return;
  WakeWorkers(true);

  std::vector<std::shared_ptr<IThreadTask>> runningNow;
  {
    std::lock_guard<std::mutex> lock(runningMutex_);
    runningNow.assign(runningTasks_.begin(), runningTasks_.end());
  }
  for (const auto& task : runningNow) task->Cancel();

  for (std::thread& worker : workers_)
    if (worker.joinable()) worker.join();

  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    queue_.clear();
    queued_ = 0;
  }
  workers_.clear();
}

void ThreadPoolImpl::WorkerLoop(ThreadPoolImpl* pool) {
  // Each undone on the way out only if it took.
  const ComScope com;
  const OleScope ole;
  while (pool->running_.load()) {
    {
      std::unique_lock<std::mutex> lock(pool->waitMutex_);
      pool->wake_.wait(lock, [pool] { return !pool->running_.load() || pool->queued_.load() > 0; });
    }
    if (!pool->running_.load()) break;
    std::shared_ptr<IThreadTask> task = pool->TakeNext();
    if (!task) continue;  // another worker was faster
    {
      std::lock_guard<std::mutex> lock(pool->runningMutex_);
      pool->runningTasks_.push_back(task);
    }
    task->Run();
    {
      std::lock_guard<std::mutex> lock(pool->runningMutex_);
      auto& tasks = pool->runningTasks_;
      tasks.erase(std::find(tasks.begin(), tasks.end(), task));
    }
  }
}

}  // namespace kw
