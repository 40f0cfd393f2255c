#pragma once
// The command line of mervsim, the register emulator: which model it plays,
// where its data come from, which line it serves and how it misbehaves.
// ParseSimOptions reads the arguments (without the program name) and raises
// std::invalid_argument with a message for the user on anything it cannot
// use; SimHelpText is what "--help" prints.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/model_list.h"
#include "protocol/link_bytes.h"
#include "tools/mervsim/card/card_reader_emulator.h"
#include "tools/mervsim/register/fault_injector.h"
#include "tools/mervsim/modem/hayes_modem.h"
#include "tools/mervsim/replay/replay_mode.h"

/// One receipt the register is told about: PLU codes and quantities.
struct TSaleOrder {
  struct TItem {
    std::int64_t Code = 0;
    /// Thousandths.
    std::int64_t Quantity = 1000;
  };
  std::vector<TItem> Items;
};

/// Registers on consecutive TCP ports (--tcp-range FIRST:COUNT).
struct TTcpRange {
  int First = 0;
  int Count = 0;
  /// The last Faulty registers of the range show the fault options; all when none.
  std::optional<int> Faulty;
};

struct TSimOptions {
  bool Help = false;
  bool Version = false;
  /// The model's name as the model catalogue knows it.
  std::string ModelName = std::string(::ModelName::Ecr465);
  /// Byte 0 of the ENQ reply; none: the first code the model answers with.
  std::optional<int> ModelCode;
  /// Status byte of the mode key position.
  std::uint8_t KeyStatus = KeyPositionBit(4);
  std::string DataDir;
  int PluCount = 30000;
  /// Receipts sold after the demo day, in this order.
  std::vector<TSaleOrder> Sales;
  /// TCP port on 127.0.0.1 (0: a free one); none: no TCP listener.
  std::optional<int> TcpPort;
  std::optional<TTcpRange> TcpRange;
  bool Pty = false;
  std::string LinkPath;
  bool Once = false;
  std::string LogPath;
  /// Bits per second the bytes are paced at (10 bits a byte); 0 unpaced.
  int LineSpeed = 0;
  TFaultOptions Faults;
  /// Play a chip-card reader instead of the register.
  bool CardReader = false;
  TCardReaderOptions Card;
  THayesOptions Modem;
  /// Play a recorded conversation instead of the register.
  TReplayOptions Replay;
};

TSimOptions ParseSimOptions(const std::vector<std::string>& arguments);

/// The model name a "--model" value stands for: a model code ("465") or a
/// model name ("CM-840/842"). Raises std::invalid_argument for neither.
std::string ModelNameOf(std::string_view value);

/// The status byte of a key position for the model: a position name (OFF,
/// R, X, Z, P, S, XT; REG on the "ECR 39T") or a byte in hexadecimal ("0x10").
std::uint8_t KeyStatusOf(std::string_view modelName, std::string_view key);

/// The first model code from 1 up that a register of this model answers with.
int DefaultModelCode(std::string_view modelName, bool cmFamily);

extern const std::string_view SimHelpText;
