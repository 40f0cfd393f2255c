#pragma once
// The modem line against the emulator playing a Hayes modem on a
// pseudo-terminal (POSIX test harness): the emulator's device is COM line
// ModemCom, and the line is opened as the command processor opens it.
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "transport/nastaveni.h"
#include "transport/modem_line.h"

inline constexpr int ModemCom = 7;

/// Makes COM line ModemCom the pseudo-terminal `device` (through MERV_COM<n>).
inline void UseDeviceAsModemCom(const std::filesystem::path& device) {
  ::setenv(("MERV_COM" + std::to_string(ModemCom)).c_str(), device.c_str(), 1);
}

/// The command settings of a modem on ModemCom at 115200 bit/s that
/// tone-dials 5551234.
inline TNastaveni EmulatedModemSettings() {
  TNastaveni settings = TNastaveni::CommandDefaults();
  settings.ComPort[ModemSlot] = ModemCom;
  settings.BaudRate[ModemSlot] = 115200;
  settings.PhoneNumber = "5551234";
  settings.ToneDialling = true;
  return settings;
}

/// Opens the modem's port on `line` with `settings`, as the command processor
/// does before it dials.
inline void OpenModemLine(TModemLine& line, const TNastaveni& settings) {
  line.AdoptSettings(settings);
  line.Adopt(std::make_unique<TPort>());
  line.Port()->Open(line.Settings(), ModemSlot);
  line.SetState(ModemStates::Connected);
}
