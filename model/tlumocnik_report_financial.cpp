#include "model/tlumocnik_report_financial.h"

#include <array>

namespace {

constexpr int SalesKind = 2;
constexpr int PaymentKind = 3;
constexpr int CounterKind = 4;

// The short financial report's twelve fields follow one another from byte 3:
// amounts of five bytes, counts of two.
std::vector<ReportField> ShortFinancialFields() {
  using enum ReportField::Shape;
  constexpr int FirstByte = 3;
  constexpr int AmountBytes = 5;
  constexpr int CountBytes = 2;
  constexpr std::array<ReportField::Shape, 12> Shapes = {Amount, Amount, Amount, Count,  Amount, Count,
                                                         Amount, Amount, Count,  Amount, Count,  Count};
  std::vector<ReportField> fields;
  int first = FirstByte;
  for (const ReportField::Shape shape : Shapes) {
    const int last = first + (shape == Amount ? AmountBytes : CountBytes) - 1;
    fields.push_back(shape == Amount ? ReportField::Amount(first, last) : ReportField::Count(first, last));
    first = last + 1;
  }
  return fields;
}

}  // namespace

std::vector<ReportField> TTlumocnikReport70::RowFields(std::string_view record) const {
  const int kind = KindOf(record);
  const int number = NumberOf(record);
  std::vector<ReportField> fields = {
      ReportField::Fixed(std::to_string(kind)),
      ReportField::Fixed(std::to_string(number)),
      ReportField::Fixed(RowName(kind, number)),
  };
  if (AmountHidden(kind, number)) {
    fields.push_back(ReportField::Empty());
  } else {
    fields.push_back(ReportField::Amount(3, kind == SalesKind ? 11 : 10));
  }
  const bool countShown = (kind == PaymentKind && number >= 5) || (kind == CounterKind && number >= 31);
  fields.push_back(countShown ? ReportField::Count(18, 19) : ReportField::Empty());
  fields.push_back(TotalShown(kind, number) ? ReportField::Amount(30, 37) : ReportField::Empty());
  return fields;
}

std::optional<std::string> TTlumocnikReport70::RecordIdentifier(const TSoubor& /*table*/,
                                                                std::string_view record) const {
  return KindNumberNameText(record, RowName(KindOf(record), NumberOf(record)));
}

bool TTlumocnikReport70::AmountHidden(int kind, int number) const {
  return kind == CounterKind && (number <= 30 || number == 73);
}

bool TTlumocnikReport70::TotalShown(int kind, int number) const {
  return (kind == PaymentKind && (number == 7 || number == 8)) || (kind == CounterKind && number <= 30);
}

bool TTlumocnikReport70ECR40::AmountHidden(int kind, int number) const {
  return kind == CounterKind && (number <= 30 || number == 75 || number == 76);
}

bool TTlumocnikReport70ECR40::TotalShown(int kind, int number) const {
  return (kind == PaymentKind && number >= 7 && number <= 14) || (kind == CounterKind && number <= 30);
}

const TFixedReportLayout DrawerReportLayout = {
    .Fields = {ReportField::Amount(30, 37)},
    .Naming = ReportNaming::KindNumber,
};

const TFixedReportLayout ShortFinancialReportLayout = {
    .StartsWithKindNumberName = false,
    .Fields = ShortFinancialFields(),
    .Naming = ReportNaming::None,
};
