#pragma once
// "Examples": the example documents of the program folder; choosing one opens it.
#include <string>

#include "ui/plaquet_page.h"

class QListWidget;

class ExamplesPage : public PlaquetPage {
  Q_OBJECT
 public:
  ExamplesPage(AppState& state, MainWindow& sheet);
  void OnSetActive() override;
  // Opens the list entry at row (as a selection by the user does).
  void OnSelected();
  QListWidget& list() { return *list_; }

 private:
  void FillList();
  QListWidget* list_;
  std::string remembered_;
  bool filling_ = false;
};
