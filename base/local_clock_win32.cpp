#include "base/local_clock.h"

#include <stdexcept>

std::tm LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_s(&local, &now) != 0) throw std::runtime_error("cannot convert the local time");
  return local;
}
