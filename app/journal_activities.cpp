#include "app/journal_activities.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "base/input_file.h"
#include "base/kom_error.h"
#include "base/safe_output_file.h"
#include "app/print_viewer.h"
#include "base/process_values.h"
#include "base/safe_output_file.h"
#include "journal/journal_decoder.h"
#include "journal/journal_file.h"
#include "journal/journal_format.h"
#include "journal/print_document.h"
#include "model/soubory.h"
#include "model/table_numbers.h"
#include "base/communication_log.h"
#include "base/file_name.h"

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

// The records without their lines: they are decoded while the file is
// written.
TJournalFile UndecodedJournalFile(const TSoubory& catalogue) {
  TJournalFile file;
  if (const TSoubor* header = catalogue.Table(TableNumber::Header)) {
    for (const auto& row : header->Rows) file.HeaderLines.push_back(row.Cell(HeaderColumn));
  }
  const TSoubor& journal = *catalogue.Table(TableNumber::Journal);
  file.Entries.reserve(journal.Rows.size());
  for (const auto& row : journal.Rows) file.Entries.push_back({row.Cell(RecordColumn), {}});
  return file;
}

// The decoded text goes under its name only after the journal file is in
// place, and a failure to put it there removes that journal file again: a
// save that ends with 52 leaves no journal file of its own under the final
// name, so the same command can simply be run again (the register keeps its
// journal, no reset was sent). The text is written out before the journal
// file is placed, so that a missing folder or a full disk is found first.
void StoreJournal(const TSoubory& catalogue, const CommandParameters& parameters) {
  try {
    TJournalFile file = UndecodedJournalFile(catalogue);
    // Opened first, so that a missing folder is found before the journal
    // file is placed.
    std::optional<TSafeOutputFile> plainText;
    if (!parameters.DataFile.empty()) plainText.emplace(parameters.DataFile, LinkRule::FollowOnce);
    file.DecodeAndWrite(TJournalDecoder(catalogue), parameters.JournalFile, catalogue.CommandLineMode);
    try {
      if (plainText) {
        plainText->Write(file.PlainText());
        plainText->Commit();
      }
    } catch (...) {
      RemoveFileIfPresent(parameters.JournalFile);
      throw;
    }
    LogLine("Zurnal ulozen: " + parameters.JournalFile);
  } catch (const EKomError&) {
    throw;
  } catch (const std::exception& failure) {
    LogLine(std::string("Chyba pri ukladani zurnalu: ") + failure.what());
    JournalErrors::Raise(JournalErrors::SaveFailed);
  }
}

// A plain-text journal's lines end in CR LF, LF or a lone CR; a last line
// without its end counts too. More than MaxPlainTextLines are refused.
std::vector<std::string> LinesOfTextFile(const std::string& path) {
  const std::string text = ReadInputFile(path, MaxTextFileSize);
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    if (lines.size() == MaxPlainTextLines) {
      throw std::runtime_error(path + ": more than " + std::to_string(MaxPlainTextLines) + " lines");
    }
    const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
    lines.push_back(text.substr(start, end - start));
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return lines;
}

// One step of the printing. Its numbered failures pass unchanged ("#54",
// the viewer's); any other, a file that ends early or cannot be read
// part-way among them, is "#55".
void PreparePrint(const std::function<void()>& step) {
  try {
    step();
  } catch (const EKomError&) {
    throw;
  } catch (const std::exception& failure) {
    LogLine(std::string("ERROR: ") + failure.what());
    JournalErrors::Raise(JournalErrors::PrintFailed);
  }
}

// The decoded text put under the journal file's own name would replace the
// journal file right after it is placed, and the reset would then clear the
// register's journal with no copy of it left.
void RefuseTextInPlaceOfTheJournal(const CommandParameters& parameters) {
  if (parameters.DataFile.empty() || !NameTheSameFile(parameters.DataFile, parameters.JournalFile)) return;
  LogLine("Text zurnalu (/FILE=) by nahradil soubor zurnalu: " + parameters.DataFile);
  JournalErrors::Raise(JournalErrors::SaveFailed);
}

}  // namespace

void SaveJournal(const TSoubory& catalogue, const CommandParameters& parameters, bool reset,
                 const TransferRun& transfer) {
  const std::string& path = parameters.JournalFile;
  if (path.empty()) JournalErrors::Raise(JournalErrors::NoFileName);
  // A check that fails (a folder without search permission) finds no file:
  // the save goes on, and its write ends with 52 when it cannot be done.
  std::error_code ignored;
  if (std::filesystem::exists(PathFromName(path), ignored)) JournalErrors::Raise(JournalErrors::FileExists);
  RefuseTextInPlaceOfTheJournal(parameters);

  TTransferRequest download{DownloadList(catalogue), false};
  if (transfer(download).Failed()) {
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
  if (path.empty() || !std::filesystem::is_regular_file(PathFromName(path), error)) {
    JournalErrors::Raise(JournalErrors::FileMissing);
  }
  const TJournalPrintDocument document(parameters.FontSize, ApplicationTitle);
  const TJournalProbe probe = TJournalFile::Probe(path);
  if (!probe.HasMagic()) {
    if (receiptCopies) JournalErrors::Raise(JournalErrors::BadFormat);
    std::vector<std::string> lines;
    PreparePrint([&] { lines = LinesOfTextFile(path); });
    PreparePrint([&] { viewer.HandOver(document.PlainText(lines)); });
    return;
  }
  TJournalFile file;
  PreparePrint([&] { file = TJournalFile::Read(path, catalogue.CommandLineMode); });
  if (receiptCopies && !file.CurrentVersion) JournalErrors::Raise(JournalErrors::BadFormat);
  PreparePrint([&] {
    viewer.HandOver(receiptCopies ? document.ReceiptCopies(file, catalogue.CommandLineMode)
                                  : document.Journal(file, catalogue.CommandLineMode));
  });
}

void SaveJournalToFile(TActivityRun& run) {
  SaveJournal(*run.Catalogue, run.Parameters, false,
              [&run](const TTransferRequest& request) { return run.Transfer(request); });
}

void SaveJournalAndReset(TActivityRun& run) {
  SaveJournal(*run.Catalogue, run.Parameters, true,
              [&run](const TTransferRequest& request) { return run.Transfer(request); });
}

void PrintStoredJournal(TActivityRun& run) {
  PrintJournal(*run.Catalogue, run.Parameters, false,
               TPrintViewer(TViewerPlaces::OfThisProgram(run.Context.ProgramFolder())));
}

void PrintReceiptCopies(TActivityRun& run) {
  PrintJournal(*run.Catalogue, run.Parameters, true,
               TPrintViewer(TViewerPlaces::OfThisProgram(run.Context.ProgramFolder())));
}
