#include "app/command_turn.h"

#include <cstdio>
#include <thread>

#include "base/stop_request.h"
#include "base/communication_log.h"

namespace {

constexpr std::chrono::milliseconds PollInterval{20};

// A note about the turn; a log that cannot be written here will fail the
// command itself and be reported there, so the note goes to standard error.
void Note(const std::string& text) {
  try {
    LogLine(text);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "MERV Modul: %s (%s)\n", text.c_str(), failure.what());
  }
}

}  // namespace

TCommandTurn::TCommandTurn(const std::string& programDir, std::chrono::milliseconds longestWait) {
  const std::string path = programDir + CommandLockFileName;
  try {
    lock_ = std::make_unique<TExclusiveLockFile>(path);
    WaitForTurn(longestWait);
  } catch (const std::exception& failure) {
    Note(std::string("Zamek slozky nelze pouzit, prikaz bezi bez nej: ") + failure.what());
    lock_.reset();
    mayRun_ = true;
  }
}

TCommandTurn::~TCommandTurn() = default;

void TCommandTurn::WaitForTurn(std::chrono::milliseconds longestWait) {
  if (lock_->TryLock()) {
    mayRun_ = true;
    return;
  }
  Note("Cekam, az skonci jiny prikaz v teto slozce");
  const auto deadline = std::chrono::steady_clock::now() + longestWait;
  while (!StopRequested() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(PollInterval);
    if (lock_->TryLock()) {
      Note("Jiny prikaz skoncil, pokracuji");
      mayRun_ = true;
      return;
    }
  }
  Note(StopRequested() ? "Cekani na jiny prikaz preruseno" : "Jiny prikaz v teto slozce neskoncil vcas");
}
