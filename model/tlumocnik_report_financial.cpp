#include "model/tlumocnik_report_financial.h"

namespace {

constexpr int SalesKind = 2;
constexpr int PaymentKind = 3;
constexpr int CounterKind = 4;

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
    .Fields =
        {
            ReportField::Amount(3, 7),
            ReportField::Amount(8, 12),
            ReportField::Amount(13, 17),
            ReportField::Count(18, 19),
            ReportField::Amount(20, 24),
            ReportField::Count(25, 26),
            ReportField::Amount(27, 31),
            ReportField::Amount(32, 36),
            ReportField::Count(37, 38),
            ReportField::Amount(39, 43),
            ReportField::Count(44, 45),
            ReportField::Count(46, 47),
        },
    .Naming = ReportNaming::None,
};
