// mervsim modem/: the Hayes dial-up modem the emulator can put in front of the register.
#include "tools/mervsim/modem/hayes_modem.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <stdexcept>

#include "tools/mervsim/register/register_emulator.h"
#include "tools/mervsim/line/wire_log.h"

namespace {

constexpr int EscapeRegister = 2;
constexpr int GuardRegister = 12;
constexpr int ReasonRegister = 86;
constexpr int MsPerGuardUnit = 20;
constexpr int EscapeLength = 3;
constexpr char Cr = '\r';

std::string Result(std::string_view text) { return "\r\n" + std::string(text) + "\r\n"; }

std::string Upper(std::string_view text) {
  std::string upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return upper;
}

/// Reads the decimal digits at `at`, moving past them; 0 when there are none.
int DigitsAt(const std::string& text, std::size_t& at) {
  int value = 0;
  while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) && value < 100000) {
    value = value * 10 + (text[at++] - '0');
  }
  return value;
}

std::string ThreeDigits(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%03d", value);
  return text;
}

long long MsBetween(THayesModem::Clock::time_point from, THayesModem::Clock::time_point to) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
}

}  // namespace

TDialAnswer DialAnswerOf(std::string_view name) {
  if (name == "connect") return TDialAnswer::Connect;
  if (name == "busy") return TDialAnswer::Busy;
  if (name == "no-carrier") return TDialAnswer::NoCarrier;
  if (name == "no-dialtone") return TDialAnswer::NoDialtone;
  if (name == "silence") return TDialAnswer::Silence;
  if (name == "mute") return TDialAnswer::Mute;
  if (name == "flood") return TDialAnswer::Flood;
  throw std::invalid_argument("--modem: \"" + std::string(name) +
                              "\" is none of connect, busy, no-carrier, no-dialtone, silence, mute, flood");
}

THayesModem::THayesModem(TRegisterEmulator& emulator, const THayesOptions& options, TWireLog& log, int registerQuietMs)
    : emulator_(emulator),
      options_(options),
      log_(log),
      registerQuietMs_(registerQuietMs),
      registers_{{EscapeRegister, options.S2}, {GuardRegister, options.S12}, {ReasonRegister, options.S86}} {}

int THayesModem::GuardMs() const { return registers_.at(GuardRegister) * MsPerGuardUnit; }

char THayesModem::Escape() const { return static_cast<char>(registers_.at(EscapeRegister)); }

void THayesModem::LineOpened() {
  mode_ = Mode::Command;
  flooding_ = false;
  commandLine_.clear();
  pendingEscapes_ = 0;
  log_.Note("modem line opened");
}

void THayesModem::LineClosed() {
  if (inCall_) EndCall("carrier dropped, the line was closed");
  StopFlood("the line was closed");
  mode_ = Mode::Command;
  log_.Note("modem line closed");
}

std::string THayesModem::Receive(std::string_view bytes, Clock::time_point now) {
  if (options_.DialAnswer == TDialAnswer::Mute) return {};
  if (mode_ == Mode::Data) return ReceiveDataBytes(bytes, now);
  lastReceived_ = now;
  return ReceiveCommandBytes(bytes);
}

std::string THayesModem::ReceiveCommandBytes(std::string_view bytes) {
  std::string reply;
  for (const char byte : bytes) {
    reply += byte;  // echo
    if (byte == Cr) {
      const std::string line = commandLine_;
      commandLine_.clear();
      reply += Execute(line);
      if (mode_ == Mode::Data) break;  // what follows CONNECT is the call's
    } else if (byte != '\n') {
      commandLine_ += byte;
    }
  }
  return reply;
}

// "+++" counts as the escape only with the guard time of quiet before it;
// anything else, or escape characters that turn out not to be one, are data.
std::string THayesModem::ReceiveDataBytes(std::string_view bytes, Clock::time_point now) {
  const bool quietBefore = pendingEscapes_ > 0 || MsBetween(lastReceived_, now) >= GuardMs();
  const bool onlyEscapes = std::all_of(bytes.begin(), bytes.end(), [this](char c) { return c == Escape(); });
  lastReceived_ = now;
  if (quietBefore && onlyEscapes && pendingEscapes_ + static_cast<int>(bytes.size()) <= EscapeLength) {
    pendingEscapes_ += static_cast<int>(bytes.size());
    return {};
  }
  std::string data(static_cast<std::size_t>(pendingEscapes_), Escape());
  pendingEscapes_ = 0;
  data += bytes;
  return ToRegister(data);
}

std::string THayesModem::ToRegister(std::string_view bytes) {
  const TEmulatorAnswer answer = emulator_.Receive(bytes);
  if (!answer.Drop) return answer.Bytes;
  EndCall("carrier dropped by the register");
  mode_ = Mode::Command;
  return answer.Bytes + Result("NO CARRIER");
}

std::string THayesModem::Tick(Clock::time_point now) {
  if (mode_ != Mode::Data) return {};
  const long long quiet = MsBetween(lastReceived_, now);
  if (pendingEscapes_ == EscapeLength && quiet >= GuardMs()) {
    pendingEscapes_ = 0;
    mode_ = Mode::Command;
    log_.Note("modem escape: command mode, the call stays up");
    return Result("OK");
  }
  if (pendingEscapes_ > 0 && pendingEscapes_ < EscapeLength && quiet >= GuardMs()) {
    const std::string data(static_cast<std::size_t>(pendingEscapes_), Escape());
    pendingEscapes_ = 0;
    return ToRegister(data);
  }
  if (pendingEscapes_ == 0 && emulator_.HasPartialFrame() && quiet >= registerQuietMs_) emulator_.LineQuiet();
  return {};
}

int THayesModem::MsUntilDue(Clock::time_point now) const {
  if (mode_ != Mode::Data) return -1;
  long long limit = 0;
  if (pendingEscapes_ > 0) {
    limit = GuardMs();
  } else if (emulator_.HasPartialFrame()) {
    limit = registerQuietMs_;
  } else {
    return -1;
  }
  return static_cast<int>(std::max(0LL, limit - MsBetween(lastReceived_, now)));
}

// One command line: "AT" and its commands, each a letter with digits, "&"
// and a letter with digits, "Sn?" or "Sn=v"; "D" takes the rest as the number.
std::string THayesModem::Execute(const std::string& line) {
  const std::string upper = Upper(line);
  if (!upper.starts_with("AT")) return upper.empty() ? std::string() : Result("ERROR");
  std::string reply;
  for (std::size_t at = 2; at < upper.size();) {
    const char command = upper[at++];
    if (command == ' ') continue;
    if (command == '&') {
      if (at < upper.size()) ++at;
      DigitsAt(upper, at);
    } else if (command == 'S') {
      const int number = DigitsAt(upper, at);
      if (at < upper.size() && upper[at] == '?') {
        ++at;
        reply += Result(ThreeDigits(registers_.contains(number) ? registers_[number] : 0));
      } else if (at < upper.size() && upper[at] == '=') {
        ++at;
        registers_[number] = DigitsAt(upper, at);
      }
    } else if (command == 'D') {
      return reply + Dial(std::string_view(line).substr(at));
    } else if (command == 'H') {
      DigitsAt(upper, at);
      if (inCall_) EndCall("ATH");
      StopFlood("ATH");
    } else if (command == 'O') {
      DigitsAt(upper, at);
      if (inCall_) {
        mode_ = Mode::Data;
        return reply + Result("CONNECT 9600");
      }
      return reply + Result("NO CARRIER");
    } else {
      DigitsAt(upper, at);
    }
  }
  return reply + Result("OK");
}

std::string THayesModem::Dial(std::string_view number) {
  if (!number.empty() && (std::toupper(static_cast<unsigned char>(number[0])) == 'T' ||
                          std::toupper(static_cast<unsigned char>(number[0])) == 'P')) {
    number.remove_prefix(1);
  }
  if (inCall_) return Result("ERROR");
  log_.Note("modem dials " + std::string(number));
  switch (options_.DialAnswer) {
    case TDialAnswer::Connect:
      StartCall(number);
      return Result("CONNECT 9600");
    case TDialAnswer::Busy:
      return Result("BUSY");
    case TDialAnswer::NoCarrier:
      return Result("NO CARRIER");
    case TDialAnswer::NoDialtone:
      return Result("NO DIALTONE");
    case TDialAnswer::Flood:
      log_.Note("modem floods the line");
      flooding_ = true;
      return {};
    case TDialAnswer::Silence:
    case TDialAnswer::Mute:
      return {};
  }
  return {};
}

void THayesModem::StopFlood(const std::string& why) {
  if (!flooding_) return;
  flooding_ = false;
  log_.Note("modem flood ended: " + why);
}

// A linear congruential generator's high bytes: its period is far longer than
// any run of lines a log could take for a repetition.
std::string THayesModem::FloodBytes(std::size_t count) {
  std::string bytes(count, '\0');
  for (char& byte : bytes) {
    floodState_ = floodState_ * 1103515245u + 12345u;
    byte = static_cast<char>(floodState_ >> 16);
  }
  return bytes;
}

void THayesModem::StartCall(std::string_view number) {
  log_.Note("modem CONNECT 9600 to " + std::string(number));
  inCall_ = true;
  mode_ = Mode::Data;
  pendingEscapes_ = 0;
  emulator_.StartConnection("modem call");
}

void THayesModem::EndCall(const std::string& why) {
  log_.Note("modem call ended: " + why);
  inCall_ = false;
  emulator_.EndConnection();
}
