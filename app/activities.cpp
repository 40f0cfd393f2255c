#include "app/activities.h"

#include "app/activity_run.h"
#include "app/activity_table.h"
#include "app/register_activities.h"
#include "base/communication_log.h"
#include "base/kom_error.h"

void RunActivity(TCommandContext& context, TNastaveni& settings, CommandParameters& parameters) {
  // A word of no row is refused as a register activity: after the log line
  // and the catalogue, as the caller's logs have always shown it.
  static constexpr TActivity Unknown{};
  const TActivity* found = FindActivity(parameters.Activity);
  const TActivity& activity = found != nullptr ? *found : Unknown;
  TActivityRun run(context, settings, parameters);
  if (!activity.WithCatalogue) {
    if (activity.Run == nullptr) RaiseError(ErrorNumber::NoActivity);
    activity.Run(run);
    return;
  }
  LogLine("Cinnost komunikace");
  // The export's folder is the caller's: a missing one is known before the
  // register is read.
  if (activity.ExportValues) RequireOutputFolder(parameters.DataFile);
  RunRegisterActivity(run, activity.Table, activity.Run);
}
