#include "app/activities.h"

#include "app/kom_error.h"
#include "transport/communication_log.h"

namespace {

constexpr int UnknownActivity = 1;

bool IsChipCardTransfer(const std::string& activity) {
  return activity.starts_with("PCSR") || activity.starts_with("PCSW");
}

bool IsModemActivity(const std::string& activity) {
  return activity == "MODEMDIAL" || activity == "MODEMHANGUP";
}

// Register activities: none is available in this build yet, so every
// activity word ends with "activity not defined" after the log line that
// announces the communication.
void RunRegisterActivity(TNastaveni&, CommandParameters&) {
  LogLine("Cinnost komunikace");
  RaiseError(UnknownActivity);
}

}  // namespace

void RunActivity(TNastaveni& settings, CommandParameters& parameters) {
  if (IsChipCardTransfer(parameters.Activity) || IsModemActivity(parameters.Activity)) {
    RaiseError(UnknownActivity);
  }
  RunRegisterActivity(settings, parameters);
}
