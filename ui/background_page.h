#pragma once
// "Background": the template drawn behind the message (text, stretched text or a round box), its
// properties and style, the page colour or transparency and the pressed-button picture. Also the
// part it shares with "Bullet": the template radios, the item's style list and its editor.
#include <QRadioButton>
#include <map>
#include <string>

#include "ui/plaquet_page.h"

class QListWidget;
class QPushButton;
class QCheckBox;
class QLabel;
class QGroupBox;

class DecorationPage : public PlaquetPage {
  Q_OBJECT
 public:
  DecorationPage(AppState& state, MainWindow& sheet, int itemIndex);

  // Handlers, also driven by tests.
  void SelectKind(int kind);
  void OnStyleSelected();
  void OnEditStyle();
  virtual void OnProperties() = 0;

  QListWidget& styleList() { return *styles_; }
  QRadioButton* kindRadio(int kind) { return radios_.count(kind) ? radios_[kind] : nullptr; }

 protected:
  // Builds the "Template" group from (kind, label) pairs.
  QGroupBox* MakeTemplateGroup(const std::vector<std::pair<int, const char*>>& kinds);
  void FillStyleList();
  void ShowKind();
  void RenderAndRefresh();
  // "Background" or "Bullet", for the names of the steps in the Edit menu.
  QString ItemName() const;
  virtual void AfterKindChange(int) {}
  virtual void AfterStyleLoaded() {}
  virtual void BeforeEditStyle() {}
  virtual void AfterEditStyleOk() {}

  int itemIndex_;
  std::map<int, QRadioButton*> radios_;
  QPushButton* properties_ = nullptr;
  QListWidget* styles_ = nullptr;
  QPushButton* editStyle_ = nullptr;
  std::string rememberedStyle_;
  bool filling_ = false;
};

class BackgroundPage : public DecorationPage {
  Q_OBJECT
 public:
  BackgroundPage(AppState& state, MainWindow& sheet);
  void OnSetActive() override;
  void OnProperties() override;
  void OnColor();
  void OnTransparent(bool checked);
  void OnButton(bool checked);
  QCheckBox& transparent() { return *transparent_; }
  QCheckBox& button() { return *button_; }

 protected:
  void AfterKindChange(int kind) override;
  void AfterStyleLoaded() override;
  void BeforeEditStyle() override;
  void AfterEditStyleOk() override;

 private:
  void ShowSwatch();
  QLabel* swatch_;
  QPushButton* color_;
  QCheckBox* transparent_;
  QCheckBox* button_;
};
