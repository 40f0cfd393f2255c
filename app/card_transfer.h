#pragma once
// "PCSR" and "PCSW": copies of a chip card's memory through the card reader
// on COM line slot 1. "PCSR" reads the card into DataFile, "PCSW" writes
// DataFile onto the card and reads it back to verify. A suffix ".start.length"
// ("PCSR.16.32") limits the copy to that range of the 256 bytes; the file
// holds exactly the bytes of the range. The reader's port is released
// however the copy ends.
#include <string_view>

#include "app/command_parameters.h"
#include "transport/nastaveni.h"
#include "transport/port.h"

struct TCardRange {
  int Start = 0;
  int Length = 256;

  bool WholeCard() const { return Start == 0 && Length == 256; }
};

/// The range named by the activity word: after "PCSR." or "PCSW." the text
/// before the last "." is the start (0 when it is no integer), the text
/// after it the length (256 when it is no integer); no suffix: the whole card.
TCardRange CardRangeOf(std::string_view activity);

/// Raises error 01 for a range that does not lie inside the 256 bytes of
/// the card, or that is empty.
void CheckCardRange(const TCardRange& range);

/// The whole activity; failures are raised as EKomError.
void TransferCard(TNastaveni& settings, const CommandParameters& parameters, TLineOptions lineOptions);
