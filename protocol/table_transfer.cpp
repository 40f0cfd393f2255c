#include "protocol/table_transfer.h"

#include <string>

#include "base/communication_log.h"
#include "base/localized_texts.h"
#include "model/soubor.h"
#include "protocol/link_protocol.h"
#include "protocol/transfer_view.h"

TTableTransfer::TTableTransfer(TLinkProtocol& link, TSoubor& table, TTransferView& view)
    : link_(link), table_(table), view_(view) {}

bool TTableTransfer::Skipped(std::string_view command) {
  if (!table_.EnqMark || !TLinkProtocol::SkipsTable(table_.Number, link_.Handshake(table_.Number))) return false;
  LogLine("vynechavam " + std::string(command) + " file " + std::to_string(table_.Number) + "...");
  return true;
}

void TTableTransfer::CountRecord(int counterText) {
  ++count_;
  view_.SecondLabel = LoadTextWith(counterText, std::to_string(count_));
  view_.Records.Position = count_;
  view_.Repaint();
}
