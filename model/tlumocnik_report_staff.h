#pragma once
// The staff member of the report family: operator reports (tables 79, 80)
// and waiter reports (81, 82). Byte positions are counted from 1 in the
// 49-byte record.
#include "model/tlumocnik_report.h"

/// Operator or waiter report: kind (operator or waiter) | number | row name |
/// amount signed 3-10, empty for number 7 | count unsigned 18-19, empty for
/// number 2 | total signed 30-37 for numbers above 8, else empty.
/// Messages name the record kind "-" number " (" row name ")".
class TTlumocnikReport79 : public TTlumocnikReport {
protected:
  std::vector<ReportField> RowFields(std::string_view record) const override;
  std::optional<std::string> RecordIdentifier(const TSoubor& table, std::string_view record) const override;
};
