#include "transport/com_layer.h"

#include <algorithm>
#include <array>
#include <thread>

namespace {

// Index = the library's baud code.
constexpr std::array<std::int32_t, 20> BaudRates{50,   75,   110,  134,   150,   300,   600,    1200,   1800,   2400,
                                                 4800, 7200, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};

}  // namespace

int BaudCodeOf(std::int32_t bitsPerSecond) {
  for (std::size_t code = 0; code < BaudRates.size(); ++code) {
    if (BaudRates[code] == bitsPerSecond) return static_cast<int>(code);
  }
  return -1;
}

std::int32_t BaudRateOfCode(int code) {
  if (code < 0 || code >= static_cast<int>(BaudRates.size())) return 0;
  return BaudRates[static_cast<std::size_t>(code)];
}

std::optional<TLineFormat> DecodeLineMode(int mode) {
  if (mode < 0 || mode > 0x3F) return std::nullopt;
  TLineFormat format;
  switch (mode & 0x38) {
    case 0x00:
      format.Parity = 'N';
      break;
    case 0x08:
      format.Parity = 'O';
      break;
    case 0x18:
      format.Parity = 'E';
      break;
    case 0x28:
      format.Parity = 'M';
      break;
    case 0x38:
      format.Parity = 'S';
      break;
    default:
      return std::nullopt;
  }
  format.DataBits = 5 + (mode & 3);
  format.StopBits = (mode & 4) != 0 ? 2 : 1;
  return format;
}

std::int32_t OutputDrainTime(std::int32_t queuedBytes, std::int32_t bitsPerSecond) {
  constexpr std::int64_t BitsPerByte = 11;  // start, eight data, parity, stop: the longest frame
  const std::int64_t bytes = std::max<std::int32_t>(queuedBytes, 0);
  const std::int64_t onLine =
      bitsPerSecond > 0 ? (bytes * BitsPerByte * 1000 + bitsPerSecond - 1) / bitsPerSecond : MaxOutputDrainMs;
  return static_cast<std::int32_t>(std::min<std::int64_t>(OutputDrainAllowanceMs + onLine, MaxOutputDrainMs));
}

std::chrono::steady_clock::time_point TComLayer::Now() const { return std::chrono::steady_clock::now(); }

void TComLayer::Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(std::max(ms, 0))); }
