#pragma once
// What happens to the finished PDF: printed on a named printer, or shown in
// the desktop's viewer. One implementation per platform: pdf_handoff_posix.cpp
// (lp, xdg-open), pdf_handoff_win32.cpp (the shell's "printto", "print" and "open").
#include <filesystem>
#include <stdexcept>
#include <string>

/// The hand-off failed; the message says what was run and how it ended.
class EHandoffError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

/// Gives SIGCHLD its default action back (POSIX; nothing on Windows). A
/// caller may start the viewer with the signal ignored, and then the system
/// reaps lp unseen and its exit status is lost. Called first in main.
void RestoreChildSignal();

/// Longest wait for the print spooler to take the file.
constexpr int PrintWaitSeconds = 60;

/// Sends the PDF to the printer and waits, at most PrintWaitSeconds, until the
/// spooler has taken it. Throws EHandoffError.
void PrintOnPrinter(const std::filesystem::path& pdf, const std::string& printer);

/// Starts the desktop's viewer on the PDF without waiting for it (on Windows
/// the shell's "print" to the default printer first, else "open"). False
/// when there is no desktop to show it on or no viewer could be started.
bool OpenInViewer(const std::filesystem::path& pdf);
