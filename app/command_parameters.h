#pragma once
// The values of one command other than its communication settings. The
// command processor creates them with their defaults, the command line fills
// them and the activities read them.
#include <cstdint>
#include <string>

struct CommandParameters {
  std::string Activity;
  bool Minimized = false;
  std::string Ean;
  std::string DataFile;
  std::string JournalFile;
  std::int32_t FontSize = 0;
  std::int32_t NetId = 0;
  std::string ModelCode;
  std::int32_t FileFormat = 1;
  std::int32_t CodePage = 852;
  std::int32_t JournalRow = -1;
  std::string ShopId;
  std::string RegisterId;
  std::string ExportDir;
  /// "/DIFF=": where a comparison writes its differences; empty for
  /// "DIFFnn.txt" in the program's folder.
  std::string DiffFile;
  /// "/STRICT": a comparison that finds differences ends with 60.
  bool Strict = false;
  /// "/VERIFY": a written table is read back and compared.
  bool Verify = false;
  /// "/LOG=": a plain log of the parsing of the command. Nothing is logged
  /// while the command is parsed, and the command's own lines go to the
  /// enciphered log only, so no line reaches it.
  std::string PlainLogFile;
  /// "/JSON": the outcome is also written as "error.json".
  bool JsonOutcome = false;
  /// Rows the activity's transfers moved, for "error.json".
  std::int64_t TransferredRows = 0;
};
