// The process handle is signalled when the process ends.
#include <windows.h>

#include <algorithm>

#include "base/process_end_wait.h"

namespace {

/// The pause where the process cannot be opened.
constexpr DWORD PollStepMs = 2;
/// The longest single wait; a longer limit is waited in turns.
constexpr long long LongestWaitMs = 60'000;

}  // namespace

void AwaitProcessEnd(long processId, std::chrono::milliseconds limit) {
  if (limit.count() <= 0) return;
  const auto slice = static_cast<DWORD>(std::min<long long>(limit.count(), LongestWaitMs));
  HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(processId));
  if (process == nullptr) {
    ::Sleep(std::min<DWORD>(slice, PollStepMs));
    return;
  }
  ::WaitForSingleObject(process, slice);
  ::CloseHandle(process);
}
