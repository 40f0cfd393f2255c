// The COM layer over the Win32 communications API. Lines are opened for
// synchronous I/O; the read and write time-outs are COMMTIMEOUTS, so the
// driver ends each ReadFile and WriteFile in time by itself. Output is never
// left to FlushFileBuffers, which waits without limit while the handshake
// holds the line: the output queue is polled for a short while and purged.
// Windows drivers deliver received bytes without a latency setting to ask for.
// The line's settings are kept here as last set and every change is made to
// that copy: a driver may read back what its device made of them, and a
// pseudo-terminal mapped by wine drops the parity-enable bit, so wine reports
// an undefined parity that its own SetCommState then refuses.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <chrono>
#include <map>

#include "transport/com_layer.h"
#include "transport/system_com_layer.h"

namespace {

struct OpenLine : TComLineSettings {
  HANDLE handle = INVALID_HANDLE_VALUE;
  DCB control{};
};

bool ApplyTimeouts(const OpenLine& line) {
  COMMTIMEOUTS timeouts{};
  if (line.readTotalMs <= 0) {
    // MAXDWORD interval with zero totals: ReadFile returns at once with what is there.
    timeouts.ReadIntervalTimeout = MAXDWORD;
  } else {
    timeouts.ReadIntervalTimeout = line.readIntervalMs > 0 ? static_cast<DWORD>(line.readIntervalMs) : 0;
    timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(line.readTotalMs);
  }
  timeouts.WriteTotalTimeoutConstant =
      static_cast<DWORD>(line.writeTotalMs > 0 ? line.writeTotalMs : DefaultWriteTotalMs);
  return SetCommTimeouts(line.handle, &timeouts) != FALSE;
}

/// Sets `control` on the line and keeps it as the line's settings.
bool ApplyControl(OpenLine& line, DCB control) {
  if (!SetCommState(line.handle, &control)) return false;
  line.control = control;
  return true;
}

/// Sets the line's defaults and keeps them in `line.control`; the driver's
/// state supplies only the fields not set here (its special characters).
bool SetDefaults(OpenLine& line) {
  DCB control{};
  control.DCBlength = sizeof control;
  if (!GetCommState(line.handle, &control)) return false;
  control.BaudRate = CBR_9600;
  control.ByteSize = 8;
  control.Parity = NOPARITY;
  control.StopBits = ONESTOPBIT;
  control.fBinary = TRUE;
  control.fParity = FALSE;
  control.fOutxCtsFlow = FALSE;
  control.fOutxDsrFlow = FALSE;
  control.fDtrControl = DTR_CONTROL_ENABLE;
  control.fRtsControl = RTS_CONTROL_ENABLE;
  control.fDsrSensitivity = FALSE;
  control.fOutX = FALSE;
  control.fInX = FALSE;
  control.fNull = FALSE;
  control.fAbortOnError = FALSE;
  return ApplyControl(line, control);
}

BYTE ParityOf(char parity) {
  switch (parity) {
    case 'O':
      return ODDPARITY;
    case 'E':
      return EVENPARITY;
    case 'M':
      return MARKPARITY;
    case 'S':
      return SPACEPARITY;
    default:
      return NOPARITY;
  }
}

/// Bytes written but not yet sent, or 0 when the driver does not tell.
DWORD QueuedOutput(HANDLE handle) {
  DWORD errors = 0;
  COMSTAT status{};
  return ClearCommError(handle, &errors, &status) ? status.cbOutQue : 0;
}

/// Lets written output leave the line for OutputDrainTime, then purges what
/// is left.
bool DrainOutput(const OpenLine& line) {
  const auto queued = static_cast<std::int32_t>(QueuedOutput(line.handle));
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(OutputDrainTime(queued, line.bitsPerSecond));
  while (QueuedOutput(line.handle) > 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return PurgeComm(line.handle, PURGE_TXABORT | PURGE_TXCLEAR) != FALSE;
    }
    Sleep(1);
  }
  return true;
}

class TWin32ComLayer final : public TSystemComLayer<OpenLine> {
public:
  ~TWin32ComLayer() override {
    for (const auto& entry : OpenLines()) {
      PurgeComm(entry.second.handle, PURGE_TXABORT | PURGE_TXCLEAR);
      CloseHandle(entry.second.handle);
    }
  }

protected:
  std::optional<OpenLine> OpenDevice(int port) override {
    const std::string device = ComDevicePath(port);
    const HANDLE handle = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    OpenLine line;
    line.handle = handle;
    if (!SetDefaults(line) || !ApplyTimeouts(line)) {
      CloseHandle(handle);
      return std::nullopt;
    }
    return line;
  }

  int SetLineFormat(OpenLine& line, int baudCode, int mode) override {
    const std::int32_t speed = BaudRateOfCode(baudCode);
    const auto format = DecodeLineMode(mode);
    if (speed == 0 || !format) return ComResult::BadParameter;
    DCB control = line.control;
    control.BaudRate = static_cast<DWORD>(speed);
    control.ByteSize = static_cast<BYTE>(format->DataBits);
    control.Parity = ParityOf(format->Parity);
    control.fParity = format->Parity != 'N' ? TRUE : FALSE;
    if (format->StopBits == 1) {
      control.StopBits = ONESTOPBIT;
    } else {
      // With five data bits a UART sends one and a half stop bits for "two".
      control.StopBits = control.ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
    }
    if (!ApplyControl(line, control)) return ComResult::SystemFailure;
    line.bitsPerSecond = speed;
    return ComResult::Ok;
  }

  int SetFlow(OpenLine& line, int mode) override {
    DCB control = line.control;
    control.fOutxCtsFlow = (mode & ComFlow::Cts) != 0 ? TRUE : FALSE;
    control.fRtsControl = (mode & ComFlow::Rts) != 0 ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    control.fOutX = (mode & ComFlow::TxXon) != 0 ? TRUE : FALSE;
    control.fInX = (mode & ComFlow::RxXon) != 0 ? TRUE : FALSE;
    return ApplyControl(line, control) ? ComResult::Ok : ComResult::SystemFailure;
  }

  int UseTimeouts(const OpenLine& line) override {
    return ApplyTimeouts(line) ? ComResult::Ok : ComResult::SystemFailure;
  }

  int Write(OpenLine& line, const char* data, int length) override {
    DWORD written = 0;
    if (!WriteFile(line.handle, data, static_cast<DWORD>(length), &written, nullptr)) {
      return ComResult::SystemFailure;
    }
    if (written < static_cast<DWORD>(length)) return ComResult::WriteTimeout;
    return static_cast<int>(written);
  }

  int Read(OpenLine& line, char* buffer, int length) override {
    DWORD got = 0;
    if (!ReadFile(line.handle, buffer, static_cast<DWORD>(length), &got, nullptr)) {
      return ComResult::SystemFailure;
    }
    return static_cast<int>(got);
  }

  int Flush(OpenLine& line, int selector) override {
    if (selector != ComFlush::Input && !DrainOutput(line)) return ComResult::SystemFailure;
    if (selector != ComFlush::Output && !PurgeComm(line.handle, PURGE_RXABORT | PURGE_RXCLEAR)) {
      return ComResult::SystemFailure;
    }
    return ComResult::Ok;
  }

  int CloseDevice(const OpenLine& line) override {
    static_cast<void>(DrainOutput(line));
    return CloseHandle(line.handle) ? ComResult::Ok : ComResult::SystemFailure;
  }
};

}  // namespace

std::string ConfiguredComDevicePath(int) { return {}; }

std::string ComDevicePath(int port) { return "\\\\.\\COM" + std::to_string(port); }

TComLayer& SystemComLayer() {
  static TWin32ComLayer layer;
  return layer;
}
