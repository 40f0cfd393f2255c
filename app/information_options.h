#pragma once
// The options a person gives as the first argument: -h, --help, --version,
// --explain [N] (or --explain=N), --list-models, --ports, --doctor PARAMETERS [--json]. They print to standard output with
// status 0 (--doctor: 1 when a check failed) and never run a command or write "error.dat"; a wrong option goes
// to standard error with status 2. No activity word begins with "-", so no
// command meant for a register can be taken for one.
#include <optional>
#include <string>
#include <vector>

/// What an option printed and the exit status.
struct TOptionOutcome {
  std::string Output;
  std::string Errors;
  int Status = 0;
};

/// Exit status of a wrong option or argument.
inline constexpr int UsageFailure = 2;

/// A usage error: the message and the hint to the help on standard error,
/// status UsageFailure.
TOptionOutcome UsageError(const std::string& message);

/// The outcome of the option in the first argument; none when the first
/// argument is no option (a command, or no argument at all). `programDir`
/// is the folder of the "error.dat" that `--explain` alone reads.
std::optional<TOptionOutcome> RunInformationOption(const std::vector<std::string>& arguments,
                                                   const std::string& programDir);

/// `--list-models`: every model, its /ECR= code and the tables of its catalogue.
std::string ModelListText();

/// `--ports`: the serial devices and the COM numbers that reach them.
std::string PortListText();
