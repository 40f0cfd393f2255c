#pragma once
// The bytes of the link protocol between the program and a register, for
// both sides of the line: the module and the register emulator name them
// from here.
//
// A command frame is a command byte, the network ID, a table code and two
// check bytes; a reply is the command byte (or, to the ENQ, the model code),
// a status byte and two check bytes.
#include <cstdint>
#include <string>

#include "model/model_list.h"

namespace LinkCommand {
/// The CM family: one set of command bytes.
inline constexpr std::uint8_t CmEnq = 0xE8;
inline constexpr std::uint8_t CmDtx = 0xD2;
inline constexpr std::uint8_t CmDrq = 0xD8;
/// The ECR family. Its ENQ is one byte; its DTX and DRQ differ between the
/// command-line mode (the bytes the module uses) and the program's window.
inline constexpr std::uint8_t EcrEnq = 0xE9;
inline constexpr std::uint8_t EcrDtxCommandLine = 0xD3;
inline constexpr std::uint8_t EcrDtxWindow = 0xD0;
inline constexpr std::uint8_t EcrDrqCommandLine = 0xD7;
inline constexpr std::uint8_t EcrDrqWindow = 0xD9;
}  // namespace LinkCommand

/// The command bytes of a register family; the ECR family's command-line
/// bytes unless set.
struct TLinkBytes {
  std::uint8_t Enq = LinkCommand::EcrEnq;
  std::uint8_t Dtx = LinkCommand::EcrDtxCommandLine;
  std::uint8_t Drq = LinkCommand::EcrDrqCommandLine;
  /// Highest model code an ENQ reply may carry: 8 for the CM family, 23 otherwise.
  int MaxModelCode = HighestEnqCode(false);
  bool CmFamily = false;
};

/// The command bytes of the family in the given mode.
constexpr TLinkBytes LinkBytesOf(bool cmFamily, bool commandLineMode) {
  using namespace LinkCommand;
  if (cmFamily) return {CmEnq, CmDtx, CmDrq, HighestEnqCode(true), true};
  return {EcrEnq, commandLineMode ? EcrDtxCommandLine : EcrDtxWindow,
          commandLineMode ? EcrDrqCommandLine : EcrDrqWindow, HighestEnqCode(false), false};
}

/// Status bytes: byte 1 of a reply.
namespace LinkStatus {
/// No status: a reply that does not name the command sent.
inline constexpr std::uint8_t None = 0x00;
/// The record was taken (also: the program took the record, in a DRQ reply).
inline constexpr std::uint8_t Ack = 0x06;
/// The record's check bytes were wrong: send it again.
inline constexpr std::uint8_t Repeat = 0x15;
/// The networked register addressed is busy.
inline constexpr std::uint8_t NetworkBusy = 0x0B;
/// The register network has not been started.
inline constexpr std::uint8_t NetworkNotStarted = 0x0C;
/// The register addressed does not answer on the network.
inline constexpr std::uint8_t NetworkSilent = 0x0D;
/// To a command: the network is silent too; to a record: the register
/// refuses the record's order.
inline constexpr std::uint8_t NetworkSilentOrSortRefused = 0x0E;
/// The table is full.
inline constexpr std::uint8_t TableFull = 0x16;
/// The register is in service mode or cannot take the table.
inline constexpr std::uint8_t ServiceError = 0x17;
}  // namespace LinkStatus

/// The status byte of a DTX, DRQ or ENQ reply carries one bit for the mode
/// key's position; the positions count from bit 1.
constexpr std::uint8_t KeyPositionBit(int position) { return static_cast<std::uint8_t>(1U << position); }

/// Table codes (byte 3 of a command frame) that are no table number in BCD.
namespace LinkTableCode {
/// Reset entry n is code FirstReset + n (0..18).
inline constexpr std::uint8_t FirstReset = 0x45;
inline constexpr std::uint8_t LastReset = 0x57;
/// The PLU table's upload: replacing, new records only ("V"), adding ("A").
inline constexpr std::uint8_t PluReplace = 0x61;
inline constexpr std::uint8_t PluNew = 0x03;
inline constexpr std::uint8_t PluAdd = 0x63;
}  // namespace LinkTableCode

/// The end frame: the register has nothing (more) to send, or the program
/// ends a table's records. Its first byte starts no other frame.
inline constexpr char EndFrameStart = '\xFF';
inline const std::string EndFrame("\xFF\xFF\x00\x02", 4);

/// A networked register closes some tables with a record whose body is all
/// this character.
inline constexpr char ZeroRecordByte = '0';
