#include "transport/nastaveni.h"

TNastaveni TNastaveni::CommandDefaults() {
  TNastaveni settings;
  settings.Parity[1] = 'O';
  settings.Timeout[1] = 4000;
  settings.Parity[3] = 'N';
  settings.Timeout[3] = 12000;
  return settings;
}

std::uint8_t TNastaveni::LineMode(int slot) const {
  std::uint8_t mode = 0;
  switch (Parity.at(slot)) {
    case 'E':
      mode = 0x18;
      break;
    case 'M':
      mode = 0x28;
      break;
    case 'O':
      mode = 0x08;
      break;
    case 'S':
      mode = 0x38;
      break;
    default:
      break;
  }
  switch (DataBits.at(slot)) {
    case 5:
      break;
    case 6:
      mode += 1;
      break;
    case 7:
      mode += 2;
      break;
    default:
      mode += 3;
      break;
  }
  if (StopBits.at(slot) != 1) mode += 4;
  return mode;
}
