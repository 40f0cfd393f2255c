#pragma once
// TJournalPrintDocument: the lines of the print document handed to the print viewer
// for a stored journal: the whole journal, the copies of its receipts, or a
// plain text file shown as it is. The mark-up constructs are fixed texts
// whose meaning belongs to the viewer. All texts are code page 1250.
#include <string>
#include <string_view>
#include <vector>

class TJournalFile;

class TJournalPrintDocument {
public:
  /// `fontSize` is the FONT= value: 2 large, 1 medium, anything else small.
  /// `programTitle` heads every page.
  TJournalPrintDocument(int fontSize, std::string programTitle);

  /// The whole journal; `commandLineMode` adds the taxpayer label before the
  /// receipt-header lines of a current-version file.
  std::vector<std::string> Journal(const TJournalFile& file, bool commandLineMode) const;
  /// The receipts of the journal, laid out in cells of one to three columns.
  std::vector<std::string> ReceiptCopies(const TJournalFile& file, bool commandLineMode) const;
  /// A file without magic: its lines unchanged.
  std::vector<std::string> PlainText(const std::vector<std::string>& lines) const;

  /// One entry per decoded line: a blank mark, the record's two-character
  /// code, the line.
  static std::vector<std::string> LineList(const TJournalFile& file);
  /// Marks the first line of every receipt "#" and its further lines "*";
  /// lines outside receipts keep their blank.
  static void MarkReceipts(std::vector<std::string>& list);
  /// The body of the receipt copies for `columns` cells a row, after the
  /// table head.
  static std::vector<std::string> ReceiptCells(const std::vector<std::string>& markedList, int columns);

private:
  std::vector<std::string> Opening(std::string_view title) const;
  void AddHeader(std::vector<std::string>& lines, const TJournalFile& file, bool commandLineMode) const;

  int size_;
  std::string programTitle_;
};
