// mervsim register/: the emulated register: its link protocol, its tables, its set-up, its faults.
#pragma once
// The fault "--store-wrong K": the register accepts record K of an upload
// and answers it as usual, but keeps it changed, as a register with a bad
// memory cell would. What is changed stays a valid record, so that the
// table reads back with the changed row in it.
#include <string>

class TSoubor;

/// Changes the record in place: the first letter of its first text column
/// (other than the key) becomes "X" ("Y" where it was "X"); without a text
/// column the last byte before the check bytes is changed and the check
/// bytes made anew. Returns what was changed, for the wire log.
std::string StoreWrongly(const TSoubor& table, std::string& record);
