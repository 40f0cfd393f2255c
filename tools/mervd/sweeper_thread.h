#pragma once
// TSweeperThread: a thread that runs a sweep at a steady interval until it
// is destroyed. The sweep runs with the owner's mutex held, so it sees the
// owner's state as the owner's other threads leave it.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class TSweeperThread {
public:
  TSweeperThread(std::mutex& mutex, std::chrono::milliseconds interval, std::function<void()> sweep);
  /// Stops the sweeps and waits for the thread: no sweep runs after it.
  ~TSweeperThread();
  TSweeperThread(const TSweeperThread&) = delete;
  TSweeperThread& operator=(const TSweeperThread&) = delete;

private:
  void Run();

  std::mutex& mutex_;
  std::chrono::milliseconds interval_;
  std::function<void()> sweep_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread thread_;
};
