#include "tools/mervd/sweeper_thread.h"

#include <utility>

TSweeperThread::TSweeperThread(std::mutex& mutex, std::chrono::milliseconds interval, std::function<void()> sweep)
    : mutex_(mutex), interval_(interval), sweep_(std::move(sweep)), thread_([this] { Run(); }) {}

TSweeperThread::~TSweeperThread() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void TSweeperThread::Run() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    wake_.wait_for(lock, interval_);
    if (!stopping_) sweep_();
  }
}
