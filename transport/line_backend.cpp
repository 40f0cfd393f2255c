#include "transport/line_backend.h"

#include <algorithm>
#include <limits>
#include <string>

#include "base/communication_log.h"

int MillisecondsLeft(ReadDeadline deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
  return static_cast<int>(std::clamp<decltype(left)>(left, 0, std::numeric_limits<int>::max()));
}

LineResult TLineBackend::ReceiveLogged(std::string& answer, std::size_t count, LineWait wait) {
  const bool logging = LogActive();
  if (logging) LogLine("cteni " + std::to_string(count) + " bytu");
  Receive(answer, count, DeadlineOf(wait));
  if (logging) LogLine("nacteno    " + std::to_string(answer.size()) + " bytu: ", answer);
  return answer.size() == count ? LineResult::Done : LineResult::ShortRead;
}
