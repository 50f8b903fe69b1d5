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
  // The open document is not one of the examples (the start-up or a new document, or one opened
  // from elsewhere): no entry is highlighted until one is chosen, so the list never claims to show
  // an example the preview does not.
  void ClearSelection();
  // At start-up without a file: opens the entry the list highlights, so that the window shows an
  // example rather than the bare start-up document.
  void OpenStartExample();

 private:
  void FillList();
  QListWidget* list_;
  std::string remembered_;
  bool filling_ = false;
  bool showNone_ = false;
};
