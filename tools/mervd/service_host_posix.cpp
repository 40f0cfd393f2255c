#include "tools/mervd/service_host.h"

int RunAsService(const std::function<int()>& run, const std::function<void()>&) { return run(); }

const char* DefaultConfigPath() { return "/etc/mervd.conf"; }
