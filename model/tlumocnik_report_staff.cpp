#include "model/tlumocnik_report_staff.h"

std::vector<ReportField> TTlumocnikReport79::RowFields(std::string_view record) const {
  const int kind = KindOf(record);
  const int number = NumberOf(record);
  return {
      ReportField::Fixed(std::to_string(kind)),
      ReportField::Fixed(std::to_string(number)),
      ReportField::Fixed(RowName(kind, number)),
      number == 7 ? ReportField::Empty() : ReportField::Amount(3, 10),
      number == 2 ? ReportField::Empty() : ReportField::Count(18, 19),
      number > 8 ? ReportField::Amount(30, 37) : ReportField::Empty(),
  };
}

std::optional<std::string> TTlumocnikReport79::RecordIdentifier(const TSoubor& /*table*/,
                                                                std::string_view record) const {
  return KindNumberNameText(record, RowName(KindOf(record), NumberOf(record)));
}
