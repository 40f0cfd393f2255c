// mervsim register/: the emulated register: its link protocol, its tables, its set-up, its faults.
#include "tools/mervsim/register/stored_record_fault.h"

#include "base/code_page.h"
#include "model/check_bytes.h"
#include "model/radek.h"
#include "model/soubor.h"

namespace {

constexpr std::size_t CheckByteCount = 2;

int FirstTextColumn(const TSoubor& table) {
  for (int index = 1; index < static_cast<int>(table.Columns.size()); ++index) {
    if (index != table.KeyColumn && table.Columns[static_cast<std::size_t>(index)].Type == ColumnType::Text)
      return index;
  }
  return -1;
}

std::string ChangeLastDataByte(std::string& record) {
  if (record.size() <= CheckByteCount) return "record too short to change";
  std::string body = record.substr(0, record.size() - CheckByteCount);
  body.back() = static_cast<char>(body.back() ^ 0x01);
  AddCheckBytes(body);
  record = body;
  return "last data byte changed";
}

}  // namespace

std::string StoreWrongly(const TSoubor& table, std::string& record) {
  const int column = FirstTextColumn(table);
  if (column < 0) return ChangeLastDataByte(record);
  TRadek row(static_cast<int>(table.Columns.size()));
  row.ReadRowText(table.Interpreter->DecodeRecord(record), table.Columns);
  const std::string old = row.Cell(column);
  const char first = !old.empty() && old.front() == 'X' ? 'Y' : 'X';
  std::string cell(1, first);
  if (!old.empty()) cell.append(old, 1);
  row.SetCell(column, cell);
  record = table.Interpreter->EncodeRow(row, false);
  std::string change = table.Columns[static_cast<std::size_t>(column)].Heading;
  change.append(": ").append(old).append(" -> ").append(cell);
  return Cp1250ToUtf8(change);
}
