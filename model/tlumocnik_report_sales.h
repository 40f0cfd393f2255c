#pragma once
// The sales members of the report family: department reports (tables 72, 73
// and 76), PLU reports (74, 75, 90), link PLU reports (77, 78) and the hourly
// report (83). Each puts the default row name into every row. Byte positions
// are counted from 1 in the 49-byte record.
#include "model/tlumocnik_report.h"
#include "model/tlumocnik_report_fixed.h"

/// Department report: kind | number | default row name | amount signed 3-10 |
/// count unsigned 18-19 | quantity signed 21-28 | group unsigned 38.
/// Messages name the record by its kind alone.
extern const TFixedReportLayout DepartmentReportLayout;
using TTlumocnikReport72 = TTlumocnikReportFixed<DepartmentReportLayout>;

/// Department report with stock ("ECR 649F"): as the department report,
/// then the stock, quantity signed 39-46.
extern const TFixedReportLayout DepartmentStockReportLayout;
using TTlumocnikReport72a = TTlumocnikReportFixed<DepartmentStockReportLayout>;

/// PLU report: record number (bytes 1-2, low byte first) | default row name |
/// amount signed 3-10 | code (EAN) unsigned 14-20 | quantity signed 21-28 |
/// group unsigned 38 | stock, quantity signed 39-46. Messages name the record
/// by the code column's heading and the code, or "Unknown EAN" when the code
/// itself does not convert.
class TTlumocnikReport74 : public TTlumocnikReport {
protected:
  std::vector<ReportField> RowFields(std::string_view record) const override;
  std::optional<std::string> RecordIdentifier(const TSoubor& table, std::string_view record) const override;
};

/// Link PLU report: kind | number | default row name | amount signed 3-10 |
/// quantity signed 21-28 | group unsigned 38 | stock, quantity signed 39-46.
/// Messages name the record kind "-" number " (" default row name ")".
extern const TFixedReportLayout LinkPluReportLayout;
using TTlumocnikReport77 = TTlumocnikReportFixed<LinkPluReportLayout>;

/// Hourly report: kind (hour) | number | default row name | amount signed
/// 3-10 | count unsigned 18-19. Messages name the record kind "-" number
/// " (" default row name ")".
extern const TFixedReportLayout HourlyReportLayout;
using TTlumocnikReport83 = TTlumocnikReportFixed<HourlyReportLayout>;
