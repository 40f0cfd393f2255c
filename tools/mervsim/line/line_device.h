// mervsim line/: the line the emulator serves (TCP or a pseudo-terminal), its serial pacing and its wire log.
#pragma once
// TLineDevice: what the emulator's server puts on its line, the register or
// the chip-card reader. The server hands it every byte it receives and sends
// back what it answers; the device keeps its own state between calls.
#include <string>
#include <string_view>

/// What the device sends back, and whether it then drops the connection.
struct TEmulatorAnswer {
  std::string Bytes;
  bool Drop = false;
};

class TLineDevice {
public:
  virtual ~TLineDevice() = default;

  /// A new connection (or the line opened again); `peer` names a TCP client.
  virtual void StartConnection(const std::string& peer = {}) = 0;
  /// Takes received bytes; returns the answer to everything they complete.
  virtual TEmulatorAnswer Receive(std::string_view bytes) = 0;
  /// The line has been quiet for a while after a partial message.
  virtual void LineQuiet() = 0;
  /// The connection is gone.
  virtual void EndConnection() = 0;
  /// True while bytes of an unfinished message wait for the rest.
  virtual bool HasPartialFrame() const = 0;
};
