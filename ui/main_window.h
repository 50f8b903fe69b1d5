#pragma once
// The main window: the pages as tabs, the menu bar and the preview below.
#include <QMainWindow>
#include <array>

#include "ui/plaquet_page.h"

struct AppState;
class PreviewWindow;
class QTabWidget;
class QAction;
class MessagePage;
class SavePage;
class BatchPage;

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  enum PageIndex { kExamples = 0, kMessage, kBackground, kBullet, kSave, kBatch, kToImage, kPageCount };
  explicit MainWindow(AppState& state, QWidget* parent = nullptr);

  AppState& state() { return state_; }
  PreviewWindow& preview() { return *preview_; }
  QTabWidget& tabs() { return *tabs_; }
  MessagePage& messagePage() { return *messagePage_; }
  SavePage& savePage() { return *savePage_; }
  BatchPage& batchPage() { return *batchPage_; }
  void SetActivePage(int index);

  // The menu commands.
  void NewDocument();
  void OpenDocument();
  // Opens the document at path (the command line's FILE); a failure is reported to the user.
  void OpenDocumentFile(const QString& path);
  // True when the document was written; failures are reported to the user.
  bool SaveDocument();
  bool SaveDocumentAs();
  void ExitProgram();
  void CopyImage();
  void ShowPreferences();
  void ShowHelpContents();
  void ShowAbout();
  // Re-renders the whole picture and shows it on the preview's current tab.
  void RenderAndRefresh();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // The question asked before the document is dropped: false when the user cancelled (or a
  // requested save did not happen).
  bool AskSaveChanges();
  friend class DropHandler;
  void OnPageChanged(int index);
  void BuildMenus();

  AppState& state_;
  QTabWidget* tabs_;
  PreviewWindow* preview_;
  std::array<PlaquetPage*, kPageCount> pages_{};
  MessagePage* messagePage_;
  SavePage* savePage_;
  BatchPage* batchPage_;
  int currentPage_ = 0;
  bool closing_ = false;
};
