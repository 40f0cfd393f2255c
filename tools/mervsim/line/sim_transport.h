// mervsim line/: the line the emulator serves (TCP or a pseudo-terminal), its serial pacing and its wire log.
#pragma once
// TSimServer: puts the register emulator (or the card reader) on a line: a TCP listener on
// 127.0.0.1 or a pseudo-terminal. Connections are served one after another:
// every byte received goes to the emulator, every answer goes back, paced to
// the line speed when one is set and with FFh doubled on TCP ports 14000 to
// 14009. A TCP connection ends when the program closes it (or a fault option
// drops it); a pseudo-terminal connection lasts while the slave side is open
// (the master is looked at every 50 ms while no slave is open, so a slave
// opened again within that time may count as the same connection).
// The line-level code is per platform (sim_transport_posix.cpp); the server
// borrows the emulator.
#include <memory>
#include <optional>
#include <string>

class THayesModem;
class TLineDevice;

struct TLineSettings {
  /// TCP port on 127.0.0.1, 0 for a free one; none for a pseudo-terminal.
  std::optional<int> TcpPort;
  /// With a pseudo-terminal: a symbolic link to its slave, made by Open and
  /// removed when the server ends.
  std::string LinkPath;
  /// End after the first connection.
  bool Once = false;
  /// Bits per second, 0 for no pacing.
  int LineSpeed = 0;
};

class TSimServer {
public:
  TSimServer(TLineDevice& emulator, TLineSettings settings);
  ~TSimServer();
  TSimServer(const TSimServer&) = delete;
  TSimServer& operator=(const TSimServer&) = delete;

  /// Opens the line; returns what it listens on, "tcp 127.0.0.1:4001" or
  /// "pty /dev/pts/3". Failures throw std::system_error.
  std::string Open();
  /// With a pseudo-terminal: the modem (borrowed) answers on the line and
  /// hands the calls to the register.
  void UseModem(THayesModem& modem);
  /// Serves connections until a stop signal comes or, with Once, the first
  /// connection has ended.
  void Serve();

private:
  class Line;
  std::unique_ptr<Line> line_;
};

/// The ready line on standard output, "mervsim listening on WHERE", printed
/// only once the line is open (a port that cannot be bound prints only the
/// failure).
void AnnounceListening(const std::string& where);

/// From now on SIGTERM and SIGINT end Serve(); a peer that went away while
/// the emulator writes is no signal.
void InstallStopSignals();
