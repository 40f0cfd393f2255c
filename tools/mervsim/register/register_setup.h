// mervsim register/: the emulated register: its link protocol, its tables, its set-up, its faults.
#pragma once
// How mervsim makes the register it plays from its command line: the tables
// (demo data, tables from files, the receipts sold after the demo day) and
// the settings of the emulator. Used for the one register of --tcp/--pty and
// for each register of --tcp-range.
#include <string>

#include "tools/mervsim/register/register_data.h"
#include "tools/mervsim/register/register_emulator.h"
#include "tools/mervsim/sim_options.h"

/// Fills a register's tables as the options say.
void FillRegisterData(TRegisterData& data, const TSimOptions& options);

TEmulatorSettings EmulatorSettings(const TSimOptions& options, const TSoubory& catalogue);

/// "ECR 465T/465TF, model code 18, key status 10h, 30000 PLU, 240 receipts" (code page 1250).
std::string DescribeRegister(const TSimOptions& options, const TEmulatorSettings& settings, const TRegisterData& data);
