#pragma once
// Reading one register table into its TSoubor: handshake when the table asks
// for one, DRQ, then record after record, each checked, decoded and answered
// with ACK, a repeat request, or the end frame when the program has enough.
// The rows received before a failure stay in the table.
#include "protocol/link_protocol.h"
#include "protocol/transfer_view.h"

class TSoubor;

struct TDownloadOptions {
  /// Time-out of a record read: the modem slot's through the modem, else the line's own.
  LineWait ReadWait;
  /// Table 88 stops at the first row whose journal row is not above this.
  int JournalStopRow = -1;
  /// In a register network a record of 30h bytes ends tables 3, 65, 74, 75.
  bool UseNetId = true;
};

void DownloadTable(TLinkProtocol& link, TSoubor& table, const TDownloadOptions& options, TTransferView& view);
