#include "app/activities.h"

#include "app/kom_error.h"
#include "app/modem_activities.h"
#include "app/register_activities.h"
#include "transport/communication_log.h"

namespace {

constexpr int UnknownActivity = 1;

bool IsChipCardTransfer(const std::string& activity) {
  return activity.starts_with("PCSR") || activity.starts_with("PCSW");
}

}  // namespace

void RunActivity(TNastaveni& settings, CommandParameters& parameters) {
  if (IsChipCardTransfer(parameters.Activity)) {
    // Chip-card transfers are not part of this build yet.
    RaiseError(UnknownActivity);
  }
  if (IsModemActivity(parameters.Activity)) {
    RunModemActivity(settings, parameters);
    return;
  }
  LogLine("Cinnost komunikace");
  RunRegisterActivity(settings, parameters);
}
