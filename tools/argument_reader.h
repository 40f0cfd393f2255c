#pragma once
// The command-line reading the tools share: "--name=value" is split, the value
// of "--name value" is taken from the next argument, and after "--" the
// arguments are taken as they are.

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

class TArgumentReader {
public:
  explicit TArgumentReader(const std::vector<std::string>& arguments) : arguments_(arguments) {}

  /// Reads the next argument; false when there is none.
  bool Next() {
    if (index_ >= arguments_.size()) return false;
    const std::string& argument = arguments_[index_++];
    const auto equals = argument.find('=');
    if (!afterDashes_ && argument.rfind("--", 0) == 0 && equals != std::string::npos) {
      name_ = argument.substr(0, equals);
      inlineValue_ = argument.substr(equals + 1);
    } else {
      name_ = argument;
      inlineValue_.reset();
    }
    afterDashes_ = afterDashes_ || argument == "--";
    return true;
  }
  const std::string& Name() const { return name_; }
  /// The option's value; std::invalid_argument when it has none.
  std::string Value() {
    if (inlineValue_) return *inlineValue_;
    if (index_ >= arguments_.size()) throw std::invalid_argument(name_ + " needs a value");
    return arguments_[index_++];
  }
  /// std::invalid_argument when a switch was given a value.
  void NoValue() const {
    if (inlineValue_) throw std::invalid_argument(name_ + " takes no value");
  }
  /// The arguments not read yet.
  std::vector<std::string> Rest() const {
    return {arguments_.begin() + static_cast<std::ptrdiff_t>(index_), arguments_.end()};
  }

private:
  const std::vector<std::string>& arguments_;
  std::size_t index_ = 0;
  std::string name_;
  std::optional<std::string> inlineValue_;
  bool afterDashes_ = false;
};
