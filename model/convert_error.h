#pragma once
// The conversion failure of the whole program: a text that should hold a
// number does not, or a packed decimal field holds a half-byte above 9. It
// carries no error number; when it reaches the command processor it is
// reported as the unnumbered failure (error 10).
#include <stdexcept>
#include <string>
#include <string_view>

class EConvertError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

/// "'" + text + "' is not a valid integer value".
inline std::string InvalidIntegerMessage(std::string_view text) {
  std::string message = "'";
  message.append(text);
  message += "' is not a valid integer value";
  return message;
}

[[noreturn]] inline void RaiseInvalidInteger(std::string_view text) {
  throw EConvertError(InvalidIntegerMessage(text));
}
