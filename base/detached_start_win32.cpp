// The shell verb "open" with an empty working folder and a normal window;
// ShellExecute returns a value above 32 when it started the program, and a
// lower one when the program is missing or cannot be run. An argument with a
// blank or a quote (a document's full path under "C:\ProgramData\MERV Modul")
// is quoted by the rules programs split their command line with; the others
// go as they are, so a bare document name reaches the viewer unquoted.
#include "base/detached_start.h"

#include "base/command_line_argument.h"
#include "base/wide_name_win32.h"

#include <windows.h>
#include <shellapi.h>

bool StartDetached(const TDetachedStart& start) {
  if (start.Arguments.empty()) return false;
  std::string parameters;
  for (std::size_t i = 1; i < start.Arguments.size(); ++i) {
    if (i > 1) parameters += ' ';
    parameters += QuotedCommandLineArgument(start.Arguments[i]);
  }
  const std::wstring program = WideName(start.Arguments[0]);
  const std::wstring wideParameters = WideName(parameters);
  const auto result = reinterpret_cast<INT_PTR>(
      ::ShellExecuteW(nullptr, L"open", program.c_str(), wideParameters.c_str(), nullptr, SW_SHOWNORMAL));
  return result > 32;
}
