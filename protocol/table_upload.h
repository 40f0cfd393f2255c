#pragma once
// Writing one table, or sending one reset, to the register: handshake when
// the table asks for one, DTX, then every row as a record, each repeated up
// to five times until the register accepts it. A reset is a one-row upload
// whose DTX the register answers with the end frame.
#include "protocol/link_protocol.h"
#include "protocol/transfer_view.h"

class TSoubor;

struct TUploadSettings {
  TUploadOptions Options;
  /// Reset 17 (the journal reset) may be sent.
  bool AllowReset17 = false;
};

/// Returns true when the end frame is owed after the table (every table but
/// a reset). Failures are EKomError, but a refused reset is the general
/// failure "#49:Nepovolený reset".
bool UploadTable(TLinkProtocol& link, TSoubor& table, const TUploadSettings& settings, TTransferView& view);
