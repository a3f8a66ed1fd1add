// SideWorker: a job handed to a waiting thread and waited for.
#include "instance/side_worker.h"

#include <utility>

namespace zirvo {

SideWorker::~SideWorker() {
  Finish();
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  if (thread_) thread_->Join();
}

void SideWorker::Begin(std::function<void()> job) {
  if (!started_) {
    started_ = true;
    auto thread = std::make_unique<platform::Thread>();
    if (thread->Start([this] { Loop(); })) thread_ = std::move(thread);
  }
  if (!thread_) {
    job();
    return;
  }
  {
    std::lock_guard lock(mutex_);
    job_ = std::move(job);
    busy_ = true;
  }
  wake_.notify_all();
}

void SideWorker::Finish() {
  if (!thread_) return;
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return !busy_; });
}

void SideWorker::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return quit_ || job_; });
    if (!job_) return;  // told to end with nothing left to do
    std::function<void()> job = std::move(job_);
    job_ = nullptr;
    lock.unlock();
    job();
    lock.lock();
    busy_ = false;
    wake_.notify_all();
  }
}

}  // namespace zirvo
