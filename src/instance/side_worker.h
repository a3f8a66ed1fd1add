// SideWorker: one job at a time on a thread of its own, so that the capture
// thread draws the preview while it copies the same frame out.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/threading.h"

namespace zirvo {

class SideWorker {
 public:
  SideWorker() = default;
  SideWorker(const SideWorker&) = delete;
  SideWorker& operator=(const SideWorker&) = delete;
  // Finishes the job begun last, then ends the thread.
  ~SideWorker();

  // Runs `job` on the worker, whose thread starts with the first job; runs it
  // here when no thread can be started. A job begun must be finished before
  // the next one begins.
  void Begin(std::function<void()> job);
  // Returns once the job begun last has returned.
  void Finish();

 private:
  void Loop();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::function<void()> job_;  // guarded by mutex_; taken by the worker
  bool busy_ = false;          // guarded by mutex_; from Begin until the job returned
  bool quit_ = false;          // guarded by mutex_
  bool started_ = false;       // the owner's thread only
  std::unique_ptr<platform::Thread> thread_;
};

// Finishes the job begun on `worker` when it leaves scope, whatever way.
class SideJob {
 public:
  SideJob(SideWorker& worker, std::function<void()> job) : worker_(worker) { worker_.Begin(std::move(job)); }
  ~SideJob() { worker_.Finish(); }
  SideJob(const SideJob&) = delete;
  SideJob& operator=(const SideJob&) = delete;

 private:
  SideWorker& worker_;
};

}  // namespace zirvo
