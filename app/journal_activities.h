#pragma once
// The journal activities: saving the register's electronic journal into a
// journal file (and clearing it in the register once the file is safely in
// place), and printing a stored journal or copies of its receipts through
// the print viewer.
#include <cstddef>
#include <functional>

#include "app/activity_run.h"

class TSoubory;
class TPrintViewer;

/// Lines of a plain-text journal printed at most: more than three times the
/// text of the longest journal a save writes (RowsWithoutCapacity records of
/// up to three lines), and few enough that the lines of short or empty ones
/// take no more than some tens of MB on their way into the document.
constexpr std::size_t MaxPlainTextLines = 1'000'000;

/// One transfer run; it returns its outcome, failures included, and throws
/// none.
using TransferRun = std::function<TTransferOutcome(const TTransferRequest&)>;

/// Downloads the journal name tables, the receipt header (31) and the journal
/// (87) in one transfer and writes the journal file named by `JournalFile`,
/// and the decoded text to `DataFile` when it is given. With `reset` the
/// register's journal is cleared afterwards, and only when the file is in
/// place under its name and nothing failed. Raises "#50", "#51", "#52" (also
/// before the transfer, when `DataFile` names the journal file itself).
void SaveJournal(const TSoubory& catalogue, const CommandParameters& parameters, bool reset,
                 const TransferRun& transfer);

/// The steps of the activity table: "SAVEZUR", "SAVERESETZUR", "PRINTZUR",
/// "PRINTUCT".
void SaveJournalToFile(TActivityRun& run);
void SaveJournalAndReset(TActivityRun& run);
void PrintStoredJournal(TActivityRun& run);
void PrintReceiptCopies(TActivityRun& run);

/// Reads the journal file named by `JournalFile` and hands the whole journal
/// or the receipt copies, in the print size `FontSize`, to the viewer.
/// Raises "#53", "#54", "#55" and the viewer's failures.
void PrintJournal(const TSoubory& catalogue, const CommandParameters& parameters, bool receiptCopies,
                  const TPrintViewer& viewer);
