#include "model/tlumocnik_report_fixed.h"

std::vector<ReportField> TTlumocnikReportLaidOut::RowFields(std::string_view record) const {
  if (!layout_.StartsWithKindNumberName) return layout_.Fields;
  return KindNumberNameFields(record, layout_.Fields);
}

std::optional<std::string> TTlumocnikReportLaidOut::RecordIdentifier(const TSoubor& /*table*/,
                                                                     std::string_view record) const {
  switch (layout_.Naming) {
    case ReportNaming::Kind:
      return std::to_string(KindOf(record));
    case ReportNaming::KindNumber:
      return KindNumberText(record);
    case ReportNaming::KindNumberDefaultName:
      return KindNumberNameText(record, DefaultRowName());
    case ReportNaming::None:
      break;
  }
  return std::nullopt;
}
