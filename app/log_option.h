#pragma once
// The persistent settings of the enciphered communication log: whether it
// is written ("LogSouborSifra" of section "Ver2") and how large it may grow
// ("LogMaxMB", default unlimited).
#include <cstdint>
#include <string>

/// Reads "LogSouborSifra" of section "Ver2": non-zero, or settings that are
/// there but cannot be read, set CipheredLogPath to dir + "KL.log"; otherwise
/// it is cleared.
void ReadLogOption(const std::string& dir);

/// Writes 1 or 0 to "LogSouborSifra" of section "Ver2".
void WriteLogOption(bool on);

/// The name ending of the one older log kept: "KL.log" becomes "KL.log.1".
inline constexpr const char* OlderLogSuffix = ".1";

/// "LogMaxMB" of section "Ver2" in bytes; 0 (no limit) when it is missing,
/// zero or negative.
std::uintmax_t CipheredLogLimit();

/// When the enciphered log is on, a limit is set and the log has grown past
/// it, renames it to the older log (replacing an earlier one), so that the
/// next line begins a new file. Called at the start of a command only, never
/// while one writes. True when it renamed; throws std::system_error when the
/// renaming fails.
bool KeepCipheredLogWithin(std::uintmax_t limit);
