#include "transport/modem_form.h"

#include <cstdio>

#include "base/platform.h"
#include "base/process_values.h"
#include "base/code_page.h"

TModemForm::TModemForm(bool minimized) : onTerminal_(!minimized && StandardErrorIsTerminal()) {}

TModemForm::~TModemForm() { Hide(); }

void TModemForm::Show(const std::string& popisLabel) {
  if (!onTerminal_) return;
  std::fprintf(stderr, "\r\033[K%s: %s", Cp1250ToUtf8(ProgramCaption()).c_str(), Cp1250ToUtf8(popisLabel).c_str());
  std::fflush(stderr);
  visible_ = true;
}

void TModemForm::Hide() {
  if (!visible_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  visible_ = false;
}
