#pragma once
// The persistent settings of the enciphered communication log: whether it
// is written ("LogSouborSifra" of section "Ver2") and how large it may grow
// ("LogMaxMB", 100 MB when missing, 0 for no bound).
#include <cstdint>
#include <string>

#include "base/communication_log.h"

/// Reads "LogSouborSifra" of section "Ver2": non-zero, or settings that are
/// there but cannot be read, set the log's enciphered file to dir +
/// "KL.log"; otherwise the log has none.
void ReadLogOption(TCommunicationLog& log, const std::string& dir);

/// Writes 1 or 0 to "LogSouborSifra" of section "Ver2".
void WriteLogOption(bool on);

/// "LogMaxMB" of section "Ver2" in bytes: 100 MB when it is missing, 0 (no
/// limit) when it is zero or negative.
std::uintmax_t CipheredLogLimit();

/// Makes `limit` the bound of the enciphered log (0: none), which the log
/// keeps as it grows, and, when the log is on and has grown past it already,
/// renames it to the older log (KL.log.1, replacing an earlier one), so that
/// the next line begins a new file. Called at the start of a command. True
/// when it renamed; throws std::system_error when the renaming fails.
bool KeepCipheredLogWithin(TCommunicationLog& log, std::uintmax_t limit);
