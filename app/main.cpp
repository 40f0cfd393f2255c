// Process entry: hands the arguments to the start-up, which picks the mode.
#include "app/program.h"
#include "base/platform.h"

int main(int argc, char** argv) { return RunProgram(ProgramArguments(argc, argv)); }
