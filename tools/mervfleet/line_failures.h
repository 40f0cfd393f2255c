#pragma once
// The failures of the line: the outcomes that trying the register again may
// mend, which mervfleet tries again and the metrics count as the class "line".

/// A failure of the line (04, 05, 09, 31, 33 to 36).
bool IsLineFailure(int number);
