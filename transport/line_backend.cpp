#include "transport/line_backend.h"

#include <string>

#include "base/communication_log.h"

LineResult TLineBackend::ReceiveLogged(std::string& answer, std::size_t count, LineWait wait) {
  const bool logging = LogActive();
  if (logging) LogLine("cteni " + std::to_string(count) + " bytu");
  Receive(answer, count, wait);
  if (logging) LogLine("nacteno    " + std::to_string(answer.size()) + " bytu: ", answer);
  return answer.size() == count ? LineResult::Done : LineResult::ShortRead;
}
