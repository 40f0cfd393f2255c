#pragma once
// The one persistent setting of the module: whether the enciphered
// communication log is written ("LogSouborSifra" of section "Ver2").
#include <string>

/// Reads "LogSouborSifra" of section "Ver2": non-zero sets CipheredLogPath to
/// dir + "KL.log", otherwise clears it.
void ReadLogOption(const std::string& dir);

/// Writes 1 or 0 to "LogSouborSifra" of section "Ver2".
void WriteLogOption(bool on);
