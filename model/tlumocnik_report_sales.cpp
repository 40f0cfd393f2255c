#include "model/tlumocnik_report_sales.h"

#include "model/convert_error.h"
#include "model/soubor.h"

namespace {

constexpr char UnknownEan[] = "Unknown EAN";
constexpr std::size_t PluCodeField = 3;

}  // namespace

std::vector<ReportField> TTlumocnikReport72::RowFields(std::string_view record) const {
  return KindNumberNameFields(record, {ReportField::Amount(3, 10), ReportField::Count(18, 19),
                                       ReportField::Quantity(21, 28), ReportField::Count(38, 38)});
}

std::optional<std::string> TTlumocnikReport72::RecordIdentifier(const TSoubor& /*table*/,
                                                                std::string_view record) const {
  return std::to_string(KindOf(record));
}

std::vector<ReportField> TTlumocnikReport72a::RowFields(std::string_view record) const {
  auto fields = TTlumocnikReport72::RowFields(record);
  fields.push_back(ReportField::Quantity(39, 46));
  return fields;
}

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

std::optional<std::string> TTlumocnikReport74::RecordIdentifier(const TSoubor& table,
                                                                std::string_view record) const {
  const auto code = RowFields(record)[PluCodeField];
  try {
    const auto value = code.Convert(record);
    const auto* column = table.Column(static_cast<int>(PluCodeField));
    return (column != nullptr ? column->Heading : std::string{}) + " " + value;
  } catch (const EConvertError&) {
    return std::string(UnknownEan);
  }
}

std::vector<ReportField> TTlumocnikReport77::RowFields(std::string_view record) const {
  return KindNumberNameFields(record, {ReportField::Amount(3, 10), ReportField::Quantity(21, 28),
                                       ReportField::Count(38, 38), ReportField::Quantity(39, 46)});
}

std::optional<std::string> TTlumocnikReport77::RecordIdentifier(const TSoubor& /*table*/,
                                                                std::string_view record) const {
  return KindNumberNameText(record, DefaultRowName());
}

std::vector<ReportField> TTlumocnikReport83::RowFields(std::string_view record) const {
  return KindNumberNameFields(record, {ReportField::Amount(3, 10), ReportField::Count(18, 19)});
}

std::optional<std::string> TTlumocnikReport83::RecordIdentifier(const TSoubor& /*table*/,
                                                                std::string_view record) const {
  return KindNumberNameText(record, DefaultRowName());
}
