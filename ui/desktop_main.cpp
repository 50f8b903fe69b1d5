#include "ui/application.h"

int main(int argc, char** argv) { return RunDesktopApplication(argc, argv); }
