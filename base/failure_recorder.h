#pragma once
// The first failure of one command: its number, which "error.dat" shows, and
// its text, which "error.json" shows. Later failures of the same command are
// logged by the code that meets them but change nothing here. How a raised
// failure becomes a number and a text is the error type's (kom_error.h:
// RecordFailure).
#include <string>
#include <utility>

class TFailureRecorder {
public:
  /// Records `number` (not 0) and `text` when nothing was recorded before.
  void Record(int number, std::string text) {
    if (Failed()) return;
    number_ = number;
    text_ = std::move(text);
  }

  bool Failed() const { return number_ != 0; }
  /// 0 while nothing failed.
  int Number() const { return number_; }
  /// The first failure's text without its "#nn:"; empty while nothing failed.
  /// The module's own texts are code page 1250, a system's message (with the
  /// names in it) is as the system gives it, UTF-8.
  const std::string& Text() const { return text_; }

private:
  int number_ = 0;
  std::string text_;
};
