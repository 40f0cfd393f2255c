// Process entry: hands the arguments to the start-up, which picks the mode.
#include "app/program.h"

int main(int argc, char** argv) {
  return RunProgram(argc, argv);
}
