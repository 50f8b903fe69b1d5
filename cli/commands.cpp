#include "cli/commands.h"
int RunCommandLine(int, char**) { return 0; }
