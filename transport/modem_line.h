#pragma once
// TModemLine: the dial-up modem's line as the run of a command (or the
// resident mode, across its commands) holds it: the open port of the modem
// slot, what the modem is doing, what it said when dialling failed, the
// escape character and guard time learnt from it, and the settings the line
// runs with.
//
// Ownership: whoever runs the commands creates the modem line and passes it
// down; the line owns its port. The line's settings are its own copy of the
// last modem command's settings, so that the open port and the transfer
// window never point at settings a finished command has destroyed; the
// object therefore neither moves nor copies.
#include <chrono>
#include <memory>
#include <string>

#include "transport/nastaveni.h"
#include "transport/port.h"

namespace ModemStates {
inline constexpr int Initial = 0;
inline constexpr int HungUp = 1;
inline constexpr int Dialling = 2;
inline constexpr int Connected = 3;
inline constexpr int Failed = 5;
}  // namespace ModemStates

inline constexpr char DefaultEscapeChar = '+';
inline constexpr std::chrono::milliseconds DefaultGuardTime{1000};

class TModemLine {
public:
  TModemLine() = default;
  TModemLine(const TModemLine&) = delete;
  TModemLine& operator=(const TModemLine&) = delete;

  /// The port of the modem line, or none.
  TPort* Port() const { return port_.get(); }
  /// Takes `port` (opened on the modem line's settings, or about to be) as
  /// the line's port.
  void Adopt(std::unique_ptr<TPort> port) { port_ = std::move(port); }
  /// Gives the port up; the line has none afterwards.
  std::unique_ptr<TPort> Release() { return std::move(port_); }

  /// One of ModemStates.
  int State() const { return state_; }
  /// The failure that goes with ModemStates::Failed; empty otherwise.
  const std::string& Message() const { return message_; }
  void SetState(int state, const std::string& message = {});

  /// The modem's escape character (one character).
  const std::string& EscapeChar() const { return escapeChar_; }
  void SetEscapeChar(char escape) { escapeChar_.assign(1, escape); }
  /// The quiet before and after the escape sequence.
  std::chrono::milliseconds GuardTime() const { return guardTime_; }
  void SetGuardTime(std::chrono::milliseconds guardTime) { guardTime_ = guardTime; }
  /// Forgets what was learnt from the modem.
  void ForgetModemValues();

  /// The settings the modem line runs with: a copy of the last modem
  /// command's settings. Its address never changes.
  const TNastaveni& Settings() const { return settings_; }
  /// Copies `settings` into Settings() and points an existing port at that copy.
  void AdoptSettings(const TNastaveni& settings);

  /// True when transfers go through the open modem line.
  bool InUse() const;

private:
  std::unique_ptr<TPort> port_;
  int state_ = ModemStates::Initial;
  std::string message_;
  std::string escapeChar_ = std::string(1, DefaultEscapeChar);
  std::chrono::milliseconds guardTime_ = DefaultGuardTime;
  TNastaveni settings_ = TNastaveni::CommandDefaults();
};
