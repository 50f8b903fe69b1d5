#pragma once
// The headless commands of the quorbel executable: render, batch, size, convert.

// True when argv names a headless command (or asks for help), so no window should open.
bool IsHeadlessCommand(int argc, char** argv);
// Runs the command; the exit status: 0 all files written, 1 a failure, 2 a usage error.
int RunCommandLine(int argc, char** argv);
