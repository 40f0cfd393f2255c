#pragma once
// TTableTransfer: what a table's download and its upload share: the link,
// the table, the transfer view and the count of records that have gone over
// the line, which the view shows as each record is done.
#include <string_view>

class TLinkProtocol;
class TSoubor;
class TTransferView;

class TTableTransfer {
protected:
  TTableTransfer(TLinkProtocol& link, TSoubor& table, TTransferView& view);

  /// True, and logged under the name of the `command` byte, when the table
  /// is one the register skips by the model code it answers the ENQ with
  /// (asked only for tables announced with ENQ).
  bool Skipped(std::string_view command);

  /// One more record is done: the count goes up, the view shows it under
  /// the counter text `counterText` and moves the records' bar to it.
  void CountRecord(int counterText);

  TLinkProtocol& link_;
  TSoubor& table_;
  TTransferView& view_;
  int count_ = 0;
};
