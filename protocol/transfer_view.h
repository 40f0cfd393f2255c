#pragma once
// What the transfer window shows while tables go over the line: a caption, a
// description, two labels, a progress bar for the tables and one for the
// records of the current table, and the error count. There is no window
// system here: the base keeps the state (tests read it), the terminal view
// draws it on standard error.
#include <memory>
#include <string>

struct TProgress {
  int Position = 0;
  int Maximum = 0;
};

class TTransferView {
public:
  virtual ~TTransferView() = default;

  std::string Caption;
  std::string Description;
  std::string FirstLabel;
  std::string SecondLabel;
  std::string ErrorLabel;
  TProgress Tables;
  TProgress Records;

  /// Shows the current state; the base shows nothing.
  virtual void Repaint() {}

  /// A table begins: `heading` above, `counter` below, the records' bar
  /// empty out of `records`.
  void ShowTableStart(std::string heading, std::string counter, int records);
  /// A table is done: `heading` above, `counter` below, the records' bar full.
  void ShowTableEnd(std::string heading, std::string counter);
};

/// Draws on standard error (UTF-8) at most a few times a second, and a last
/// time when destroyed.
class TTerminalTransferView : public TTransferView {
public:
  ~TTerminalTransferView() override;
  void Repaint() override;

private:
  void Draw();
  long long lastDrawMs_ = 0;
  bool drawn_ = false;
};

/// The view for a command: the terminal view when standard error is a
/// terminal and the command does not run minimised, else a silent one.
std::unique_ptr<TTransferView> MakeTransferView(bool minimized);
