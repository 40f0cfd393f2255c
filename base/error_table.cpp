#include "base/error_table.h"

#include <algorithm>
#include <iterator>

#include "base/code_page.h"
#include "base/error_numbers.h"
#include "base/localized_texts.h"
#include "base/platform.h"

namespace {

// Number, Czech text identifier, own Czech text, meaning, what to check.
constexpr TErrorEntry Rows[] = {
    {1,
     351,
     {},
     "The command names no activity, or one this module does not know (also a chip-card range outside the card).",
     "The first word of the command: see `mervmodul --help` for the activity words."},
    {2,
     352,
     {},
     "No COM line: the command gives neither /COM= nor /IPADDR=, or /COM= is not a number.",
     "Give /COM=n for a serial line or /IPADDR= and /IPPORT= for TCP/IP."},
    {3,
     353,
     {},
     "No line speed: /BR= is missing or not a number.",
     "Give /BR= with a speed code 1 to 5 or the speed in bit/s (`mervmodul --help`)."},
    {4,
     354,
     {},
     "The register did not answer at all on the COM line within the time-out.",
     "Cable and COM number (`mervmodul --ports`), the register switched on and in a position that communicates, /BR= equal to the register's speed, /TO=."},
    {5,
     355,
     {},
     "The transfer broke off: the register sent part of a frame, or nothing over TCP/IP, or more records than the table can hold.",
     "The connection (cable, network, the register's interface), the speed, interference on a long cable; then run the command again."},
    {6,
     356,
     {},
     "The input file cannot be opened or read, or is not a regular file.",
     "/FILE=: the path (backslashes, a bare name is in the program's folder), that the file exists and the user may read it."},
    {7,
     357,
     {},
     "The output file cannot be written: its folder is missing, or it is read-only, a FIFO nobody reads or no file at all.",
     "/FILE= (/DIFF=, /EXPORTDIR=): the folder exists and is writable, the disk is not full, the file is not read-only."},
    {8,
     358,
     {},
     "The input file is not sorted by its key column (a new PLU file must be sorted by PLU code).",
     "Sort the file by its first column and send it again."},
    {9,
     359,
     {},
     "The line could not be opened: the COM device cannot be opened or set up, or the TCP/IP connection was refused or timed out.",
     "The device of the COM number exists and the user may open it ({device access}), no other program holds it; over TCP/IP the address, the port and the network."},
    {10,
     0,
     {},
     "Any other failure; the log gives the text (a file system error, the print viewer missing, the log unwritable, a stopped command, an unreadable command file).",
     "The communication log (`kllog KL.log`) shows the failure's text."},
    {11,
     361,
     {},
     "The register answered the opening enquiry (ENQ) with something that is no model code.",
     "Speed and parity (/BR=, /PAR=), the network identity /ID=; another device on the line."},
    {12,
     362,
     {},
     "The register answered a data record sent to it (DTX) wrongly.",
     "The table and the model code /ECR=, the register's position (it may not accept this table now)."},
    {13,
     363,
     {},
     "The register answered a request for data (DRQ) wrongly.",
     "The table number exists on this model (/ECR=), the register's position."},
    {14,
     364,
     {},
     "The register did not acknowledge a data record, even after five attempts.",
     "The line's quality and speed; the file's rows fit the table's columns."},
    {16,
     366,
     {},
     "A check sum of a frame (or of the chip-card reader's answer) does not match.",
     "Interference on the line, speed and parity (/BR=, /PAR=), the cable."},
    {17,
     367,
     {},
     "The register reports that it is not ready to communicate.",
     "The register's key position and state: an open receipt, a report in progress, the programming mode."},
    {18, 368, {}, "/TO= is not a number.", "Give the time-out in milliseconds, for example /TO=4000."},
    {19, 369, {}, "/ID= is not a number.", "Give the register's network identity 0 to 255."},
    {21,
     371,
     {},
     "The register is another model than /ECR= names.",
     "The model code /ECR= (`mervmodul --list-models`), or whether another register answers on this line."},
    {22,
     875,
     {},
     "A line of the table file does not fit the table: too long, a cell of the wrong kind or with a value its field "
     "cannot hold (a number too large for its bytes, a price that is no plain number), a key (the PLU code) that is "
     "empty or no number, or more rows or key layouts than the table takes.",
     "The file's layout (/FORMAT=), code page (/CODE=) and the model (/ECR=) it was read with."},
    {23, 597, {}, "/ECR= names no model this module knows.", "The model code: `mervmodul --list-models`."},
    {25, 598, {}, "/CODE= is neither 852 nor 1250.", "Give /CODE=852 or /CODE=1250."},
    {26,
     422,
     {},
     "The register is full (OVERFLOW): rows of the upload were not stored.",
     "The register's capacity for this table; send fewer rows or clear it first."},
    {27,
     438,
     {},
     "The reset was not made: the register is busy.",
     "Finish what the register is doing (an open receipt), then reset again."},
    {28,
     439,
     {},
     "The register reports an error in its service information.",
     "The register's state; ask its service."},
    {29,
     440,
     {},
     "The register with this network identity is busy in the register network.",
     "Wait until it is free; the network identity /ID=."},
    {30,
     441,
     {},
     "Communication in the register network has not started.",
     "The register network's master register and its settings."},
    {31,
     442,
     {},
     "The register network does not answer; it is probably disconnected.",
     "The network cabling between the registers."},
    {32, 596, {}, "/FORMAT= is neither 1 nor 2.", "Give /FORMAT=1 (separated) or /FORMAT=2 (fixed width)."},
    {33,
     480,
     {},
     "The modem does not communicate: no \"OK\" to AT, or no echo of the dial command.",
     "The modem's cable, power and speed (/COM=, /BR=)."},
    {34, 475, {}, "The line is busy (the modem answered BUSY).", "Dial again later."},
    {35,
     599,
     {},
     "No connection was made (the modem answered NO CARRIER).",
     "The number, the remote modem; the log gives the modem's reason (ATS86?)."},
    {36,
     600,
     {},
     "Another modem failure (NO DIALTONE ...), or a line of the AT command file got no \"OK\".",
     "The telephone line, the AT command file (/FILE=)."},
    {38, 606, {}, "/ROW= is not a number.", "Give the first journal row as a number."},
    {39, 607, {}, "The chip-card reader answered wrongly (a wrong echo).", "The reader's cable and speed (/BR=5)."},
    {40,
     608,
     {},
     "The chip-card reader reported an error at the end of the copy.",
     "The card and the reader; run the copy again."},
    {41,
     609,
     {},
     "The file to write to the chip card has the wrong size.",
     "The file holds exactly the bytes of the range (256 for a whole card)."},
    {42, 610, {}, "No card is in the chip-card reader.", "Insert the card."},
    {43,
     611,
     {},
     "The card written does not read back the same.",
     "The card may be worn or protected; try another card."},
    {44, 612, {}, "The chip-card reader's status shows a communication error.", "The reader's cable and speed."},
    {45,
     613,
     {},
     "The chip-card reader's status shows a wrong command or a missing acknowledgement.",
     "The reader and its cable."},
    {46, 614, {}, "The card was removed wrongly.", "Leave the card in the reader until the copy ends."},
    {47, 651, {}, "/IPPORT= without /IPADDR=: the register's IP address is missing.", "Give /IPADDR=."},
    {48,
     652,
     {},
     "/IPADDR= without a valid /IPPORT=: the register's IP port is missing or not a number.",
     "Give /IPPORT= with the register's port."},
    {49, 0, "Nepovolený reset",
     "This reset may not be sent from the command line (the journal reset only with SAVERESETZUR).",
     "Use SAVERESETZUR to save and clear the journal; other resets at the register."},
    {50, 0, "soubor pro uložení žurnálu není definován", "The journal command gives no /ZURNAL=.",
     "Give /ZURNAL= with the journal file."},
    {51, 0, "soubor pro uložení žurnálu již existuje",
     "The journal file of /ZURNAL= exists already; a journal file is never overwritten.",
     "Give a new name, or move the old file away."},
    {52, 0, "chyba při uložení žurnálu do souboru", "The journal file could not be written (no reset was sent).",
     "The folder of /ZURNAL= is writable and the disk not full."},
    {53, 0, "nebyl nalezen soubor s uloženým žurnálem", "The journal file of /ZURNAL= does not exist.",
     "The path of /ZURNAL= (backslashes)."},
    {54, 0, "chybný formát souboru s uloženým žurnálem", "The journal file is damaged or not a journal file.",
     "Whether the file was changed or cut; use another copy."},
    {55, 0, "neznámá chyba při přípravě tisku", "The print document could not be prepared.",
     "The program's folder or TEMP is writable; the log gives the text."},
    {56,
     1002,
     {},
     "The register refuses sorting during this upload.",
     "The upload option (A, V or W) and the register's settings."},
    {57, 1029, {}, "The card is inserted wrongly.", "Insert the card the right way round."},
    {58, 1051, {}, "The register's key is not in the OFF position.", "Turn the key to OFF."},
    {60,
     410,
     {},
     "The register differs from the file: Dnn with /STRICT or Wnn /VERIFY found rows that differ.",
     "The differences file (/DIFF=, default DIFFnn.txt in the program's folder) names each row."},
};

constexpr bool RisingNumbers() {
  for (std::size_t i = 1; i < std::size(Rows); ++i) {
    if (Rows[i - 1].Number >= Rows[i].Number) return false;
  }
  return true;
}
static_assert(RisingNumbers(), "the error table is kept in rising order of the number");

}  // namespace

std::span<const TErrorEntry> ErrorTable() { return Rows; }

const TErrorEntry* FindErrorEntry(int number) {
  const auto found = std::lower_bound(std::begin(Rows), std::end(Rows), number,
                                      [](const TErrorEntry& row, int wanted) { return row.Number < wanted; });
  return found != std::end(Rows) && found->Number == number ? &*found : nullptr;
}

namespace {

// Where the advice names what lets a user open a serial device.
constexpr std::string_view DeviceAccessMark = "{device access}";

std::optional<TErrorExplanation> Explained(int number, const std::string& deviceAccess) {
  const TErrorEntry* row = FindErrorEntry(number);
  if (row == nullptr) return std::nullopt;
  const std::string czech =
      row->TextId != 0 ? Cp1250ToUtf8(LoadResourceString(CzechLanguageBase + row->TextId)) : std::string(row->OwnText);
  std::string advice(row->Advice);
  if (const auto mark = advice.find(DeviceAccessMark); mark != std::string::npos) {
    advice.replace(mark, DeviceAccessMark.size(), deviceAccess);
  }
  return TErrorExplanation{number, czech, std::string(row->Meaning), advice};
}

}  // namespace

std::optional<TErrorExplanation> ExplainError(int number) { return Explained(number, SerialDeviceAccessWords()); }

std::optional<TErrorExplanation> ExplainErrorOnEveryPlatform(int number) {
  return Explained(number, "Linux: the group dialout; Windows: the device manager lists the port");
}

std::string ErrorTextOf(int number) {
  const TErrorEntry* row = FindErrorEntry(number);
  if (row == nullptr) return {};
  return row->TextId != 0 ? LoadText(row->TextId) : Utf8ToCp1250(row->OwnText);
}
