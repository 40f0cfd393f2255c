#pragma once
// A register on the far side of a COM line, in memory: a COM layer whose
// writes are recorded and answered by a script, and whose reads hand out the
// answers byte by byte. A read with nothing waiting returns at once with no
// bytes, which the port reports as "nothing received".
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/check_bytes.h"
#include "model/soubor.h"
#include "model/tlumocnik_sloupce.h"
#include "protocol/link_protocol.h"
#include "protocol/transfer_view.h"
#include "transport/com_layer.h"
#include "transport/nastaveni.h"
#include "test_support.h"
#include "transport/port.h"

class TScriptedRegister : public TComLayer {
public:
  /// Called with every frame the program writes; returns the bytes the
  /// register sends back.
  std::function<std::string(const std::string& written)> Answer = [](const std::string&) { return std::string(); };
  std::vector<std::string> Written;
  /// Output never leaves the line (the handshake holds it): writes time out.
  bool OutputStuck = false;
  /// Flushes fail, as on a device that has gone (adapter pulled, line hung up).
  bool FlushFails = false;
  int Closes = 0;

  /// Bytes the register sends without being asked.
  void Send(const std::string& bytes) { pending_.insert(pending_.end(), bytes.begin(), bytes.end()); }

  int sio_open(int) override { return 0; }
  int sio_ioctl(int, int, int) override { return 0; }
  int sio_flowctrl(int, int) override { return 0; }
  int sio_SetWriteTimeouts(int, std::int32_t) override { return 0; }
  int sio_write(int, const char* data, int length) override {
    if (OutputStuck) return ComResult::WriteTimeout;
    Written.emplace_back(data, static_cast<std::size_t>(length));
    Send(Answer(Written.back()));
    return length;
  }
  int sio_SetReadTimeouts(int, std::int32_t, std::int32_t) override { return 0; }
  int sio_read(int, char* buffer, int length) override {
    int count = 0;
    while (count < length && !pending_.empty()) {
      buffer[count++] = pending_.front();
      pending_.pop_front();
    }
    return count;
  }
  int sio_flush(int, int) override {
    if (FlushFails) return ComResult::SystemFailure;
    pending_.clear();
    return 0;
  }
  int sio_close(int) override {
    ++Closes;
    return 0;
  }

private:
  std::deque<char> pending_;
};

inline std::string WithCheckBytes(std::string bytes) {
  AddCheckBytes(bytes);
  return bytes;
}

/// Settings of a COM line 1 at 9600 bit/s.
inline TNastaveni ComLineSettings() {
  TNastaveni settings = TNastaveni::CommandDefaults();
  settings.ComPort[1] = 1;
  settings.BaudRate[1] = 9600;
  return settings;
}

/// A small programming table: record number, a packed price, a name.
inline void MakeSmallTable(TSoubor& table, int number) {
  table.Number = number;
  table.Name = "Table " + std::to_string(number);
  table.Capacity = 10;
  table.AddColumn(1, 2);
  table.AddColumn(0, 2);
  table.AddColumn(3, 4);
  table.Interpreter = std::make_unique<TTlumocnikSloupce>(table.Columns);
}

/// A transfer's surroundings: COM line 1 to a scripted register, opened, the
/// link protocol over it, a transfer view, and a small table (number 5).
struct TScriptedTransfer {
  TScriptedTransfer() {
    port.Open(settings, 1);
    MakeSmallTable(table, 5);  // capacity 10
  }

  TScriptedRegister peer;
  TNastaveni settings = ComLineSettings();
  TPort port{peer};
  TLinkProtocol link{port, TLinkBytes{}, 0, ""};
  TTransferView view;
  TSoubor table;
};

// Frames of a DRQ exchange with network 0: the command byte, and the
// register's acknowledgement and repeat request.
inline const std::string Drq = Bytes({0xD7});
inline const std::string Ack = Bytes({0xD7, 0x06, 0xD1, 0x52});
inline const std::string Repeat = Bytes({0xD7, 0x15, 0xC2, 0x52});

/// The raw record of one row text of `table`.
inline std::string Record(const TSoubor& table, const std::string& rowText) {
  TRadek row(static_cast<int>(table.Columns.size()));
  row.SetDefaults(table.Columns);
  row.ReadRowText(rowText, table.Columns);
  return table.Interpreter->EncodeRow(row, false);
}
