#pragma once
// The activities that talk to a register: reading and writing programming
// tables, resets, reports, the PLU and journal-row queries, blocking and
// releasing the register. RunRegisterActivity builds the model catalogue,
// finds the table of the activity's row and runs the row's step; the steps
// are the ones the activity table names.
#include "app/activity_run.h"

/// Builds the catalogue of the command's model, takes the table (a table
/// number, TableOfWord or NoTable) and runs the step; error 01 when the table
/// does not exist or there is no step.
void RunRegisterActivity(TActivityRun& run, int table, ActivityStep step);

/// "Wnn", "Ann": loads the input file into the table, checks its order and
/// sends it. With "/VERIFY" a "Wnn" then reads the table back and compares
/// it with the rows sent, as "Dnn" does: any difference ends with 60.
void SendTableFromFile(TActivityRun& run);
/// "V03": the same with the "Nové PLU" table.
void SendNewPlu(TActivityRun& run);
/// "Nhh": sends the reset.
void SendReset(TActivityRun& run);
/// "Rnn": reads the table and saves it to the data file.
void ReadTableToFile(TActivityRun& run);
/// "Dnn": loads the file, reads the table and writes the rows that differ
/// to the differences file ("/DIFF=", default DIFFnn.txt in the program's
/// folder); 60 for differences only with "/STRICT".
void CompareTableWithFile(TActivityRun& run);
/// "PLU": asks for one PLU and saves the answer.
void QueryPlu(TActivityRun& run);
/// "RJF": asks for one journal row and saves the answer.
void QueryJournalRow(TActivityRun& run);
/// "OLJ": reads the journal from a row on and saves it newest first.
void ReadJournalFromRow(TActivityRun& run);
/// "BLOCK", "DEBLOCK": blocks or releases the register.
void BlockRegister(TActivityRun& run);
/// "STS": reads the short report and writes the key position to the data file.
void SaveKeyPosition(TActivityRun& run);
