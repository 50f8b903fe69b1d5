#include "ui/help_window.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

HelpWindow::HelpWindow(const QString& file, QWidget* parent) : QDialog(parent) {
  setWindowTitle("Quorbel Help");
  browser_ = new QTextBrowser;
  browser_->setObjectName("help");
  browser_->setOpenExternalLinks(true);
  if (QFileInfo(file).isReadable())
    browser_->setSource(QUrl::fromLocalFile(file));
  else
    browser_->setPlainText(file + ": the help file cannot be read");
  auto* back = new QPushButton("Back");
  auto* close = new QPushButton("Close");
  connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
  connect(close, &QPushButton::clicked, this, &QDialog::close);
  back->setEnabled(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(back);
  buttons->addStretch(1);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(browser_, 1);
  layout->addLayout(buttons);
  resize(640, 600);
}
