#pragma once
// The groups of desktop tests, each made by its own file.
#include <QObject>
#include <functional>
#include <memory>
#include <vector>

struct UiTestGroup {
  const char* name;
  std::function<std::unique_ptr<QObject>()> make;
};

std::unique_ptr<QObject> MakeWindowTests();
std::unique_ptr<QObject> MakeMessageTests();
std::unique_ptr<QObject> MakeSaveTests();
std::unique_ptr<QObject> MakeBatchTests();
std::unique_ptr<QObject> MakePreferencesTests();
std::unique_ptr<QObject> MakePagesTests();
std::unique_ptr<QObject> MakeDialogTests();
std::unique_ptr<QObject> MakeHistoryTests();
std::unique_ptr<QObject> MakePreviewTests();
std::unique_ptr<QObject> MakeDropTests();
std::unique_ptr<QObject> MakeStrokeDialogTests();

inline std::vector<UiTestGroup> UiTestGroups() {
  return {{"window", MakeWindowTests},
          {"message", MakeMessageTests},
          {"save", MakeSaveTests},
          {"batch", MakeBatchTests},
          {"preferences", MakePreferencesTests},
          {"dialogs", MakeDialogTests},
          {"stroke", MakeStrokeDialogTests},
          {"pages", MakePagesTests},
          {"history", MakeHistoryTests},
          {"preview", MakePreviewTests},
          {"drops", MakeDropTests}};
}
