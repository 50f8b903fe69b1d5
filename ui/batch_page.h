#pragma once
// "Batch Creation": collects message strings into a batch text list and renders the current
// design once per string into numbered files.
#include <string>
#include <vector>

#include "ui/plaquet_page.h"

class QPlainTextEdit;
class QListWidget;
class QComboBox;
class QPushButton;

class BatchPage : public PlaquetPage {
  Q_OBJECT
 public:
  BatchPage(AppState& state, MainWindow& sheet);
  void OnSetActive() override;
  void OnKillActive() override;

  void OnStringEdited();
  void AddToList();
  void EditString(int row);
  void DeleteSelected();
  void NewList();
  void Load();
  // Reads a batch list or a plain list (one string a line), told by content; false (and the
  // list unchanged) when it cannot be read.
  bool LoadFile(const std::string& path);
  // True when the list was written.
  bool Save();
  bool SaveAs();
  void OnComboChanged(int row);
  void FileOption();
  void SaveImages();

 private:
  void ShowList();
  bool WriteList(const std::string& path);
  QPlainTextEdit* edit_;
  QListWidget* list_;
  QComboBox* combo_;
  QPushButton* fileOption_;
};
