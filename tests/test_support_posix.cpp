// The process helpers of the test programs: fork, pipes and signals.
#include "test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "base/process_end_wait.h"

namespace {

std::string ReadAll(int fd) {
  std::string content;
  char buffer[4096];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) break;
    content.append(buffer, static_cast<std::size_t>(got));
  }
  return content;
}

}  // namespace

std::string ReceiveFrom(int fd, std::size_t count, int timeoutMs) {
  std::string got;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (got.size() < count) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd watched{fd, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&watched, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[512];
    const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, count - got.size()));
    if (n <= 0) break;
    got.append(buffer, static_cast<std::size_t>(n));
  }
  return got;
}

void SendTo(int fd, std::string_view bytes) {
  if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
    throw std::runtime_error(std::string("test peer write: ") + std::strerror(errno));
  }
}

void ExecInChild(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                 const std::map<std::string, std::string>& environment, const std::filesystem::path& workingDirectory) {
  for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
  if (!workingDirectory.empty() && chdir(workingDirectory.c_str()) != 0) _exit(126);
  std::vector<std::string> copies = arguments;
  std::string programText = program.string();
  std::vector<char*> argv{programText.data()};
  for (auto& argument : copies) argv.push_back(argument.data());
  argv.push_back(nullptr);
  execv(programText.c_str(), argv.data());
  _exit(127);
}

ProcessResult RunProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                         const std::map<std::string, std::string>& environment,
                         const std::filesystem::path& workingDirectory) {
  const auto outFile = std::filesystem::temp_directory_path() / ("merv-out-" + std::to_string(getpid()));
  const auto errFile = outFile.string() + ".err";
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    ExecInChild(program, arguments, environment, workingDirectory);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ProcessResult result;
  result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  const int out = open(outFile.c_str(), O_RDONLY);
  const int err = open(errFile.c_str(), O_RDONLY);
  result.standardOutput = ReadAll(out);
  result.standardError = ReadAll(err);
  close(out);
  close(err);
  std::filesystem::remove(outFile);
  std::filesystem::remove(errFile);
  return result;
}

BackgroundProcess::BackgroundProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
  int out[2];
  if (pipe(out) != 0) throw std::runtime_error("pipe failed");
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    const int in = open("/dev/null", O_RDONLY);
    dup2(in, 0);
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    ExecInChild(program, arguments);
  }
  close(out[1]);
  for (;;) {
    pollfd watched{out[0], POLLIN, 0};
    if (poll(&watched, 1, 10000) <= 0) break;
    char c = 0;
    if (read(out[0], &c, 1) != 1 || c == '\n') break;
    firstLine_ += c;
  }
  close(out[0]);
}

BackgroundProcess::~BackgroundProcess() { Stop(); }

std::optional<int> BackgroundProcess::ExitWithin(std::chrono::milliseconds limit) {
  if (pid_ <= 0) return std::nullopt;
  return WaitForProcessEnd(pid_, limit, [this]() -> std::optional<int> {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) != pid_) return std::nullopt;
    pid_ = -1;
    return exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  });
}

int BackgroundProcess::Stop() {
  if (pid_ <= 0) return exitStatus_;
  kill(pid_, SIGTERM);
  if (ExitWithin(std::chrono::seconds(5))) return exitStatus_;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
  return exitStatus_ = -1;
}

SimulatedRegister::SimulatedRegister(const std::vector<std::string>& options) {
#ifdef MERVSIM_EXE
  std::vector<std::string> arguments{"--tcp", "0"};
  arguments.insert(arguments.end(), options.begin(), options.end());
  process_ = std::make_unique<BackgroundProcess>(MERVSIM_EXE, arguments);
  const auto colon = process_->FirstLine().rfind(':');
  if (colon == std::string::npos) throw std::runtime_error("mervsim did not start: " + process_->FirstLine());
  port_ = std::stoi(process_->FirstLine().substr(colon + 1));
#else
  (void)options;
  throw std::runtime_error("mervsim is not built");
#endif
}

namespace {

// A file descriptor closed with the object.
class OwnedDescriptor {
public:
  explicit OwnedDescriptor(int fd) : fd_(fd) {}
  ~OwnedDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  OwnedDescriptor(const OwnedDescriptor&) = delete;
  OwnedDescriptor& operator=(const OwnedDescriptor&) = delete;
  int Get() const { return fd_; }

private:
  int fd_;
};

}  // namespace

void SimulatedRegister::AwaitEarlierConnections(const std::filesystem::path& wireLog) const {
  const OwnedDescriptor probe(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port_));
  if (probe.Get() < 0 || connect(probe.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    throw std::runtime_error("cannot connect to mervsim");
  }
  socklen_t length = sizeof address;
  getsockname(probe.Get(), reinterpret_cast<sockaddr*>(&address), &length);
  const std::string taken = "note connection opened from 127.0.0.1:" + std::to_string(ntohs(address.sin_port));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (ReadFileBytes(wireLog).find(taken) == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline) throw std::runtime_error("mervsim did not take the probe");
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}
