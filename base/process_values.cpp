#include "base/process_values.h"

std::string ProgramDir;
std::string ProgramCaption;
std::string ApplicationTitle;
int ErrorCode = 0;
