#pragma once
// TTableTransfer: what a table's download and its upload share: the link,
// the table, the transfer's options, the transfer view and the count of
// records that have gone over the line, which the view shows as each record
// is done.
#include <string_view>

class TLinkProtocol;
class TSoubor;
class TTransferView;

/// True, and logged under the name of the `command` byte, when the table is
/// announced with ENQ and the model code the register answers the ENQ with
/// is one that skips it.
bool SkipsAnnouncedTable(TLinkProtocol& link, const TSoubor& table, std::string_view command);

/// The view shows `count` records done: under the counter text
/// `counterText`, and with the records' bar at `count`.
void ShowRecordCount(TTransferView& view, int counterText, int count);

template <typename Options>
class TTableTransfer {
public:
  TTableTransfer(TLinkProtocol& link, TSoubor& table, const Options& options, TTransferView& view)
      : link_(link), table_(table), options_(options), view_(view) {}

protected:
  bool Skipped(std::string_view command) { return SkipsAnnouncedTable(link_, table_, command); }
  /// One more record is done: the count goes up and the view shows it.
  void CountRecord(int counterText) { ShowRecordCount(view_, counterText, ++count_); }

  TLinkProtocol& link_;
  TSoubor& table_;
  const Options& options_;
  TTransferView& view_;
  int count_ = 0;
};
