#pragma once
// The communication log: the one diagnostic trace of the program. Every layer
// writes through LogLine. Two independent sinks, each active while its file
// name is non-empty: a plain 8-bit text file and an enciphered one ("KL.log").
// Each call opens, appends one CR LF line and closes, so the log survives a
// crash up to the last completed call. An I/O failure of a sink is thrown to
// the caller (std::runtime_error with the system's message).
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "base/hex_text.h"

/// File of the plain-text log; empty means no plain log.
extern std::string PlainLogPath;
/// File of the enciphered log; empty means no enciphered log.
extern std::string CipheredLogPath;

/// Sleeps `delayMs` when it is positive, then writes date, time, " ", the
/// message and the hex dump of `data` to each active sink.
void LogLine(std::string_view message, std::string_view data = {}, int delayMs = 0);

/// Date and time as log lines show them: strftime "%x %X" (short date, blank,
/// long time) of `localTime` in the current locale.
std::string FormatLogTimeStamp(const std::tm& localTime);

/// The log text of one call: the time stamp, " ", the message and HexDump of
/// the data. The line stays within 16 KiB: a message beyond 12 KiB, or data
/// beyond 1 KiB, is cut there and followed by "... (" + its whole length +
/// " znaku)" or " bytu)".
std::string BuildLogText(std::string_view timeStamp, std::string_view message, std::string_view data);
