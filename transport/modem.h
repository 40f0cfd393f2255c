#pragma once
// The Hayes-compatible dial-up modem on the modem line (TModemLine, a COM
// line of slot 3): dialling the register's number, hanging up, and sending
// initialisation commands from a file. Every AT command goes through
// TPort::SendCommand; every step goes to the communication log. The state
// these operations change is the modem line's.
#include <string>

#include "transport/modem_line.h"
#include "transport/nastaveni.h"

/// Raises a plain failure (no error number of its own) naming `number` when
/// it holds a control byte (below 20h, or 7Fh): a CR would end the dial
/// command and the modem would take the rest as AT commands of their own.
/// Printable characters, the dial modifiers among them, pass.
void RefuseControlBytesInNumber(const std::string& number);

/// Dials `settings.PhoneNumber` (tone or pulse by `settings.ToneDialling`)
/// on the open port of `modem`. A number RefuseControlBytesInNumber refuses
/// is refused before anything is sent, the line left as it was. Connected:
/// state 3, the port stays open. Otherwise the modem is hung up (the port
/// closed and released) and the failure is raised as EKomError: #33 the
/// modem does not answer, #34 the line is busy, #35 no carrier (with the
/// modem's S86 reason when it gives one), #36 any other answer or failure.
void Dial(TModemLine& modem, const TNastaveni& settings, bool minimized);

/// Ends the call with the escape sequence (between two guard times of quiet)
/// and ATH0, then closes and releases the
/// modem line's port. Does nothing without a port. The port is closed and
/// released even when a step fails; the failure is raised afterwards.
void HangUp(TModemLine& modem, bool minimized);

/// Sends every line of the text file `file` as an AT command; returns the
/// collected answers (echo included), separated by ",". A line whose answer
/// holds no "OK" fails with #36; a file that cannot be read fails unnumbered.
std::string RunModemScript(const TModemLine& modem, const std::string& file);
