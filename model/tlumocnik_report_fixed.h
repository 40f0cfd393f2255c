#pragma once
// TTlumocnikReportFixed: the members of the report family whose row is a
// fixed list of fields, the same for every record: the kind, the number and
// the default row name (where the layout starts with them), then fields at
// fixed places. Such a member is its layout (TFixedReportLayout) and
// nothing more; each layout makes a type of its own, so that the catalogue
// and its tests tell the members apart by type, as they do the others.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/tlumocnik_report.h"

/// How the messages of a fixed-layout member name a record.
enum class ReportNaming {
  None,                   // no identifier
  Kind,                   // the kind
  KindNumber,             // kind "-" number
  KindNumberDefaultName,  // kind "-" number " (" default row name ")"
};

struct TFixedReportLayout {
  bool StartsWithKindNumberName = true;
  std::vector<ReportField> Fields;
  ReportNaming Naming = ReportNaming::None;
};

/// What every fixed-layout member does with its layout.
class TTlumocnikReportLaidOut : public TTlumocnikReport {
protected:
  explicit TTlumocnikReportLaidOut(const TFixedReportLayout& layout) : layout_(layout) {}

  std::vector<ReportField> RowFields(std::string_view record) const override;
  std::optional<std::string> RecordIdentifier(const TSoubor& table, std::string_view record) const override;

private:
  const TFixedReportLayout& layout_;
};

template <const TFixedReportLayout& Layout>
class TTlumocnikReportFixed : public TTlumocnikReportLaidOut {
public:
  TTlumocnikReportFixed() : TTlumocnikReportLaidOut(Layout) {}
};
