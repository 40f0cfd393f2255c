#pragma once
// TSystemComLayer: what the POSIX and the Windows COM layers share. It keeps
// the open lines by number, answers the calls for a line that is not open,
// checks the arguments every platform checks alike, and keeps the time-outs
// each line was given; a platform layer supplies the steps on the device.
// `Line` is the platform's record of an open line, a TComLineSettings with
// the platform's handle.
#include <map>
#include <optional>

#include "transport/com_layer.h"

/// The settings kept for each open line.
struct TComLineSettings {
  std::int32_t bitsPerSecond = 9600;
  std::int32_t writeTotalMs = 0;
  std::int32_t readTotalMs = 0;
  std::int32_t readIntervalMs = 0;
};

template <typename Line>
class TSystemComLayer : public TComLayer {
public:
  TSystemComLayer() = default;
  TSystemComLayer(const TSystemComLayer&) = delete;
  TSystemComLayer& operator=(const TSystemComLayer&) = delete;

  int sio_open(int port) final {
    if (port < 1 || port > 255) return ComResult::BadPort;
    if (lines_.count(port) != 0) return ComResult::OpenFailed;
    std::optional<Line> line = OpenDevice(port);
    if (!line) return ComResult::OpenFailed;
    lines_[port] = *line;
    return ComResult::Ok;
  }

  int sio_ioctl(int port, int baudCode, int mode) final {
    Line* line = Find(port);
    return line == nullptr ? ComResult::BadPort : SetLineFormat(*line, baudCode, mode);
  }

  int sio_flowctrl(int port, int mode) final {
    Line* line = Find(port);
    if (line == nullptr) return ComResult::BadPort;
    if (mode < 0 || mode > 15) return ComResult::BadParameter;
    return SetFlow(*line, mode);
  }

  int sio_SetWriteTimeouts(int port, std::int32_t totalMs) final {
    Line* line = Find(port);
    if (line == nullptr) return ComResult::BadPort;
    line->writeTotalMs = totalMs;
    return UseTimeouts(*line);
  }

  int sio_write(int port, const char* data, int length) final {
    Line* line = Find(port);
    if (line == nullptr) return ComResult::BadPort;
    if (length < 0 || (length > 0 && data == nullptr)) return ComResult::BadParameter;
    return Write(*line, data, length);
  }

  // The serial library's own call, with its names; the two waits differ in name.
  // NOLINTNEXTLINE(bugprone-easily-swappable-parameters)
  int sio_SetReadTimeouts(int port, std::int32_t totalMs, std::int32_t intervalMs) final {
    Line* line = Find(port);
    if (line == nullptr) return ComResult::BadPort;
    line->readTotalMs = totalMs;
    line->readIntervalMs = intervalMs;
    return UseTimeouts(*line);
  }

  int sio_read(int port, char* buffer, int length) final {
    Line* line = Find(port);
    if (line == nullptr) return ComResult::BadPort;
    if (length < 0 || (length > 0 && buffer == nullptr)) return ComResult::BadParameter;
    return Read(*line, buffer, length);
  }

  int sio_flush(int port, int selector) final {
    Line* line = Find(port);
    if (line == nullptr) return ComResult::BadPort;
    if (selector != ComFlush::Input && selector != ComFlush::Output && selector != ComFlush::Both) {
      return ComResult::BadParameter;
    }
    return Flush(*line, selector);
  }

  int sio_close(int port) final {
    const auto found = lines_.find(port);
    if (found == lines_.end()) return ComResult::BadPort;
    const Line line = found->second;
    lines_.erase(found);
    return CloseDevice(line);
  }

protected:
  /// Opens the device of COM line `port` with the defaults of sio_open;
  /// nothing when it cannot be opened.
  virtual std::optional<Line> OpenDevice(int port) = 0;
  virtual int SetLineFormat(Line& line, int baudCode, int mode) = 0;
  virtual int SetFlow(Line& line, int mode) = 0;
  /// Puts the line's time-outs into effect where the driver keeps them.
  virtual int UseTimeouts(const Line& line) = 0;
  virtual int Write(Line& line, const char* data, int length) = 0;
  virtual int Read(Line& line, char* buffer, int length) = 0;
  virtual int Flush(Line& line, int selector) = 0;
  /// Gives pending output its drain time and closes the device.
  virtual int CloseDevice(const Line& line) = 0;

  /// The lines still open, for the platform layer's destructor.
  const std::map<int, Line>& OpenLines() const { return lines_; }

private:
  Line* Find(int port) {
    const auto found = lines_.find(port);
    return found == lines_.end() ? nullptr : &found->second;
  }

  std::map<int, Line> lines_;
};
