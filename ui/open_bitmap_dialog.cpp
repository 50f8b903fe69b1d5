#include "ui/open_bitmap_dialog.h"

#include <algorithm>
#include <vector>

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "document/style_file.h"
#include "imaging/dib_image.h"
#include "ui/dib_qimage.h"

OpenBitmapDialog::OpenBitmapDialog(const std::string& folder, const std::string& pattern,
                                   const std::string& current, QWidget* parent, const std::string& firstPrefix)
    : QDialog(parent), folder_(folder) {
  setWindowTitle("Open Bitmap");
  list_ = new QListWidget;
  list_->setObjectName("imageFiles");
  preview_ = new QLabel;
  preview_->setObjectName("preview");
  preview_->setMinimumSize(160, 160);
  preview_->setAlignment(Qt::AlignCenter);

  auto* listBox = new QGroupBox("Image Files");
  (new QVBoxLayout(listBox))->addWidget(list_);
  auto* previewBox = new QGroupBox("Preview");
  (new QVBoxLayout(previewBox))->addWidget(preview_);
  auto* row = new QHBoxLayout;
  row->addWidget(listBox, 1);
  row->addWidget(previewBox, 1);

  auto* note = new QLabel("If you want to add your own bitmap, place it in /quorbel/bitmap folder.");
  note->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row, 1);
  layout->addWidget(note);
  layout->addWidget(buttons);

  const std::string pat = pattern.empty() ? "*.*" : pattern;
  std::vector<std::string> names = ListFilesMatching(folder + pat);
  if (!firstPrefix.empty())
    std::stable_partition(names.begin(), names.end(), [&](const std::string& n) { return n.starts_with(firstPrefix); });
  for (const std::string& name : names) list_->addItem(QString::fromStdString(name));
  const auto found = list_->findItems(QString::fromStdString(current), Qt::MatchFixedString);
  if (!current.empty() && !found.isEmpty()) list_->setCurrentItem(found.front());
  connect(list_, &QListWidget::currentRowChanged, this, &OpenBitmapDialog::ShowSelected);
  connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
  ShowSelected();
}

std::string OpenBitmapDialog::selectedName() const {
  const QListWidgetItem* item = list_->currentItem();
  return item ? item->text().toStdString() : std::string();
}

void OpenBitmapDialog::ShowSelected() {
  const std::string name = selectedName();
  if (name.empty()) {
    preview_->clear();
    return;
  }
  DibImage image;
  std::string error;
  if (!image.Load(folder_ + name, &error)) {
    preview_->setText(QString::fromStdString(error));
    return;
  }
  QPixmap pix = QPixmap::fromImage(DibToQImage(image));
  if (pix.width() > preview_->width() || pix.height() > preview_->height())
    pix = pix.scaled(preview_->size(), Qt::KeepAspectRatio);
  preview_->setPixmap(pix);
}
