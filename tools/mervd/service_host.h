#pragma once
// Running mervd under the system's service manager. On Windows
// (service_host_win32.cpp) `mervd --service` connects to the service control
// manager, reports the service running, and turns a stop or shut-down
// control into `stop`; on POSIX (service_host_posix.cpp) systemd runs mervd
// as an ordinary process, so `run` is simply called.
#include <functional>

/// Runs `run` as the service; `stop` must make it return. Returns its exit code.
int RunAsService(const std::function<int()>& run, const std::function<void()>& stop);

/// The configuration file used when none is given.
const char* DefaultConfigPath();
