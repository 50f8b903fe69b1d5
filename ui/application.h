#pragma once
// The desktop application: the window with its pages over one document and one render context.
int RunDesktopApplication(int argc, char** argv);
