#pragma once
// The link protocol between the program and a register: five-byte command
// frames (ENQ handshake, DTX "the program sends a table", DRQ "the program
// wants a table"), four-byte replies, records closed by two check bytes, and
// the end frame FF FF 00 02. The program always asks, the register answers.
//
// TLinkProtocol keeps what one transfer run shares between tables: the port
// (borrowed), the family's command bytes, the network identifier, the model
// name and the key position text. Every protocol failure is an EKomError.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/link_bytes.h"
#include "transport/line_backend.h"

class TPort;
class TSoubor;

/// How often a transfer sends or asks for one record before it gives up.
inline constexpr int MaxRecordAttempts = 5;

/// The decimal digits of a text taken as hexadecimal digits of one byte
/// ("15" -> 15h); characters before the last two are shifted out.
std::uint8_t DecimalToBcd(std::string_view text);

/// Command byte, NetID, table code and the two check bytes.
std::string CommandFrame(std::uint8_t command, std::uint8_t netId, std::uint8_t tableCode);

/// Whether a register answering the ENQ with `code` can be the named model.
/// A name the family does not list accepts every code.
bool ModelCodeFits(std::string_view modelName, int code, bool cmFamily);

/// The mode-key position a DTX or DRQ status names, or none.
std::optional<std::string> KeyPosition(std::string_view modelName, std::uint8_t status);

/// Variants of the table-3 upload.
struct TUploadOptions {
  bool OptionV = false;
  bool OptionA = false;
};

/// The third byte of a DTX or DRQ frame for a table or reset entry.
std::uint8_t TableCode(const TSoubor& table, std::uint8_t command, const TLinkBytes& bytes,
                       const TUploadOptions& options = {});

/// Byte `index` of a reply, or 0 beyond its end (a short reply is never read past).
inline std::uint8_t ReplyByte(const std::string& reply, std::size_t index) {
  return index < reply.size() ? static_cast<std::uint8_t>(reply[index]) : 0;
}

/// Turns a line result of a frame exchange into #05 (short read) or #04
/// (nothing came); Done passes.
void RaisePortResult(LineResult portResult);

class TLinkProtocol {
public:
  TLinkProtocol(TPort& port, const TLinkBytes& bytes, std::uint8_t netId, std::string modelName);

  /// The ENQ handshake for a table; returns the register's model code.
  int Handshake(int tableNumber);
  /// True when a handshake answer means the table is skipped (table 28 on
  /// models 22 and 23).
  static bool SkipsTable(int tableNumber, int modelCode);

  /// Checks the reply to a DTX or DRQ with the byte sent; true when a DRQ is
  /// answered with the end frame (the register has nothing to send).
  bool RequestReply(const std::string& reply, LineResult portResult, std::uint8_t sentByte);

  /// Sends a frame and reads the four-byte reply with the slot's time-out.
  LineResult Exchange(std::string_view frame, std::string& reply);

  TPort& Port() { return port_; }
  const TLinkBytes& Bytes() const { return bytes_; }
  std::uint8_t NetId() const { return netId_; }
  const std::string& ModelName() const { return modelName_; }
  /// "?" until a reply names a key position.
  const std::string& KeyPositionText() const { return keyPosition_; }
  void ResetKeyPosition() { keyPosition_ = "?"; }

  /// Raises the failure that a network status byte names, if it names one.
  void RaiseNetworkStatus(std::uint8_t status) const;

private:
  TPort& port_;
  TLinkBytes bytes_;
  std::uint8_t netId_;
  std::string modelName_;
  std::string keyPosition_ = "?";
};
