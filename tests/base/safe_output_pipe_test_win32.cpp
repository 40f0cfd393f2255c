// A named pipe given as an output's name is written in place. A reader that
// stops reading must not hold the write past the run's limit or a stop
// request; a reader that reads gets every byte.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "base/communication_log.h"
#include "base/run_context.h"
#include "base/safe_output_file.h"
#include "base/stop_request.h"

namespace {

// The server end of a one-instance byte pipe with a small buffer.
class TPipeServer {
public:
  TPipeServer() {
    static std::atomic<int> counter{0};
    name_ = "\\\\.\\pipe\\merv-safe-output-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
    pipe_ = CreateNamedPipeA(name_.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 4096, 0, nullptr);
  }
  ~TPipeServer() {
    if (pipe_ != INVALID_HANDLE_VALUE) CloseHandle(pipe_);
  }
  TPipeServer(const TPipeServer&) = delete;
  TPipeServer& operator=(const TPipeServer&) = delete;

  bool Made() const { return pipe_ != INVALID_HANDLE_VALUE; }
  const std::string& Name() const { return name_; }
  /// Ends the client's connection: a write still waiting then fails.
  void Disconnect() { DisconnectNamedPipe(pipe_); }

  /// Lets a reader waiting for a client go on: a client comes and leaves.
  void ConnectAndLeave() {
    const HANDLE client = CreateFileA(name_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (client != INVALID_HANDLE_VALUE) CloseHandle(client);
  }

  /// Reads until the client closes its end.
  std::string ReadAll() {
    ConnectNamedPipe(pipe_, nullptr);
    std::string received;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe_, buffer, sizeof buffer, &got, nullptr) && got > 0) received.append(buffer, got);
    return received;
  }

private:
  std::string name_;
  HANDLE pipe_ = INVALID_HANDLE_VALUE;
};

// Disconnects the pipe if the test is still waiting after `patience`, so that
// a write that ignores its limit fails the test instead of hanging it.
class TWatchdog {
public:
  TWatchdog(TPipeServer& server, std::chrono::seconds patience)
      : thread_([this, &server, patience] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (!done_.wait_for(lock, patience, [this] { return finished_; })) server.Disconnect();
        }) {}
  ~TWatchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      finished_ = true;
    }
    done_.notify_one();
    thread_.join();
  }
  TWatchdog(const TWatchdog&) = delete;
  TWatchdog& operator=(const TWatchdog&) = delete;

private:
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
  std::thread thread_;
};

TEST(SafeOutputPipe, WhoseReaderNeverReadsFailsAtTheLimitOrAStop) {
  TCommunicationLog log;
  TRunContext run({}, log);
  run.SetInPlaceWriteLimit(std::chrono::milliseconds(300));
  for (const bool stop : {false, true}) {
    TPipeServer server;
    ASSERT_TRUE(server.Made());
    if (stop) RequestStop();
    TWatchdog watchdog(server, std::chrono::seconds(20));
    try {
      WriteFileSafely(server.Name(), std::string(1 << 20, 'x'));
      ADD_FAILURE() << "a megabyte went into a pipe nobody reads";
    } catch (const std::system_error& failure) {
      EXPECT_EQ(failure.code().value(), stop ? ERROR_OPERATION_ABORTED : ERROR_TIMEOUT)
          << "stop " << stop << ": " << failure.what();
    }
    ClearStopRequest();
  }
}

TEST(SafeOutputPipe, WhoseReaderReadsGetsEveryByte) {
  TCommunicationLog log;
  TRunContext run({}, log);
  run.SetInPlaceWriteLimit(std::chrono::milliseconds(30000));
  TPipeServer server;
  ASSERT_TRUE(server.Made());
  std::string contents(300000, '\0');
  for (std::size_t i = 0; i < contents.size(); ++i) contents[i] = static_cast<char>('a' + i % 23);
  std::string received;
  std::thread reader([&] { received = server.ReadAll(); });
  try {
    WriteFileSafely(server.Name(), contents);
  } catch (const std::system_error& failure) {
    ADD_FAILURE() << failure.what();
    server.ConnectAndLeave();
  }
  reader.join();
  EXPECT_EQ(received.size(), contents.size());
  EXPECT_TRUE(received == contents) << "the bytes arrived changed";
}

}  // namespace
