#include "model/tlumocnik_report.h"

#include <utility>

#include "base/communication_log.h"
#include "base/localized_texts.h"
#include "model/convert_error.h"
#include "model/soubor.h"
#include "model/value_conversions.h"

namespace {

// Up to `length` characters from `start` (counted from 0); empty beyond the end.
std::string_view Part(std::string_view text, std::size_t start, std::size_t length) {
  return start < text.size() ? text.substr(start, length) : std::string_view{};
}

bool StartsWith(std::string_view text, char c) { return !text.empty() && text.front() == c; }

std::string ColumnHeading(const TSoubor& table, std::size_t fieldIndex) {
  const auto* column = table.Column(static_cast<int>(fieldIndex));
  return column != nullptr ? column->Heading : std::string{};
}

}  // namespace

bool TNazevRadku::Covers(int kind, int number) const {
  return FirstKind <= kind && kind <= LastKind && FirstNumber <= number && number <= LastNumber;
}

ReportField ReportField::Fixed(std::string text) {
  ReportField field;
  field.Text = std::move(text);
  return field;
}

ReportField ReportField::Empty() { return Fixed({}); }

ReportField ReportField::Amount(int first, int last) {
  ReportField field;
  field.FieldShape = Shape::Amount;
  field.First = first;
  field.Last = last;
  return field;
}

ReportField ReportField::Quantity(int first, int last) {
  auto field = Amount(first, last);
  field.FieldShape = Shape::Quantity;
  return field;
}

ReportField ReportField::Count(int first, int last) {
  auto field = Amount(first, last);
  field.FieldShape = Shape::Count;
  return field;
}

std::string_view ReportField::Bytes(std::string_view record) const {
  if (First < 1 || Last < First) return {};
  return Part(record, static_cast<std::size_t>(First - 1), static_cast<std::size_t>(Last - First + 1));
}

std::string ReportField::Convert(std::string_view record) const {
  if (FieldShape == Shape::Text) return Text;
  const auto bytes = Bytes(record);
  if (static_cast<int>(bytes.size()) != Last - First + 1) {
    throw EConvertError("Record of " + std::to_string(record.size()) + " bytes ends before byte " +
                        std::to_string(Last));
  }
  switch (FieldShape) {
    case Shape::Amount:
      return std::to_string(PackedToInteger(bytes, true));
    case Shape::Quantity:
      return ThousandthsText(std::to_string(PackedToInteger(bytes, true)));
    default:
      return std::to_string(PackedToInteger(bytes, false));
  }
}

int TTlumocnikReport::RecordLength() const { return ReportRecordLength; }

std::string TTlumocnikReport::DecodeRecord(std::string_view record) const {
  std::string row;
  for (const auto& field : RowFields(record)) {
    row += field.Convert(record);
    row += '|';
  }
  return FromRegisterCharset(row);
}

std::string TTlumocnikReport::CheckRecord(const TSoubor& table, std::string_view record) const {
  const auto fields = RowFields(record);
  std::string errors;
  std::optional<std::string> identifier;
  bool identified = false;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (!fields[i].IsNumeric()) continue;
    try {
      fields[i].Convert(record);
    } catch (const EConvertError&) {
      if (!identified) {
        identifier = RecordIdentifier(table, record);
        identified = true;
      }
      errors += LoadText(RecordDataErrorText) + table.Name + " ";
      if (identifier) errors += *identifier + " ";
      errors += ColumnHeading(table, i) + ": \"" + HexDump(fields[i].Bytes(record)) + "\"\r";
    }
  }
  return errors;
}

void TTlumocnikReport::ClearRowNames() { rowNames_.clear(); }

void TTlumocnikReport::AddRowName(std::string_view line) {
  const auto text = ToRegisterCharset(line);
  std::string_view rest = text;
  TNazevRadku entry;
  entry.FirstKind = StrToInt(Part(rest, 0, 2));
  entry.FirstNumber = StrToInt(Part(rest, 3, 2));
  rest = Part(rest, 6, std::string_view::npos);
  if (StartsWith(rest, '-')) {
    entry.LastKind = StrToInt(Part(rest, 2, 2));
    entry.LastNumber = StrToInt(Part(rest, 5, 2));
    rest = Part(rest, 8, std::string_view::npos);
  } else {
    entry.LastKind = entry.FirstKind;
    entry.LastNumber = entry.FirstNumber;
  }
  entry.Name = std::string(rest);
  if (entry.FirstKind == 0 && entry.FirstNumber == 0 && entry.LastKind == 0 && entry.LastNumber == 0) {
    defaultRowName_ = std::move(entry.Name);
  } else {
    rowNames_.push_back(std::move(entry));
  }
}

std::string TTlumocnikReport::RowName(int kind, int number) const {
  for (auto entry = rowNames_.rbegin(); entry != rowNames_.rend(); ++entry) {
    if (entry->Covers(kind, number)) return entry->Name;
  }
  for (auto entry = rowNames_.rbegin(); entry != rowNames_.rend(); ++entry) {
    if (entry->FirstKind == 0 && entry->LastKind == 0 && entry->Covers(0, number)) return entry->Name;
  }
  return defaultRowName_;
}

int TTlumocnikReport::KindOf(std::string_view record) {
  return record.empty() ? 0 : static_cast<std::uint8_t>(record[0]);
}

int TTlumocnikReport::NumberOf(std::string_view record) {
  return record.size() < 2 ? 0 : static_cast<std::uint8_t>(record[1]);
}

std::vector<ReportField> TTlumocnikReport::KindNumberNameFields(std::string_view record,
                                                                const std::vector<ReportField>& own) const {
  std::vector<ReportField> fields = {
      ReportField::Fixed(std::to_string(KindOf(record))),
      ReportField::Fixed(std::to_string(NumberOf(record))),
      ReportField::Fixed(DefaultRowName()),
  };
  fields.insert(fields.end(), own.begin(), own.end());
  return fields;
}

std::string TTlumocnikReport::KindNumberText(std::string_view record) {
  return std::to_string(KindOf(record)) + "-" + std::to_string(NumberOf(record));
}

std::string TTlumocnikReport::KindNumberNameText(std::string_view record, std::string_view registerName) {
  return KindNumberText(record) + " (" + FromRegisterCharset(registerName) + ")";
}
