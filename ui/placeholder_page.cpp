#include <QLabel>
#include <QVBoxLayout>

#include "ui/plaquet_page.h"

PlaceholderPage::PlaceholderPage(AppState& state, MainWindow& sheet, const QString& what)
    : PlaquetPage(state, sheet) {
  auto* label = new QLabel(what);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignCenter);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
}
