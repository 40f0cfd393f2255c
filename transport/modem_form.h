#pragma once
// TModemForm: the small window shown while the modem dials or hangs up. There
// is no window system here: when standard error is a terminal and the command
// does not run minimised, the caption and the label go there as one line;
// otherwise nothing is shown. The line is cleared when the form is hidden or
// destroyed.
#include <string>

class TModemForm {
public:
  explicit TModemForm(bool minimized);
  ~TModemForm();
  TModemForm(const TModemForm&) = delete;
  TModemForm& operator=(const TModemForm&) = delete;

  /// Shows `popisLabel` (code page 1250) under the program's caption.
  void Show(const std::string& popisLabel);
  void Hide();

private:
  bool visible_ = false;
  bool onTerminal_ = false;
};
