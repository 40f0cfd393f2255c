// The command string as a shop application passes it.
#include <cstdint>
#include <string>

#include "app/command_line.h"
#include "base/kom_error.h"
#include "transport/nastaveni.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string command(reinterpret_cast<const char*>(data), size);
  TNastaveni settings = TNastaveni::CommandDefaults();
  CommandParameters parameters;
  try {
    ParseCommand(command, {}, settings, parameters);
    CheckConnectionParameters(settings, parameters);
  } catch (const EKomError&) {
    // A refused command line ends with its error number: the expected outcome.
  }
  return 0;
}
