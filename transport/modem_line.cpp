#include "transport/modem_line.h"

void TModemLine::SetState(int state, const std::string& message) {
  state_ = state;
  message_ = message;
}

void TModemLine::ForgetModemValues() {
  escapeChar_.assign(1, DefaultEscapeChar);
  guardTime_ = DefaultGuardTime;
}

void TModemLine::AdoptSettings(const TNastaveni& settings) {
  settings_ = settings;
  if (port_) port_->SetSettings(settings_);
}

bool TModemLine::InUse() const { return state_ == ModemStates::Connected && port_ && port_->Opened(); }
