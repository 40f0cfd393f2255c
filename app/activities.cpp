#include "app/activities.h"

#include "app/card_transfer.h"
#include "app/kom_error.h"
#include "app/register_activities.h"
#include "transport/communication_log.h"

namespace {

constexpr int UnknownActivity = 1;

bool IsChipCardTransfer(const std::string& activity) {
  return activity.starts_with("PCSR") || activity.starts_with("PCSW");
}

bool IsModemActivity(const std::string& activity) {
  return activity == "MODEMDIAL" || activity == "MODEMHANGUP";
}

}  // namespace

void RunActivity(TNastaveni& settings, CommandParameters& parameters) {
  if (IsChipCardTransfer(parameters.Activity)) return TransferCard(settings, parameters);
  if (IsModemActivity(parameters.Activity)) {
    // The modem is not part of this build yet.
    RaiseError(UnknownActivity);
  }
  LogLine("Cinnost komunikace");
  RunRegisterActivity(settings, parameters);
}
