// Runs one group of desktop tests, named by the first argument (all groups without one).
#include <QApplication>
#include <QTest>
#include <cstring>
#include <memory>

#include "ui/ui_test_groups.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const char* only = argc > 1 && argv[1][0] != '-' ? argv[1] : nullptr;
  int failed = 0;
  for (const UiTestGroup& group : UiTestGroups()) {
    if (only && std::strcmp(only, group.name) != 0) continue;
    std::unique_ptr<QObject> tests = group.make();
    failed += QTest::qExec(tests.get(), 1, argv);
  }
  return failed == 0 ? 0 : 1;
}
