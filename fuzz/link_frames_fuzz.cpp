// The link protocol as the module receives it: the register's replies to the
// handshake and the records of a table download, for the tables of every model.
#include <cstdint>

#include "base/kom_error.h"
#include "fuzz_input.h"
#include "protocol/link_protocol.h"
#include "protocol/table_download.h"
#include "transport/nastaveni.h"
#include "transport/port.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TFuzzInput input(data, size);
  TSoubory& catalogue = FuzzCatalogue(input.Byte());
  TSoubor* table = FuzzTable(catalogue, input.Byte());
  if (!table) return 0;
  TScriptedComLine line(input.Rest());
  const TNastaveni settings = FuzzComSettings();
  TPort port(line);
  port.Open(settings, 1);
  TLinkProtocol link(port, TLinkBytes{}, 0, catalogue.ModelName);
  TTransferView view;
  try {
    DownloadTable(link, *table, TDownloadOptions{}, view);
  } catch (const EKomError&) {
    // A register that breaks the protocol ends the command with an error number.
  }
  table->Rows.clear();
  return 0;
}
