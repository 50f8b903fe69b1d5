#pragma once
// "Message": the message text, its font, main colour or texture, the picture's margins and the
// style applied to it.
#include <string>

#include "ui/plaquet_page.h"

class QPlainTextEdit;
class QLineEdit;
class QPushButton;
class QListWidget;
class LiveSlider;

class MessagePage : public PlaquetPage {
  Q_OBJECT
 public:
  MessagePage(AppState& state, MainWindow& sheet);
  void OnSetActive() override;
  void OnKillActive() override;

  // Handlers, also driven by tests.
  void OnMessageChanged();
  void OnFont();
  void OnColor();
  void OnSliderMoved();
  void OnMarginEdited(bool xChanged);
  void OnStyleSelected();
  // Makes the style file at path the message's style (asking first about unsaved style changes);
  // false when the user cancelled or the question's save failed.
  bool ApplyStyleFile(const std::string& path);
  void OnEditStyle();

 private:
  void FillStyleList();
  void UpdateColorButton();
  void ApplyMargins(int x, int y);

  QPlainTextEdit* message_;
  LiveSlider* sliderX_;
  LiveSlider* sliderY_;
  QLineEdit* editX_;
  QLineEdit* editY_;
  QLineEdit* face_;
  QPushButton* font_;
  QPushButton* color_;
  QListWidget* styles_;
  QPushButton* editStyle_;
  std::string rememberedStyle_;
  bool filling_ = false;
};
