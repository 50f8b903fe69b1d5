#include "cli/commands.h"

#ifdef QUORBEL_HAVE_UI
#include "ui/application.h"
#endif

int main(int argc, char** argv) {
#ifdef QUORBEL_HAVE_UI
  if (!IsHeadlessCommand(argc, argv)) return RunDesktopApplication(argc, argv);
#endif
  return RunCommandLine(argc, argv);
}
