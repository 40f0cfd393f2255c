#pragma once
// The command-file mode: "DOSMODE path" keeps the module resident and runs
// every command file that appears under the watched path.
#include <string>

void RunCommandFileMode(const std::string& commandFilePath);

/// The log line that announces the mode: date and time, then the path.
std::string CommandFileModeStartLine(const std::string& commandFilePath);
