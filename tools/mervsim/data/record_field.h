// mervsim data/: what the register holds: demo shop, receipts, sales, report and journal records.
#pragma once
// PutRecordField: one field written into a record the emulator builds, the
// journal's and the reports' alike: bytes counted from 1, the field bounded
// to the bytes the record lets fields take.
#include <string>

/// Writes `bytes` into `record` from byte `first` on; the field must lie
/// within bytes `lowest` to `highest`, else std::out_of_range naming the
/// record by `what` ("journal", "report").
void PutRecordField(std::string& record, int first, const std::string& bytes, int lowest, int highest,
                    const char* what);
