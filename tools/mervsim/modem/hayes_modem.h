// mervsim modem/: the Hayes dial-up modem the emulator can put in front of the register.
#pragma once
// THayesModem: a Hayes-compatible dial-up modem in front of the register
// emulator, on the same line. In command mode it echoes what it receives and
// answers AT commands: "OK", S-register queries and settings (ATSn?,
// ATSn=v), ATD with the dial answer chosen on the command line, ATH. After
// "CONNECT 9600" every byte goes to the register and back (the call); the
// escape "+++" (the S2 character three times, with S12 fiftieths of a second
// of quiet before and after) returns to command mode with the call still up,
// where ATH ends it and ATO goes back on line. The call ends also when the
// line closes (the carrier drops) or when the register drops the connection
// (a fault option), which the modem reports as "NO CARRIER". A flooding modem
// answers the dial with bytes that never end and never make a result code,
// as fast as the line takes them, until ATH or the line closes.
//
// It borrows the emulator and the wire log; its notes begin "modem".
#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

class TRegisterEmulator;
class TWireLog;

enum class TDialAnswer { Connect, Busy, NoCarrier, NoDialtone, Silence, Mute, Flood };

struct THayesOptions {
  bool Enabled = false;
  TDialAnswer DialAnswer = TDialAnswer::Connect;
  /// Escape character (43, "+").
  int S2 = 43;
  /// Escape guard time in fiftieths of a second.
  int S12 = 50;
  /// Reason of the last failed call.
  int S86 = 0;
};

/// "connect", "busy", "no-carrier", "no-dialtone", "silence" (the dial gets
/// no answer), "mute" (the modem says nothing at all), "flood" (the dial is
/// answered with bytes without end). Raises
/// std::invalid_argument for anything else.
TDialAnswer DialAnswerOf(std::string_view name);

class THayesModem {
public:
  using Clock = std::chrono::steady_clock;

  THayesModem(TRegisterEmulator& emulator, const THayesOptions& options, TWireLog& log, int registerQuietMs);

  /// The line was opened (the program opened its side).
  void LineOpened();
  /// The line was closed: a call under way ends.
  void LineClosed();
  /// Takes bytes from the line; returns what goes back.
  std::string Receive(std::string_view bytes, Clock::time_point now = Clock::now());
  /// Time has passed without bytes; returns what goes back.
  std::string Tick(Clock::time_point now = Clock::now());
  /// Milliseconds until Tick has something to do; -1 for never.
  int MsUntilDue(Clock::time_point now = Clock::now()) const;

  /// True while the modem floods the line: the next bytes are FloodBytes,
  /// to be written whenever the line has room for them.
  bool Floods() const { return flooding_; }
  /// The next `count` bytes of the flood: a long pseudo-random run, so that
  /// no short stretch of it repeats.
  std::string FloodBytes(std::size_t count);

  bool InCall() const { return inCall_; }
  bool OnLine() const { return mode_ == Mode::Data; }

private:
  enum class Mode { Command, Data };

  std::string ReceiveCommandBytes(std::string_view bytes);
  std::string ReceiveDataBytes(std::string_view bytes, Clock::time_point now);
  std::string Execute(const std::string& line);
  std::string Dial(std::string_view number);
  void StartCall(std::string_view number);
  void EndCall(const std::string& why);
  void StopFlood(const std::string& why);
  std::string ToRegister(std::string_view bytes);
  int GuardMs() const;
  char Escape() const;

  TRegisterEmulator& emulator_;
  THayesOptions options_;
  TWireLog& log_;
  int registerQuietMs_;
  std::map<int, int> registers_;
  Mode mode_ = Mode::Command;
  bool inCall_ = false;
  std::string commandLine_;
  int pendingEscapes_ = 0;
  Clock::time_point lastReceived_ = Clock::time_point();
  bool flooding_ = false;
  std::uint32_t floodState_ = 1;
};
