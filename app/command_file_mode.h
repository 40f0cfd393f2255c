#pragma once
// The command-file mode: "DOSMODE path" keeps the module resident and runs
// every command file that appears under the watched path.
#include <string>

#include "app/command_context.h"

/// Runs the mode until "CLOSE" or an end signal. False when an outcome could
/// not be written, or when the mode did not start: a second resident process
/// for the same path refuses to start (said on standard error), as the first
/// holds an exclusive lock on CommandFileModeLockPath(path) for its life.
bool RunCommandFileMode(const TProgramSetup& setup, const std::string& commandFilePath);

/// The lock file beside the command file: its path + ".mervlock".
std::string CommandFileModeLockPath(const std::string& commandFilePath);

/// The log line that announces the mode: date and time, then the path.
std::string CommandFileModeStartLine(const std::string& commandFilePath);
