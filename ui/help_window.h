#pragma once
// The help, shown in a window of the program itself: it needs no web browser, and its links
// between help pages stay inside it (links to the web go to the browser, when there is one).
#include <QDialog>
#include <QString>

class QTextBrowser;

class HelpWindow : public QDialog {
  Q_OBJECT
 public:
  // Shows the file, or a line naming it when it can't be read.
  HelpWindow(const QString& file, QWidget* parent = nullptr);
  QTextBrowser& browser() { return *browser_; }

 private:
  QTextBrowser* browser_;
};
