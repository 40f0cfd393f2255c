#include "app/viewer_launch.h"

#include <windows.h>
#include <shellapi.h>

std::string ViewerFileName() { return "Vyrnak.exe"; }

// The shell verb "open" with an empty working folder and a normal window;
// ShellExecute returns a value above 32 when it started the program. The
// arguments go unquoted, "FILE" and the document's name: the name never holds
// a blank (a temporary folder with one is passed over for the last resort).
bool StartDetached(const std::string& program, const std::string& first, const std::string& second) {
  const std::string parameters = first + " " + second;
  const auto result = reinterpret_cast<INT_PTR>(
      ::ShellExecuteA(nullptr, "open", program.c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL));
  return result > 32;
}
