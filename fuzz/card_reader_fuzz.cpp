// The chip-card reader's replies as the module receives them during a card
// copy: greeting and status, a block read and a block write, the end.
#include <cstdint>

#include "base/kom_error.h"
#include "fuzz_input.h"
#include "protocol/card_exchange.h"
#include "transport/nastaveni.h"
#include "transport/port.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TFuzzInput input(data, size);
  const int start = input.Byte();
  const int length = 1 + input.Byte() % (CardSize - start);
  const bool verify = input.Byte() & 1;
  TScriptedComLine line(input.Rest());
  const TNastaveni settings = FuzzComSettings();
  TPort port(line);
  port.Open(settings, 1);
  TCardImage image{};
  try {
    StartCardExchange(port);
    ReadCardBlock(port, image, start, length, verify);
    WriteCardBlock(port, image, start, length);
    EndCardExchange(port);
  } catch (const EKomError&) {
    // A reader that answers wrongly ends the copy with its step's number.
  }
  return 0;
}
