#include "protocol/table_transfer.h"

#include <string>

#include "base/communication_log.h"
#include "base/localized_texts.h"
#include "model/soubor.h"
#include "protocol/link_protocol.h"
#include "protocol/transfer_view.h"

bool SkipsAnnouncedTable(TLinkProtocol& link, const TSoubor& table, std::string_view command) {
  if (!table.EnqMark || !TLinkProtocol::SkipsTable(table.Number, link.Handshake(table.Number))) return false;
  LogLine("vynechavam " + std::string(command) + " file " + std::to_string(table.Number) + "...");
  return true;
}

void ShowRecordCount(TTransferView& view, int counterText, int count) {
  view.SecondLabel = LoadTextWith(counterText, std::to_string(count));
  view.Records.Position = count;
  view.Repaint();
}
