#include "app/about_mode.h"

#include <ext/stdio_sync_filebuf.h>

#include <cstdio>
#include <istream>
#include <ostream>
#include <sstream>
#include <system_error>

#include "app/log_option.h"
#include "base/code_page.h"
#include "base/communication_log.h"
#include "base/input_file.h"
#include "base/localized_texts.h"
#include "base/platform.h"
#include "base/process_values.h"

namespace {

constexpr int DescriptionCaptionText = 243;
// The description is a page of text.
constexpr std::uint64_t MaxDescriptionSize = 1u << 20;

// Reads a yes/no answer; an empty line or end of input keeps `current`.
// The person's answer: an empty line keeps the current state; the input
// ending before a line is no answer at all.
std::optional<bool> AskYesNo(std::istream& in, std::ostream& out, const std::string& question, bool current) {
  out << question << (current ? " [A/n] " : " [a/N] ") << std::flush;
  std::string answer;
  if (!std::getline(in, answer)) return std::nullopt;
  if (answer.empty()) return current;
  const char first = answer[0];
  if (first == 'a' || first == 'A' || first == 'y' || first == 'Y') return true;
  if (first == 'n' || first == 'N') return false;
  return current;
}

void ShowDescription(std::ostream& out, const std::string& readmePath) {
  out << "--- " << Cp1250ToUtf8(LoadText(DescriptionCaptionText)) << " ---\n";
  std::istringstream readme;
  try {
    readme.str(ReadInputFile(readmePath, MaxDescriptionSize));
  } catch (const std::system_error& failure) {
    out << failure.what() << "\n";
    return;
  }
  std::string line;
  while (std::getline(readme, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out << Cp1250ToUtf8(line) << "\n";
  }
}

}  // namespace

std::optional<bool> RunAboutDialogue(std::istream& in, std::ostream& out, bool interactive, bool logOn,
                                     const std::string& readmePath) {
  out << Cp1250ToUtf8(ProgramCaption()) << "\n";
  out << "Zapisovat průběh komunikace do souboru: " << (logOn ? "ano" : "ne") << "\n";
  if (!interactive) return std::nullopt;
  const std::string descriptionQuestion = "Zobrazit " + Cp1250ToUtf8(LoadText(DescriptionCaptionText)) + "?";
  if (AskYesNo(in, out, descriptionQuestion, false).value_or(false)) ShowDescription(out, readmePath);
  return AskYesNo(in, out, "Zapisovat průběh komunikace do souboru?", logOn);
}

void RunAboutMode(const TProgramSetup& setup) {
  ReadLogOption(setup.Log, setup.ProgramFolder);
  // The standard streams as <iostream> makes them (on C's stdin and stdout,
  // input tied to output), built here: including <iostream> would build them
  // at every start of the module, for every command.
  __gnu_cxx::stdio_sync_filebuf<char> inputBuffer(stdin);
  __gnu_cxx::stdio_sync_filebuf<char> outputBuffer(stdout);
  std::istream input(&inputBuffer);
  std::ostream output(&outputBuffer);
  input.tie(&output);
  const auto logOn = RunAboutDialogue(input, output, StandardInputIsTerminal(), !setup.Log.CipheredPath.empty(),
                                      setup.ProgramFolder + "readme.txt");
  // Written only when the person answered: a value written without one would
  // shadow the machine's setting (Windows) with a state nobody chose.
  if (!logOn) return;
  try {
    WriteLogOption(*logOn);
  } catch (const std::exception& failure) {
    output.flush();
    std::fprintf(stderr, "MERV Modul: %s\n", failure.what());
  }
}
