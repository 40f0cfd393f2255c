#pragma once
// TJournalFile: a downloaded electronic journal as its file keeps it: the
// receipt-header lines and, for every journal record, the raw record and its
// decoded lines. The layout is described in journal_format.h.
//
// Write puts a new file in place only when it is complete and on the disk,
// and never replaces an existing file. Read checks every data line against
// its copy.
#include <string>
#include <vector>

#include "journal/journal_decoder.h"

/// One journal record with its decoded lines.
struct TJournalEntry {
  std::string Record;
  JournalLines Lines;
};

/// What the first line of a file says about it.
struct TJournalProbe {
  enum class Version { None, Older, Current };
  Version Kind = Version::None;
  bool Enciphered = false;
  bool HasMagic() const { return Kind != Version::None; }
};

class TJournalFile {
public:
  bool CurrentVersion = true;
  std::vector<std::string> HeaderLines;
  std::vector<TJournalEntry> Entries;

  /// Reads the first line with the cipher on, then off. A file that cannot be
  /// read at all probes as without magic.
  static TJournalProbe Probe(const std::string& path);

  /// Reads a file with a magic. Raises "#53" when the file is missing and
  /// "#54" when it has no magic, is enciphered otherwise than `enciphered`
  /// asks, a data line differs from its copy, a record is not RecordDigits
  /// long, there are more records than RowsWithoutCapacity or anything
  /// follows the end marker. A file that ends early or cannot be read part-way throws the
  /// data stream's failure (std::exception; the printing reports it as 55).
  static TJournalFile Read(const std::string& path, bool enciphered);

  /// Writes the current version under `path`: into a temporary file in the
  /// same folder, forced to the disk, then renamed to `path` only if no file
  /// of that name exists. Raises "#51" when one does (also when another
  /// writer got there first); the temporary file is removed on every
  /// failure. Other failures are thrown as they come (std::exception).
  /// The cipher runs on a thread of its own, the writing on another (see
  /// TOverlappedTextWriter); a failure of either is thrown as it came.
  void Write(const std::string& path, bool enciphered) const;

  /// Sets every entry's lines from its record (decoded with names) and
  /// writes the file as Write does. Each entry is decoded just before it is
  /// handed to the writing, so the decoding overlaps the cipher instead of
  /// coming before it. After a failure the entries are partly decoded.
  void DecodeAndWrite(const TJournalDecoder& decoder, const std::string& path, bool enciphered);

  /// The decoded lines of all records, in order, each ending in CR LF.
  std::string PlainText() const;
};
