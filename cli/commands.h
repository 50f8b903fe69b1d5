#pragma once
// The headless commands of the quorbel executable.
int RunCommandLine(int argc, char** argv);
