#pragma once
// The activities of a command: the dispatch by activity word after the
// command line has been parsed, logged and checked.
#include "app/command_context.h"
#include "app/command_parameters.h"
#include "transport/nastaveni.h"

/// Runs the command's activity; raises EKomError on failure (error 01 for an
/// activity word that names nothing this module can do). A failed transfer
/// that does not end the activity is recorded in the context's failures.
void RunActivity(TCommandContext& context, TNastaveni& settings, CommandParameters& parameters);
