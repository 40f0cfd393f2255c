#include "model/tlumocnik_report_sales.h"

#include "model/convert_error.h"
#include "model/soubor.h"

namespace {

constexpr char UnknownEan[] = "Unknown EAN";
constexpr std::size_t PluCodeField = 3;

}  // namespace

const TFixedReportLayout DepartmentReportLayout = {
    .Fields = {ReportField::Amount(3, 10), ReportField::Count(18, 19), ReportField::Quantity(21, 28),
               ReportField::Count(38, 38)},
    .Naming = ReportNaming::Kind,
};

const TFixedReportLayout DepartmentStockReportLayout = {
    .Fields = {ReportField::Amount(3, 10), ReportField::Count(18, 19), ReportField::Quantity(21, 28),
               ReportField::Count(38, 38), ReportField::Quantity(39, 46)},
    .Naming = ReportNaming::Kind,
};

std::vector<ReportField> TTlumocnikReport74::RowFields(std::string_view record) const {
  const int recordNumber = KindOf(record) | NumberOf(record) << 8;
  std::vector<ReportField> fields = {
      ReportField::Fixed(std::to_string(recordNumber)),
      ReportField::Fixed(DefaultRowName()),
      ReportField::Amount(3, 10),
      ReportField::Count(14, 20),
      ReportField::Quantity(21, 28),
      ReportField::Count(38, 38),
      ReportField::Quantity(39, 46),
  };
  return fields;
}

std::optional<std::string> TTlumocnikReport74::RecordIdentifier(const TSoubor& table, std::string_view record) const {
  const auto code = RowFields(record)[PluCodeField];
  try {
    const auto value = code.Convert(record);
    const auto* column = table.Column(static_cast<int>(PluCodeField));
    return (column != nullptr ? column->Heading : std::string{}) + " " + value;
  } catch (const EConvertError&) {
    return std::string(UnknownEan);
  }
}

const TFixedReportLayout LinkPluReportLayout = {
    .Fields = {ReportField::Amount(3, 10), ReportField::Quantity(21, 28), ReportField::Count(38, 38),
               ReportField::Quantity(39, 46)},
    .Naming = ReportNaming::KindNumberDefaultName,
};

const TFixedReportLayout HourlyReportLayout = {
    .Fields = {ReportField::Amount(3, 10), ReportField::Count(18, 19)},
    .Naming = ReportNaming::KindNumberDefaultName,
};
