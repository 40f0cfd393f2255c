#pragma once
// The financial members of the report family: the daily and periodic
// financial report (tables 70 and 71, in two model variants), the drawer
// status (table 84) and the short financial report (table 85). Byte positions
// below are counted from 1 in the 49-byte record.
#include "model/tlumocnik_report.h"
#include "model/tlumocnik_report_fixed.h"

/// Financial report: kind | number | row name | amount | count | total.
/// Amount: signed 3-11 for kind 2, else signed 3-10; empty for kind 4 numbers
/// up to 30 and 73. Count: unsigned 18-19 for kind 3 from number 5 and for
/// kind 4 from number 31, else empty. Total: signed 30-37 for kind 3 numbers
/// 7 and 8 and kind 4 numbers up to 30, else empty.
/// Messages name the record kind "-" number " (" row name ")".
class TTlumocnikReport70 : public TTlumocnikReport {
protected:
  std::vector<ReportField> RowFields(std::string_view record) const override;
  std::optional<std::string> RecordIdentifier(const TSoubor& table, std::string_view record) const override;

  virtual bool AmountHidden(int kind, int number) const;
  virtual bool TotalShown(int kind, int number) const;
};

/// The financial report of the models "ECR 40T/42T" and "ECR 46xT": as
/// TTlumocnikReport70, but the amount is empty for kind 4 numbers up to 30,
/// 75 and 76, and the total is shown for kind 3 numbers 7 to 14 and kind 4
/// numbers up to 30.
class TTlumocnikReport70ECR40 : public TTlumocnikReport70 {
protected:
  bool AmountHidden(int kind, int number) const override;
  bool TotalShown(int kind, int number) const override;
};

/// Drawer status: kind (payment group) | number | default row name |
/// total signed 30-37. Messages name the record kind "-" number.
extern const TFixedReportLayout DrawerReportLayout;
using TTlumocnikReport84 = TTlumocnikReportFixed<DrawerReportLayout>;

/// Short financial report: twelve numbers, no kind, number or name: amounts
/// signed 3-7, 8-12, 13-17; count 18-19; amount 20-24; count 25-26; amounts
/// 27-31, 32-36; count 37-38; amount 39-43; counts 44-45, 46-47. Messages
/// carry no record identifier.
extern const TFixedReportLayout ShortFinancialReportLayout;
using TTlumocnikReport85 = TTlumocnikReportFixed<ShortFinancialReportLayout>;
