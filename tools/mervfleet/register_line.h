#pragma once
// TRegisterLine: how mervfleet reaches one register, as the registers file
// writes it, and the module parameters that say the same:
//
//   tcp:HOST:PORT      /IPADDR=HOST /IPPORT=PORT
//   com:N[:SPEED]      /COM=N /BR=SPEED (SPEED as /BR= takes it: 1 to 5 or
//                      bits per second; 19200 when left out)
//   modem:N:NUMBER     /COM=N /BR=19200 /MODEM for the command, dialled
//                      before it with MODEMDIAL ... /DIALTONE=NUMBER
//
// Two registers with the same exclusive key never run at the same time: the
// TCP address and port (a register serves one connection at a time), or the
// COM line, a modem's included.
#include <string>
#include <string_view>
#include <vector>

class TRegisterLine {
public:
  enum class Kind { Tcp, Com, Modem };

  /// Reads "tcp:...", "com:..." or "modem:..."; throws std::invalid_argument
  /// with a message for the user on anything else.
  static TRegisterLine Parse(std::string_view text);

  Kind LineKind() const { return kind_; }
  /// The line as the registers file wrote it.
  const std::string& Text() const { return text_; }
  const std::string& ExclusiveKey() const { return key_; }
  /// The module's parameters that select this line.
  std::vector<std::string> ModuleParameters() const;
  /// For a modem line: the parameters of MODEMDIAL (line and number).
  std::vector<std::string> DialParameters() const;

private:
  Kind kind_ = Kind::Tcp;
  std::string text_;
  std::string key_;
  std::string host_;
  int number_ = 0;  // TCP port or COM line
  std::string speed_;
  std::string phoneNumber_;
};
