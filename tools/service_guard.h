#pragma once
// The work of a Windows service's thread, guarded. The service manager runs
// it on a thread of its own, where an exception would end the process while
// the manager still shows the service running with exit code 0; a failure
// must instead end the service as stopped with a code of its own.
#include <exception>
#include <functional>
#include <string>

/// The service-specific exit code of a service whose work failed.
inline constexpr int ServiceWorkFailed = 1;

/// Runs `work` and returns its exit code. A failure it throws, of whatever
/// kind, is handed to `report` (where the service's failures are said) and
/// gives ServiceWorkFailed.
inline int RunServiceWork(const std::function<int()>& work, const std::function<void(const std::string&)>& report) {
  try {
    return work();
  } catch (const std::exception& failure) {
    report(failure.what());
  } catch (...) {
    report("a failure of unknown kind");
  }
  return ServiceWorkFailed;
}
