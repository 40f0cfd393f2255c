#include "app/journal_activities.h"

#include <filesystem>
#include <sstream>

#include "base/input_file.h"
#include "base/kom_error.h"
#include "base/safe_output_file.h"
#include "app/print_viewer.h"
#include "base/process_values.h"
#include "journal/journal_decoder.h"
#include "journal/journal_file.h"
#include "journal/journal_format.h"
#include "journal/print_document.h"
#include "model/soubory.h"
#include "model/table_numbers.h"
#include "base/communication_log.h"

namespace {

constexpr int JournalResetIndex = 17;
constexpr int RecordColumn = 1;
constexpr int HeaderColumn = 1;
// A plain journal text printed again: far beyond any register's journal.
constexpr std::uint64_t MaxTextFileSize = std::uint64_t{1} << 30;

// The name tables first, then the receipt header, then the journal itself.
// The long PLU names are not needed for the journal's lines.
std::vector<TSoubor*> DownloadList(const TSoubory& catalogue) {
  std::vector<TSoubor*> tables{&catalogue.JournalDepartments(), &catalogue.JournalPlu(),
                               &catalogue.JournalLinkPlu(),     &catalogue.JournalOperators(),
                               &catalogue.JournalPayments(),    &catalogue.JournalCurrencies(),
                               &catalogue.JournalVat()};
  if (TSoubor* header = catalogue.Table(TableNumber::Header)) tables.push_back(header);
  tables.push_back(catalogue.Table(TableNumber::Journal));
  return tables;
}

TJournalFile BuildJournalFile(const TSoubory& catalogue) {
  TJournalFile file;
  if (const TSoubor* header = catalogue.Table(TableNumber::Header)) {
    for (const auto& row : header->Rows) file.HeaderLines.push_back(row.Cell(HeaderColumn));
  }
  const TJournalDecoder decoder(catalogue);
  const TSoubor& journal = *catalogue.Table(TableNumber::Journal);
  file.Entries.reserve(journal.Rows.size());
  for (const auto& row : journal.Rows) {
    TJournalEntry entry;
    entry.Record = row.Cell(RecordColumn);
    entry.Lines = decoder.Decode(entry.Record, true);
    file.Entries.push_back(std::move(entry));
  }
  return file;
}

// Replaces the file of that name only once the new text is complete.
void WritePlainText(const std::string& path, const std::string& text) { WriteFileSafely(path, text); }

void StoreJournal(const TSoubory& catalogue, const CommandParameters& parameters) {
  try {
    const TJournalFile file = BuildJournalFile(catalogue);
    file.Write(parameters.JournalFile, catalogue.CommandLineMode);
    LogLine("Zurnal ulozen: " + parameters.JournalFile);
    if (!parameters.DataFile.empty()) WritePlainText(parameters.DataFile, file.PlainText());
  } catch (const EKomError&) {
    throw;
  } catch (const std::exception& failure) {
    LogLine(std::string("Chyba pri ukladani zurnalu: ") + failure.what());
    JournalErrors::Raise(JournalErrors::SaveFailed);
  }
}

std::vector<std::string> LinesOfTextFile(const std::string& path) {
  std::istringstream in(ReadInputFile(path, MaxTextFileSize));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace

void SaveJournal(const TSoubory& catalogue, const CommandParameters& parameters, bool reset,
                 const TransferRun& transfer) {
  const std::string& path = parameters.JournalFile;
  if (path.empty()) JournalErrors::Raise(JournalErrors::NoFileName);
  std::error_code error;
  if (std::filesystem::exists(path, error) || error) JournalErrors::Raise(JournalErrors::FileExists);

  TTransferRequest download{DownloadList(catalogue), false};
  transfer(download);
  if (ErrorCode != 0) {
    LogLine("Zurnal nenacten, soubor nezapsan");
    return;
  }
  StoreJournal(catalogue, parameters);
  if (!reset) return;

  TSoubor* journalReset = catalogue.Reset(JournalResetIndex);
  if (journalReset == nullptr) RaiseError(ErrorNumber::NoActivity);
  // The one reset of the journal that may be sent: its file is in place.
  TTransferRequest clear{{journalReset}, true};
  clear.AllowReset17 = true;
  transfer(clear);
}

void PrintJournal(const TSoubory& catalogue, const CommandParameters& parameters, bool receiptCopies,
                  const TPrintViewer& viewer) {
  const std::string& path = parameters.JournalFile;
  std::error_code error;
  if (path.empty() || !std::filesystem::is_regular_file(path, error)) {
    JournalErrors::Raise(JournalErrors::FileMissing);
  }
  const TPrintDocument document(parameters.FontSize, ApplicationTitle);
  const TJournalProbe probe = TJournalFile::Probe(path);
  if (!probe.HasMagic()) {
    if (receiptCopies) JournalErrors::Raise(JournalErrors::BadFormat);
    try {
      viewer.HandOver(document.PlainText(LinesOfTextFile(path)));
    } catch (const std::exception& failure) {
      LogLine(std::string("ERROR: ") + failure.what());
      JournalErrors::Raise(JournalErrors::PrintFailed);
    }
    return;
  }
  const TJournalFile file = TJournalFile::Read(path, catalogue.CommandLineMode);
  if (receiptCopies && !file.CurrentVersion) JournalErrors::Raise(JournalErrors::BadFormat);
  try {
    viewer.HandOver(receiptCopies ? document.ReceiptCopies(file, catalogue.CommandLineMode)
                                  : document.Journal(file, catalogue.CommandLineMode));
  } catch (const EKomError&) {
    throw;
  } catch (const std::exception& failure) {
    LogLine(std::string("ERROR: ") + failure.what());
    JournalErrors::Raise(JournalErrors::PrintFailed);
  }
}

void SaveJournalToFile(TActivityRun& run) {
  SaveJournal(*run.Catalogue, run.Parameters, false, [&run](const TTransferRequest& request) { run.Transfer(request); });
}

void SaveJournalAndReset(TActivityRun& run) {
  SaveJournal(*run.Catalogue, run.Parameters, true, [&run](const TTransferRequest& request) { run.Transfer(request); });
}

void PrintStoredJournal(TActivityRun& run) {
  PrintJournal(*run.Catalogue, run.Parameters, false, TPrintViewer(TViewerPlaces::OfThisProgram()));
}

void PrintReceiptCopies(TActivityRun& run) {
  PrintJournal(*run.Catalogue, run.Parameters, true, TPrintViewer(TViewerPlaces::OfThisProgram()));
}
