#include "ui/preferences_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

#include "document/preferences.h"
#include "ui/app_state.h"
#include "ui/ui_hooks.h"

PreferencesDialog::PreferencesDialog(AppState& state, QWidget* parent) : QDialog(parent), state_(state) {
  setWindowTitle("Preferences");
  const ProgramSettings& s = state.ctx->settings;
  antiAliasing_ = new QCheckBox("Anti-Aliasing");
  antiAliasing_->setChecked(s.antiAliasing);
  clipBlank_ = new QCheckBox("Clipping blank area");
  clipBlank_->setChecked(s.clipBlank);
  auto* font = new QGroupBox("Font");
  auto* fontLayout = new QVBoxLayout(font);
  fontLayout->addWidget(antiAliasing_);
  fontLayout->addWidget(clipBlank_);
  // Smoother edges for every effect: drawn this many times larger, then reduced.
  supersample_ = new QComboBox;
  supersample_->addItems({"Off", "2 x 2", "3 x 3", "4 x 4"});
  supersample_->setCurrentIndex(std::clamp(s.supersample, 1, 4) - 1);
  auto* supersampleRow = new QHBoxLayout;
  auto* supersampleLabel = new QLabel("&Supersampling");
  supersampleLabel->setBuddy(supersample_);
  supersampleRow->addWidget(supersampleLabel);
  supersampleRow->addWidget(supersample_);
  fontLayout->addLayout(supersampleRow);

  popularity_ = new QRadioButton("Popularity algorithm");
  medianCut_ = new QRadioButton("Optimized median cut");
  auto* highQuality = new QRadioButton("High quality");
  auto* group = new QButtonGroup(this);
  group->addButton(popularity_, 0);
  group->addButton(medianCut_, 1);
  group->addButton(highQuality, 2);
  // None is checked for a stored value other than 0, 1 or 2.
  group->setExclusive(false);
  popularity_->setChecked(s.reduceColorMethod == 0);
  medianCut_->setChecked(s.reduceColorMethod == 1);
  highQuality->setChecked(s.reduceColorMethod == 2);
  group->setExclusive(true);
  dithering_ = new QCheckBox("Dithering (smoother gradients)");
  dithering_->setChecked(s.dithering);
  connect(group, &QButtonGroup::idClicked, this, [this](int id) { state_.ctx->settings.reduceColorMethod = id; });
  auto* reduction = new QGroupBox("Color reduction method");
  auto* reductionLayout = new QVBoxLayout(reduction);
  reductionLayout->addWidget(popularity_);
  reductionLayout->addWidget(medianCut_);
  reductionLayout->addWidget(highQuality);
  reductionLayout->addWidget(dithering_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(font);
  layout->addWidget(reduction);
  layout->addWidget(buttons);
}

void PreferencesDialog::accept() {
  ProgramSettings& s = state_.ctx->settings;
  s.antiAliasing = antiAliasing_->isChecked();
  s.clipBlank = clipBlank_->isChecked();
  s.dithering = dithering_->isChecked();
  s.supersample = supersample_->currentIndex() + 1;
  std::string error;
  if (!StorePreferences(s, state_.preferencesPath, &error))
    Hooks().Tell(this, "Error!", "Cannot save preferences: " + QString::fromStdString(state_.preferencesPath) +
                                     ": " + QString::fromStdString(error));
  QDialog::accept();
}
