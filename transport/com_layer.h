#pragma once
// TComLayer: the serial-port library under the port. It offers the nine calls
// the port relies on, with the library's numbering: a COM line is addressed by
// its number (COM1 = 1), set-up calls return 0 for success and a negative code
// otherwise, reads and writes return a byte count or a negative code.
//
// SystemComLayer() is the process-wide real layer: termios on POSIX
// (system_com_layer_posix.cpp), the Win32 communications API on Windows
// (system_com_layer_win32.cpp). It owns the open lines and closes any still open at
// process end. Tests hand the port an in-memory layer instead.
//
// Like the rest of the module the layer is single-threaded: one caller at a time.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

/// Result codes of the calls (the library's own numbers).
namespace ComResult {
inline constexpr int Ok = 0;
inline constexpr int BadPort = -1;        // no such line, or the line is not open
inline constexpr int OpenFailed = -5;     // device missing, busy or not a serial line
inline constexpr int BadParameter = -7;   // unknown baud code, line mode, flow mode or selector
inline constexpr int SystemFailure = -8;  // the operating system refused the call
inline constexpr int WriteTimeout = -12;  // not all bytes went out within the write time-out
}  // namespace ComResult

/// Flow modes of sio_flowctrl, combinable: CTS and RTS form the hardware handshake.
namespace ComFlow {
inline constexpr int None = 0;
inline constexpr int Cts = 1;
inline constexpr int Rts = 2;
inline constexpr int Hardware = Cts | Rts;
inline constexpr int TxXon = 4;
inline constexpr int RxXon = 8;
}  // namespace ComFlow

/// The write time-out used when none (0 or less) is set.
inline constexpr std::int32_t DefaultWriteTotalMs = 5000;

/// How long written output may take to leave the line before a flush or a
/// close discards it: a fixed allowance plus the bytes' own time on the line,
/// never more than MaxOutputDrainMs.
inline constexpr std::int32_t OutputDrainAllowanceMs = 100;
inline constexpr std::int32_t MaxOutputDrainMs = 2000;
std::int32_t OutputDrainTime(std::int32_t queuedBytes, std::int32_t bitsPerSecond);

/// Selectors of sio_flush.
namespace ComFlush {
inline constexpr int Input = 0;
inline constexpr int Output = 1;
inline constexpr int Both = 2;
}  // namespace ComFlush

/// The library's baud code of a speed in bit/s (50 -> 0 ... 921600 -> 19), or
/// -1 for a speed it does not know (14400, for one).
int BaudCodeOf(std::int32_t bitsPerSecond);

/// The speed in bit/s of a baud code 0..19, or 0 for any other code.
std::int32_t BaudRateOfCode(int code);

/// The line format a mode byte of sio_ioctl stands for.
struct TLineFormat {
  int DataBits = 8;   // 5..8
  char Parity = 'N';  // 'N', 'O', 'E', 'M' or 'S'
  int StopBits = 1;   // 1 or 2
};

/// Decodes a mode byte: bits 0-1 data bits (0..3 = 5..8), bit 2 two stop
/// bits, bits 3-5 parity (00h none, 08h odd, 18h even, 28h mark, 38h space).
/// Nothing for other parity bits or a value outside 00h..3Fh.
std::optional<TLineFormat> DecodeLineMode(int mode);

/// The device of COM line `port`. POSIX: environment variable MERV_COM<n>,
/// else entry COM<n>= of section [Ports] of the settings file (any device,
/// a stable /dev/serial/by-id/ link included), else /dev/ttyS<n-1>.
/// Windows: \\.\COM<n>.
std::string ComDevicePath(int port);

/// The device named for COM line `port` by MERV_COM<n> or [Ports]; empty
/// when neither names one (always on Windows, where COM n is the system's).
std::string ConfiguredComDevicePath(int port);

class TComLayer {
public:
  virtual ~TComLayer() = default;

  /// Opens the line raw at 9600 bit/s, 8N1, DTR and RTS raised where the line
  /// has them. An already open line gives OpenFailed.
  virtual int sio_open(int port) = 0;

  /// Sets the speed (baud code) and the line format (mode byte, see DecodeLineMode).
  virtual int sio_ioctl(int port, int baudCode, int mode) = 0;

  /// Sets the flow control (ComFlow bits).
  virtual int sio_flowctrl(int port, int mode) = 0;

  /// Total time allowed to one sio_write; 0 or less means DefaultWriteTotalMs.
  virtual int sio_SetWriteTimeouts(int port, std::int32_t totalMs) = 0;

  /// Writes all `length` bytes: `length`, WriteTimeout when they did not all
  /// go out in time, or another negative code.
  virtual int sio_write(int port, const char* data, int length) = 0;

  /// Total time allowed to one sio_read, and the longest gap between two bytes
  /// once the first came (0 = not used). A total of 0 or less makes sio_read
  /// return at once with what has already arrived.
  virtual int sio_SetReadTimeouts(int port, std::int32_t totalMs, std::int32_t intervalMs) = 0;

  /// Reads up to `length` bytes, waiting as sio_SetReadTimeouts set: the
  /// number read (0 when nothing came) or a negative code.
  virtual int sio_read(int port, char* buffer, int length) = 0;

  /// Discards the input waiting in the driver. Output already written gets
  /// OutputDrainTime to go out (a frame written just before is a frame meant
  /// for the register); what is still queued then (the handshake holds the
  /// line, the cable is pulled) is discarded. Never waits longer.
  virtual int sio_flush(int port, int selector) = 0;

  /// Gives pending output OutputDrainTime, discards the rest and closes the
  /// line without waiting for the driver to send it.
  virtual int sio_close(int port) = 0;

  /// The clock the waits on the line are measured by, and a pause of the
  /// line. The system layers use the steady clock and really sleep; an
  /// in-memory layer may keep a clock of its own, so that its time-outs and
  /// pauses cost no real time.
  virtual std::chrono::steady_clock::time_point Now() const;
  virtual void Pause(int ms);
};

/// The real layer of this platform, shared by every port of the process.
TComLayer& SystemComLayer();
