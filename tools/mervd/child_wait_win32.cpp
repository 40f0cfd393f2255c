// The process handle is signalled when the process ends.
#include <windows.h>

#include <algorithm>

#include "tools/mervd/child_wait.h"

std::optional<TChildEnd> WaitForChildEnd(TChildProcess& child, std::chrono::milliseconds limit) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + limit;
  HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(child.Id()));
  while (true) {
    if (auto end = child.Poll()) {
      if (process != nullptr) ::CloseHandle(process);
      return end;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    const DWORD slice = static_cast<DWORD>(std::min<long long>(left.count(), 60'000));
    if (process != nullptr) {
      ::WaitForSingleObject(process, slice);
    } else {
      ::Sleep(std::min<DWORD>(slice, 2));
    }
  }
  if (process != nullptr) ::CloseHandle(process);
  return std::nullopt;
}
