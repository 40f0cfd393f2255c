#include "app/command_help.h"

#include <algorithm>
#include <iterator>

#include "app/activity_table.h"
#include "app/command_line.h"
#include "base/joined_text.h"
#include "model/model_list.h"

namespace {

struct TActivityHelp {
  std::string_view Word;
  std::string_view Description;
};

// What each word of the activity table does, in a line.
constexpr TActivityHelp ActivityHelpRows[] = {
    {"R", "read table nn (03 PLU, 70 financial report ...) from the register to /FILE="},
    {"W", "write table nn from /FILE= to the register (/VERIFY: read it back and compare)"},
    {"D", "read table nn and compare it with /FILE=; the differences to /DIFF= (60 with /STRICT)"},
    {"A", "write table nn from /FILE=, the register adding the rows (option A)"},
    {"V03", "write new PLU from /FILE= (sorted by PLU code; error 8 otherwise)"},
    {"N", "send reset hh (hexadecimal; some resets are refused: error 49)"},
    {"STS", "write the register's key position to /FILE="},
    {"PLU", "ask the register for the PLU of /EAN= and write the answer to /FILE="},
    {"RJF", "ask for journal row /ROW= and write it to /FILE="},
    {"OLJ", "read the journal from row /ROW= on, newest first, to /FILE="},
    {"ROT", "export the open restaurant tables and their items to /FILE="},
    {"EXPORTZ74", "export the day's PLU sales (table 74) as CSV into /EXPORTDIR= (any case)"},
    {"BLOCK", "block the register"},
    {"DEBLOCK", "release a blocked register"},
    {"SAVEZUR", "save the register's journal to /ZURNAL= (never overwritten), decoded lines to /FILE="},
    {"SAVERESETZUR", "the same, then clear the register's journal"},
    {"PRINTZUR", "print the stored journal /ZURNAL= through the print viewer (no register)"},
    {"PRINTUCT", "print copies of the receipts of /ZURNAL= (no register)"},
    {"PCSR", "copy the chip card in the card reader to /FILE= (256 bytes, or the range from.count)"},
    {"PCSW", "write /FILE= to the chip card and read it back (the whole card, or the range from.count)"},
    {"MODEMDIAL", "dial the modem on /COM= (/DIALTONE= or /DIALPULS=; /FILE= AT commands sent first)"},
    {"MODEMHANGUP", "hang up the modem"},
};

std::string Padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text + " ";
}

std::string ParameterSyntax(const TCommandParameter& row) {
  std::string form = JoinedText({"/", row.Key});
  if (row.Form == ParameterForm::Value) form += JoinedText({"=", row.ValueName});
  return form;
}

std::string UsageLines() {
  return "Usage: mervmodul ACTIVITY /PARAMETER=VALUE ...   run one command\n"
         "       mervmodul DOSMODE FILE                    run each command file that appears at FILE\n"
         "       mervmodul                                 show the state, switch the log\n"
         "       mervmodul --explain [N]                   explain error N (no N: the last outcome)\n"
         "       mervmodul --list-models                   the models, their /ECR= codes and tables\n"
         "       mervmodul --ports                         the serial devices and their COM numbers\n"
         "       mervmodul -h | --help | --version\n"
         "\n"
         "A command writes its outcome to error.dat in the program folder of its\n"
         "line (the folder MERV_PROGRAM_DIR names, else the executable's folder):\n"
         "the error number (\" 0\" for success) and the interface version, CR LF each.\n"
         "The exit status is 0, or 1 when error.dat could not be written; 2 for a\n"
         "wrong option. `mervmodul --explain N` says what error N means.\n"
         "Paths take backslashes (\"/\" separates parameters); quote them in a shell:\n"
         "  mervmodul R03 /COM=1 /BR=2 /ECR=465 '/FILE=\\srv\\shop\\plu.txt'\n";
}

std::string ActivityLines() {
  std::string text = "\nActivities:\n";
  for (const TActivity& row : Activities()) {
    text += "  " + Padded(ActivityForm(row.Word), 18) + std::string(ActivityDescription(row.Word)) + "\n";
  }
  return text;
}

std::string ParameterLines() {
  std::string text = "\nParameters:\n";
  for (const TCommandParameter& row : ParameterTable()) {
    std::string line = JoinedText({"  ", Padded(ParameterSyntax(row), 18), row.Meaning});
    if (row.Default != nullptr) line += " (default " + row.Default() + ")";
    text += line + "\n";
  }
  return text;
}

std::string SpeedLines() {
  std::string text = "\nSpeed codes of /BR=:";
  for (const TBaudRateCode& row : BaudRateCodes()) {
    text += JoinedText({" ", std::to_string(row.Code), "=", std::to_string(row.BitsPerSecond)});
  }
  return text + " (bit/s)\n";
}

// Where the manual and the table of every error number are.
std::string DocumentLines() {
#ifdef MERV_INSTALLED_DOCDIR
  // The package installs the documents compressed, as Debian wants them.
  return "\nSee mervmodul(1). Every error number is explained by `mervmodul --explain N`\n"
         "and in " MERV_INSTALLED_DOCDIR "/errors.md.gz (docs/errors.md of the sources).\n";
#else
  return "\nSee mervmodul(1) and docs/errors.md.\n";
#endif
}

std::string ModelLines() {
  std::string text = "\nModel codes of /ECR=:\n";
  for (const TModel& model : Models) {
    if (!model.Code.empty()) text += "  " + Padded(std::string(model.Code), 6) + std::string(model.Name) + "\n";
  }
  return text;
}

}  // namespace

std::string ActivityForm(std::string_view word) {
  const TActivity* row = nullptr;
  for (const TActivity& candidate : Activities()) {
    if (candidate.Word == word) row = &candidate;
  }
  if (row == nullptr) return std::string(word);
  switch (row->Match) {
    case WordMatch::LetterAndTable:
      return std::string(word) + "nn";
    case WordMatch::LetterAndReset:
      return std::string(word) + "hh";
    case WordMatch::Prefix:
      return std::string(word) + "[.from.count]";
    case WordMatch::Exact:
    case WordMatch::AnyCase:
      break;
  }
  return std::string(word);
}

std::string_view ActivityDescription(std::string_view word) {
  const auto found = std::find_if(std::begin(ActivityHelpRows), std::end(ActivityHelpRows),
                                  [word](const TActivityHelp& row) { return row.Word == word; });
  return found == std::end(ActivityHelpRows) ? std::string_view() : found->Description;
}

std::string HelpText() {
  return JoinedText({UsageLines(), ActivityLines(), "  ", Padded("DOSMODE FILE", 18),
                     "resident mode: run each command file that appears at FILE (first argument only)\n",
                     ParameterLines(), SpeedLines(), ModelLines(), DocumentLines()});
}
