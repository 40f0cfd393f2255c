#include "tools/mervsim/sim_options.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <stdexcept>

#include "base/split_text.h"
#include "model/model_list.h"
#include "protocol/link_protocol.h"
#include "tools/argument_reader.h"

const std::string_view SimHelpText = R"(Usage: mervsim (--tcp PORT | --pty [--link PATH]) [options]
       mervsim --help | --version

mervsim plays an electronic cash register on a TCP port of 127.0.0.1 or on a
pseudo-terminal, so that mervmodul can be run and tested without a register.
It answers the link protocol as the register does: ENQ, DTX (tables and
resets sent to it), DRQ (tables, reports and the journal read from it), with
records and check bytes of the chosen model.

When it is ready it prints one line to standard output:
  mervsim listening on tcp 127.0.0.1:PORT
  mervsim listening on pty /dev/pts/N
It serves one connection after another until SIGTERM or SIGINT ends it.

Line:
  --tcp PORT          listen on 127.0.0.1:PORT; 0 picks a free port. On ports
                      14000 to 14009 every FFh byte is doubled on the wire in
                      both directions, as the register's network adapter does.
  --tcp-range FIRST:COUNT
                      play COUNT registers at once, one on each port from
                      FIRST on, each with tables and a journal of its own
                      (made alike from the options); a register serves its
                      connections one after another. The ready line is
                      "mervsim listening on tcp 127.0.0.1:FIRST-LAST".
                      With --log FILE each register logs to FILE.PORT.
  --faulty N          with --tcp-range: the fault options apply to the last
                      N registers of the range only (default: to all).
  --pty               create a pseudo-terminal and serve its master side; the
                      program opens the slave device printed at the start. A
                      connection lasts while the slave is open.
  --link PATH         with --pty: also make a symbolic link PATH to the slave
                      (removed at the end), for MERV_COM<n>=PATH.
  --once              end after the first connection has closed.
  --line-speed BITS   pace the bytes at BITS bit/s, 10 bits a byte, in both
                      directions (received bytes are taken no faster).

Register:
  --model MODEL       model code as mervmodul's /ECR= takes it (39, 40, 359,
                      360, 362, 465, 466, 396, 549, 579E, 579, 649, 650, 652)
                      or a model name ("ECR 465T/465TF", "CM-840/842",
                      "CM-1840F", "CM-1840S", "CM-1846F", "CM-1846S",
                      "CM-1856F"). Default 465. The model decides the tables,
                      record layouts and command bytes (CM: E8h D2h D8h,
                      ECR: E9h D3h D7h).
  --model-code N      model code of the ENQ reply; default the first code the
                      model answers with (18 for the 465).
  --key POSITION      mode key position reported in the DTX/DRQ replies: OFF,
                      R, Z, XT, P, S (ECR 39T: OFF, REG or R, X, Z, P, S), or
                      a status byte in hexadecimal (0x03). Default R.
  --data DIR          load tables from DIR: the file tableNN.txt (NN the table
                      number in two digits, table03.txt for the PLU) in
                      layout 1 (cells each followed by ";"), code page 852,
                      lines as mervmodul writes them with /FORMAT=1 /CODE=852.
                      Only tables that may be written to the register are
                      loaded; the others keep the demo data.
  --plu-count N       number of demo PLU (default 30000; 0 to 30000).
  --sale CODE[:QTY][,CODE[:QTY]...]
                      one more receipt, sold after the demo day (repeat the
                      option for more): PLU codes of table 3 with quantities
                      ("2", "0.250"; default 1), operator 1, paid in cash,
                      stamped with the time of the start. It counts in the
                      reports and is written to the journal.

Demo data (always made, then overridden by --data): departments (table 1),
main groups (2), PLU with EAN-13 codes 8590000000015 on (3), operators (6),
head waiters (7), payment keys (8), VAT rates (30), receipt header (31), stock
(65); a day of 240 receipts from which the reports 70 to 85 and the journal
(87, 88, 92) are computed (the journal also holds what a register writes
between receipts: log-ins, hand-overs, cash in and out, voided and corrected
receipts, card events, the day's X report with the function-key lines of the
465 family and the CM-840/842; a Z reset writes its report to it); three open tables (89, 91). Table 3 uploaded with
code 61h replaces the PLU table, with 03h or 63h adds to it by PLU code.
The PLU query (DTX 67 with the EAN, then DRQ 90) returns the PLU's record
in the layout of table 74; the journal row query (DTX 67, DRQ 92) returns the
journal from the row asked for; table 88 is the journal newest row first.
Resets 45h to 57h clear what they name: 45h the PLU table, 46h everything,
47h the open tables, 48h to 55h and 57h their reports, 56h the journal.

Faults:
  --bad-check K[:N]   send record K of every download (counted from 1) with a
                      wrong check byte, its first N sends (default 1).
  --status-reply FRAME:BYTE[:COUNT]
                      answer FRAME with the status BYTE (hexadecimal: 15 for
                      NAK, 0B, 0C, 0D, 0E, 16, 17 ...) instead of the reply,
                      COUNT times per connection (default 1). FRAME is enq,
                      dtx or drq (every such command), record:K (record K of
                      an upload, its repeats included) or frame:N (the N-th
                      frame received on the connection, a command or an upload
                      record). May be given several times; the first that
                      matches a frame (and has sends left) decides.
  --empty             answer every DRQ with the end frame (nothing to send).
  --silent-after N    answer only the first N frames of a connection.
  --drop-after K      drop the connection after record K of a transfer (sent
                      in a download, received and not answered in an upload).
                      On a pseudo-terminal the register stops answering until
                      the slave is closed.
  --store-wrong K     accept record K of every table written (counted from 1)
                      and answer it as usual, but store it changed: the first
                      letter of its first text column becomes "X" ("Y" where
                      it was "X"), so the table reads back with that row
                      changed (a table without text gets its last data byte
                      changed).

Card reader (instead of the register):
  --card FILE         play a chip-card reader with a 256-byte card whose
                      image is FILE (raw bytes; a missing file gives a demo
                      card, byte i = (i * 37 + 11) mod 256). Every block the
                      program writes is saved to FILE at once.
  --card-status S     reader status of the greeting: present (40h, the
                      default), absent (00h), wrong (present, but the card is
                      inserted wrongly: 31h once it is selected) or a byte in
                      hexadecimal with error bits (44, 48, 50).
  --card-bad-echo N   the echo of the byte written to cell N comes back changed.
  --card-bad-check    block reads end with a wrong check byte.
  --card-end-a5       the end of the session is answered A5h.
  --card-stuck N      cell N keeps its old value when written.
  --card-silent       the reader answers nothing.

Modem (with --pty):
  --modem ANSWER      be a Hayes modem in front of the register: echo, "OK",
                      S-register queries (ATS2?, ATS12?, ATS86?), ATDT/ATDP
                      answered with ANSWER: connect ("CONNECT 9600", then the
                      register is on the line), busy, no-carrier,
                      no-dialtone, silence (no answer to the dial), mute
                      (no answer to anything, not even an echo) or flood
                      (the dial is answered with pseudo-random bytes without
                      end, as fast as the line takes them, until the line
                      closes). On line,
                      "+++" between guard times of quiet returns to command
                      mode (ATH0 ends the call, ATO goes back on line); the
                      call also ends when the line is closed.
  --modem-s2 N        escape character code (default 43, "+").
  --modem-s12 N       escape guard time in fiftieths of a second (default 50).
  --modem-s86 N       reason given for a call that failed (default 0).

Replay (instead of the register):
  --replay LOG        play the register's side of a conversation that
                      mervmodul recorded in its communication log LOG (the
                      enciphered KL.log, or a plain /LOG= file): each frame
                      the module sends is compared with the frame the log
                      shows it sending there, and answered with the bytes the
                      register sent then; where the register was silent the
                      replay is silent, and where it closed the TCP connection
                      the replay closes it. Every opening of the line in the
                      log is one connection. The first frame that differs is
                      reported on standard error with the frame's number, the
                      log line and both frames in hexadecimal:
                        mervsim: replay: frame 7 differs from log line 212
                          log:    D7 06 D1 52
                          module: D7 15 C2 52
                      and that connection gets no more answers. At the end
                      it says how many frames went as in the log; the exit
                      status is then 3 when any frame differed.
  --replay-from LINE  start at the first opening of the line at or after
                      line LINE of the log (a log holds every command run
                      while it was on).

Output:
  --log FILE          write every frame received and sent, one line each:
                      "recv E9 00 03 EA 2A", "send 12 10 F3 DB"; lines
                      beginning "note" say what the register did, such as
                      "note connection opened from 127.0.0.1:40312" (the
                      program's address; none on a pseudo-terminal).
  --help              this text.
  --version           the version.

An option's value may also be joined to it with "=": --tcp=0.

Exit status: 0 after a signal or --once, 2 for a wrong command line, 1 when
the line cannot be served (or the replayed log read), 3 when a replay found
a frame that differs.
)";

namespace {

constexpr int MaxPluCount = 30000;
constexpr int HighestPort = 65535;
constexpr int MaxRangeCount = 10000;

// The key positions by name, with the bit each sets in the status byte of
// the ECR models and of the ECR 39 (NoPosition: the model has no such name).
constexpr int NoPosition = -1;
struct TKeyName {
  std::string_view Name;
  int EcrBit;
  int Ecr39Bit;
};
constexpr std::array<TKeyName, 8> KeyNames = {{
    {"Z", 2, 1},
    {"XT", 3, NoPosition},
    {"X", NoPosition, 2},
    {"REG", 4, 3},
    {"R", 4, 3},
    {"OFF", 5, 4},
    {"P", 6, 5},
    {"S", 7, 6},
}};

[[noreturn]] void Refuse(const std::string& message) { throw std::invalid_argument(message); }

std::string Upper(std::string_view text) {
  std::string upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return upper;
}

int Number(std::string_view text, std::string_view option, int lowest, int highest) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < lowest || value > highest) {
    Refuse(std::string(option) + ": \"" + std::string(text) + "\" is not a number from " + std::to_string(lowest) +
           " to " + std::to_string(highest));
  }
  return value;
}

std::uint8_t HexByte(std::string_view text, std::string_view option) {
  std::string_view digits = text;
  if (digits.size() > 2 && (digits.substr(0, 2) == "0x" || digits.substr(0, 2) == "0X")) digits.remove_prefix(2);
  if (!digits.empty() && (digits.back() == 'h' || digits.back() == 'H')) digits.remove_suffix(1);
  unsigned value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || value > 0xFF) {
    Refuse(std::string(option) + ": \"" + std::string(text) + "\" is not a byte in hexadecimal");
  }
  return static_cast<std::uint8_t>(value);
}

// "2", "0.250", "1.5": thousandths.
std::int64_t SaleQuantity(std::string_view text, std::string_view whole) {
  const auto point = text.find('.');
  const std::string_view units = text.substr(0, point);
  std::string_view decimals = point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
  const bool digitsOnly = units.find_first_not_of("0123456789") == std::string_view::npos &&
                          decimals.find_first_not_of("0123456789") == std::string_view::npos;
  if (units.empty() || units.size() > 4 || decimals.size() > 3 || !digitsOnly) {
    Refuse("--sale: \"" + std::string(whole) + "\" has a quantity that is not 0.001 to 9999.999");
  }
  std::string thousandths(units);
  thousandths += decimals;
  thousandths.append(3 - decimals.size(), '0');
  const std::int64_t value = std::stoll(thousandths);
  if (value == 0) Refuse("--sale: \"" + std::string(whole) + "\" sells a quantity of 0");
  return value;
}

TSaleOrder ParseSale(std::string_view value) {
  TSaleOrder order;
  for (std::size_t start = 0; start <= value.size();) {
    const auto comma = std::min(value.find(',', start), value.size());
    const auto parts = SplitText(value.substr(start, comma - start), ':');
    std::int64_t code = 0;
    const auto [end, error] = std::from_chars(parts[0].data(), parts[0].data() + parts[0].size(), code);
    if (parts.size() > 2 || parts[0].empty() || error != std::errc() || end != parts[0].data() + parts[0].size() ||
        code <= 0) {
      Refuse("--sale: \"" + std::string(value) + "\" is not CODE[:QTY][,CODE[:QTY]...]");
    }
    order.Items.push_back({code, parts.size() == 2 ? SaleQuantity(parts[1], value) : 1000});
    start = comma + 1;
  }
  return order;
}

void ParseBadCheck(std::string_view value, TFaultOptions& faults) {
  const auto parts = SplitText(value, ':');
  if (parts.size() > 2) Refuse("--bad-check: \"" + std::string(value) + "\" is not K or K:N");
  faults.BadCheckRecord = Number(parts[0], "--bad-check", 1, 1'000'000);
  faults.BadCheckSends = parts.size() == 2 ? Number(parts[1], "--bad-check", 1, 1'000'000) : 1;
}

TStatusReplyRule ParseStatusReply(std::string_view value) {
  constexpr std::string_view option = "--status-reply";
  auto parts = SplitText(value, ':');
  TStatusReplyRule rule;
  const std::string target = Upper(parts.front());
  std::size_t next = 1;
  if (target == "ENQ") {
    rule.Aim = TStatusReplyRule::Target::Enq;
  } else if (target == "DTX") {
    rule.Aim = TStatusReplyRule::Target::Dtx;
  } else if (target == "DRQ") {
    rule.Aim = TStatusReplyRule::Target::Drq;
  } else if ((target == "RECORD" || target == "FRAME") && parts.size() > 1) {
    rule.Aim = target == "RECORD" ? TStatusReplyRule::Target::Record : TStatusReplyRule::Target::Frame;
    rule.Number = Number(parts[1], option, 1, 1'000'000);
    next = 2;
  } else {
    Refuse(std::string(option) + ": \"" + std::string(value) +
           "\" does not start with enq, dtx, drq, record:K or frame:N");
  }
  if (parts.size() < next + 1 || parts.size() > next + 2) {
    Refuse(std::string(option) + ": \"" + std::string(value) + "\" is not FRAME:BYTE[:COUNT]");
  }
  rule.Status = HexByte(parts[next], option);
  rule.Count = parts.size() == next + 2 ? Number(parts[next + 1], option, 1, 1'000'000) : 1;
  return rule;
}

TTcpRange ParseTcpRange(std::string_view value) {
  const auto parts = SplitText(value, ':');
  if (parts.size() != 2) Refuse("--tcp-range: \"" + std::string(value) + "\" is not FIRST:COUNT");
  TTcpRange range;
  range.First = Number(parts[0], "--tcp-range", 1, HighestPort);
  range.Count = Number(parts[1], "--tcp-range", 1, std::min(MaxRangeCount, HighestPort - range.First + 1));
  return range;
}

void CheckTcpRange(TSimOptions& options, std::optional<int> faulty) {
  if (!options.TcpRange) {
    if (faulty) Refuse("--faulty needs --tcp-range");
    return;
  }
  if (options.TcpPort || options.Pty) Refuse("--tcp-range goes without --tcp and --pty");
  if (options.Modem.Enabled || options.CardReader) Refuse("--tcp-range plays registers only, without a modem");
  if (options.Once) Refuse("--once goes with one register, not with --tcp-range");
  if (faulty && *faulty > options.TcpRange->Count) Refuse("--faulty: more registers than the range has");
  options.TcpRange->Faulty = faulty;
}

}  // namespace

std::string ModelNameOf(std::string_view value) {
  if (std::string name = ModelNameOfCode(value); !name.empty()) return name;
  if (ModelNamed(value) != nullptr) return std::string(value);
  Refuse("--model: \"" + std::string(value) + "\" is neither a model code nor a model name (see --help)");
}

std::uint8_t KeyStatusOf(std::string_view modelName, std::string_view key) {
  const std::string name = Upper(key);
  const bool ecr39 = modelName == ModelName::Ecr39;
  for (const auto& entry : KeyNames) {
    const int bit = ecr39 ? entry.Ecr39Bit : entry.EcrBit;
    if (entry.Name == name && bit != NoPosition) return KeyPositionBit(bit);
  }
  if (!name.empty() && std::isdigit(static_cast<unsigned char>(name[0]))) return HexByte(key, "--key");
  Refuse("--key: the model \"" + std::string(modelName) + "\" has no key position \"" + std::string(key) + "\"");
}

int DefaultModelCode(std::string_view modelName, bool cmFamily) {
  const int highest = cmFamily ? 8 : 23;
  for (int code = 1; code <= highest; ++code) {
    if (ModelCodeFits(modelName, code, cmFamily)) return code;
  }
  return 1;
}

// The card reader's options; false for a name that is none of them.
bool ParseCardOption(const std::string& name, TArgumentReader& reader, TSimOptions& options) {
  TCardReaderOptions& card = options.Card;
  if (name == "--card") {
    card.ImagePath = reader.Value();
    options.CardReader = true;
  } else if (name == "--card-status") {
    const std::string status = reader.Value();
    card.InsertedWrongly = status == "wrong";
    card.Status = status == "present" || status == "wrong" ? 0x40 : status == "absent" ? 0x00 : HexByte(status, name);
  } else if (name == "--card-bad-echo") {
    card.ChangedEchoCell = Number(reader.Value(), name, 0, 255);
  } else if (name == "--card-bad-check") {
    reader.NoValue();
    card.BadCheckByte = true;
  } else if (name == "--card-end-a5") {
    reader.NoValue();
    card.EndWithA5 = true;
  } else if (name == "--card-stuck") {
    card.StuckCell = Number(reader.Value(), name, 0, 255);
  } else if (name == "--card-silent") {
    reader.NoValue();
    card.Silent = true;
  } else {
    return false;
  }
  return true;
}

TSimOptions ParseSimOptions(const std::vector<std::string>& arguments) {
  TSimOptions options;
  std::string key = "R";
  std::optional<int> faulty;
  TArgumentReader reader(arguments);
  while (reader.Next()) {
    const std::string& name = reader.Name();
    // The help and the version are answered whatever follows them.
    if (name == "--help" || name == "-h" || name == "--version") {
      reader.NoValue();
      options.Help = name != "--version";
      options.Version = name == "--version";
      return options;
    }
    if (name == "--model") {
      options.ModelName = ModelNameOf(reader.Value());
    } else if (name == "--model-code") {
      options.ModelCode = Number(reader.Value(), name, 0, 255);
    } else if (name == "--key") {
      key = reader.Value();
    } else if (name == "--data") {
      options.DataDir = reader.Value();
    } else if (name == "--plu-count") {
      options.PluCount = Number(reader.Value(), name, 0, MaxPluCount);
    } else if (name == "--sale") {
      options.Sales.push_back(ParseSale(reader.Value()));
    } else if (name == "--tcp") {
      options.TcpPort = Number(reader.Value(), name, 0, 65535);
    } else if (name == "--tcp-range") {
      options.TcpRange = ParseTcpRange(reader.Value());
    } else if (name == "--faulty") {
      faulty = Number(reader.Value(), name, 0, MaxRangeCount);
    } else if (name == "--pty") {
      reader.NoValue();
      options.Pty = true;
    } else if (name == "--link") {
      options.LinkPath = reader.Value();
    } else if (name == "--once") {
      reader.NoValue();
      options.Once = true;
    } else if (name == "--log") {
      options.LogPath = reader.Value();
    } else if (name == "--line-speed") {
      options.LineSpeed = Number(reader.Value(), name, 1, 10'000'000);
    } else if (name == "--bad-check") {
      ParseBadCheck(reader.Value(), options.Faults);
    } else if (name == "--status-reply") {
      options.Faults.StatusReplies.push_back(ParseStatusReply(reader.Value()));
    } else if (name == "--empty") {
      reader.NoValue();
      options.Faults.Empty = true;
    } else if (name == "--silent-after") {
      options.Faults.SilentAfter = Number(reader.Value(), name, 0, 1'000'000);
    } else if (name == "--drop-after") {
      options.Faults.DropAfter = Number(reader.Value(), name, 1, 1'000'000);
    } else if (name == "--modem") {
      options.Modem.Enabled = true;
      options.Modem.DialAnswer = DialAnswerOf(reader.Value());
    } else if (name == "--modem-s2") {
      options.Modem.S2 = Number(reader.Value(), name, 0, 255);
    } else if (name == "--modem-s12") {
      options.Modem.S12 = Number(reader.Value(), name, 0, 255);
    } else if (name == "--modem-s86") {
      options.Modem.S86 = Number(reader.Value(), name, 0, 255);
    } else if (name == "--store-wrong") {
      options.Faults.StoreWrongRecord = Number(reader.Value(), name, 1, 1'000'000);
    } else if (name == "--replay") {
      options.Replay.LogPath = reader.Value();
    } else if (name == "--replay-from") {
      options.Replay.FromLine = static_cast<std::size_t>(Number(reader.Value(), name, 1, 2'000'000'000));
    } else if (!ParseCardOption(name, reader, options)) {
      Refuse("unknown option \"" + name + "\" (see --help)");
    }
  }
  CheckTcpRange(options, faulty);
  if (!options.TcpRange && options.TcpPort.has_value() == options.Pty) Refuse("give either --tcp PORT or --pty");
  if (!options.LinkPath.empty() && !options.Pty) Refuse("--link needs --pty");
  if (options.Modem.Enabled && !options.Pty) Refuse("--modem needs --pty");
  if (options.Replay.FromLine > 1 && options.Replay.LogPath.empty()) Refuse("--replay-from needs --replay");
  options.KeyStatus = KeyStatusOf(options.ModelName, key);
  return options;
}
