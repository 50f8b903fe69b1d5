#pragma once
// The main window: the pages as tabs, the menu bar and the preview below.
#include <QMainWindow>
#include <array>
#include <string>
#include <vector>

#include "ui/plaquet_page.h"

struct AppState;
class PreviewWindow;
class QTabWidget;
class QAction;
class MessagePage;
class SavePage;
class BatchPage;
class DocumentHistory;
class HelpWindow;
class QMenu;

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
  DocumentHistory& history() { return *history_; }
  HelpWindow* helpWindow() { return help_; }
  const std::vector<std::string>& recentFiles() const { return recent_; }
  void SetActivePage(int index);

  // The menu commands.
  void NewDocument();
  void OpenDocument();
  // Opens the document at path (the command line's FILE); a failure is reported to the user.
  void OpenDocumentFile(const QString& path);
  // After a document was read into the state: a file of the program folder becomes an untitled
  // copy (it must never be written back), the history starts afresh, a user's file goes to the
  // Recent Files menu.
  void DocumentOpened();
  // True when the document was written; failures are reported to the user.
  bool SaveDocument();
  bool SaveDocumentAs();
  void ExitProgram();
  void CopyImage();
  void ShowPreferences();
  void ShowHelpContents();
  void ShowAbout();
  // Confirms in the status bar that path was written.
  void ShowSaved(const std::string& path);
  // False, after telling the user, when path lies in the program folder (never written).
  bool RefuseShipped(const std::string& path);
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
  void OnHistoryRestored();
  void AddRecentFile(const std::string& path);
  void FillRecentMenu();
  void OpenRecentFile(const QString& path);
  // Writes the document to path and tells what happened; true when written.
  bool WriteDocumentAt(const QString& path);

  AppState& state_;
  QTabWidget* tabs_;
  PreviewWindow* preview_;
  std::array<PlaquetPage*, kPageCount> pages_{};
  MessagePage* messagePage_;
  SavePage* savePage_;
  BatchPage* batchPage_;
  DocumentHistory* history_;
  HelpWindow* help_ = nullptr;
  QMenu* recentMenu_ = nullptr;
  std::vector<std::string> recent_;
  int currentPage_ = 0;
  bool closing_ = false;
};
