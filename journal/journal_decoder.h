#pragma once
// TJournalDecoder: turns one electronic-journal record of table 87 into the
// receipt-style text lines the register would have printed for it. Names of
// departments, PLU, operators, payments, currencies and VAT rates come from
// the journal name tables of the catalogue, which the journal save downloads
// before the journal itself.
//
// The decoder borrows the catalogue; the catalogue must outlive it.
#include <string>

#include "journal/journal_lines.h"
#include "journal/journal_names.h"

class TSoubory;

class TJournalDecoder {
public:
  explicit TJournalDecoder(const TSoubory& catalogue);

  /// Decodes a record given as 40 capital hexadecimal digits. Never throws: a
  /// record that cannot be decoded gives the main line
  /// "ERROR: " + message + " (" + record + ")".
  JournalLines Decode(const std::string& recordHex, bool namesOn) const;

private:
  const TSoubory& catalogue_;
  TJournalNames names_;
};
