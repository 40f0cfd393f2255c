#include "app/viewer_launch.h"

std::string ViewerFileName() { return "Vyrnak.exe"; }
