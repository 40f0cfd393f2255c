#pragma once
// "EXPORTZ74": the day's PLU sales (table 74) as a semicolon-separated file
// for the calling application, one line per PLU:
//   EAN;;EAN;unit price;0;0;amount;quantity;0
// with two decimals and the decimal separator of the user's regional
// settings, lines ending in CR LF. The file is named after the date, the
// shop and the register; a file of that name from an earlier run is kept
// as ".bak" (then ".bak.bak", ...). The new file appears only complete and
// only when the table was read without failure.
#include <ctime>
#include <string>

#include "app/activity_run.h"

class TSoubor;
class TSoubory;

/// ExportDir (a separator added when it has none at its end; `programFolder`
/// when it is empty), then YYYYMMDD of `day`, "_", ShopId, "_", RegisterId
/// and ".csv".
std::string ComposeExportFileName(const std::string& programFolder, const CommandParameters& parameters,
                                  const std::tm& day);
/// The same for today.
std::string ComposeExportFileName(const std::string& programFolder, const CommandParameters& parameters);

/// The sales line of one row of table 74, without its line end. Numbers
/// that are not integers are logged and counted as 0.
std::string DailySalesLine(const TSoubor& table, int row, char decimalSeparator);

/// Renames `file` to the first free name of file + ".bak", ".bak.bak", ...
/// when it exists; raises std::runtime_error when that fails.
void MoveAside(const std::string& file);

/// Reads table 74 and writes the sales file DataFile.
void ExportDailySales(TActivityRun& run);
