#include "tools/mervfleet/register_line.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>

#include "base/split_text.h"

namespace {

constexpr std::string_view DefaultComSpeed = "19200";
constexpr int HighestPort = 65535;
constexpr int HighestComLine = 255;

[[noreturn]] void Refuse(std::string_view text, const std::string& why) {
  throw std::invalid_argument("line \"" + std::string(text) + "\": " + why);
}

int Number(std::string_view whole, std::string_view part, std::string_view what, int highest) {
  int value = 0;
  const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
  if (part.empty() || error != std::errc() || end != part.data() + part.size() || value < 1 || value > highest) {
    Refuse(whole,
           std::string(what) + " \"" + std::string(part) + "\" is not a number from 1 to " + std::to_string(highest));
  }
  return value;
}

// A value that goes into a module parameter: no "/" (it would end the
// parameter), no blanks at its ends (they would be cut), no control characters.
void CheckParameterValue(std::string_view whole, std::string_view value, std::string_view what) {
  const bool control = value.end() != std::find_if(value.begin(), value.end(),
                                                   [](char c) { return static_cast<unsigned char>(c) < 0x20; });
  if (value.empty() || value.find('/') != std::string_view::npos || value.front() == ' ' || value.back() == ' ' ||
      control) {
    Refuse(whole, std::string(what) + " \"" + std::string(value) + "\" cannot be given to the module");
  }
}

}  // namespace

TRegisterLine TRegisterLine::Parse(std::string_view text) {
  const auto parts = SplitText(text, ':');
  TRegisterLine line;
  line.text_ = std::string(text);
  if (parts[0] == "tcp" && parts.size() == 3) {
    line.kind_ = Kind::Tcp;
    CheckParameterValue(text, parts[1], "host");
    line.host_ = std::string(parts[1]);
    line.number_ = Number(text, parts[2], "port", HighestPort);
    line.key_ = "tcp:" + line.host_ + ":" + std::to_string(line.number_);
    return line;
  }
  if (parts[0] == "com" && (parts.size() == 2 || parts.size() == 3)) {
    line.kind_ = Kind::Com;
    line.number_ = Number(text, parts[1], "COM line", HighestComLine);
    line.speed_ = parts.size() == 3 ? std::to_string(Number(text, parts[2], "speed", 10'000'000)) : DefaultComSpeed;
    line.key_ = "com:" + std::to_string(line.number_);
    return line;
  }
  if (parts[0] == "modem" && parts.size() == 3) {
    line.kind_ = Kind::Modem;
    line.number_ = Number(text, parts[1], "COM line", HighestComLine);
    line.speed_ = DefaultComSpeed;
    CheckParameterValue(text, parts[2], "number");
    line.phoneNumber_ = std::string(parts[2]);
    line.key_ = "com:" + std::to_string(line.number_);
    return line;
  }
  Refuse(text, "not tcp:HOST:PORT, com:N[:SPEED] or modem:N:NUMBER");
}

std::vector<std::string> TRegisterLine::ModuleParameters() const {
  if (kind_ == Kind::Tcp) return {"/IPADDR=" + host_, "/IPPORT=" + std::to_string(number_)};
  std::vector<std::string> parameters{"/COM=" + std::to_string(number_), "/BR=" + speed_};
  if (kind_ == Kind::Modem) parameters.emplace_back("/MODEM");
  return parameters;
}

std::vector<std::string> TRegisterLine::DialParameters() const {
  return {"/COM=" + std::to_string(number_), "/BR=" + speed_, "/DIALTONE=" + phoneNumber_};
}
