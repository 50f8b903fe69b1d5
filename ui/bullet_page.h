#pragma once
// "Bullet": the glyph or small round box left of the message, its properties and its style.
#include "ui/background_page.h"

class BulletPage : public DecorationPage {
  Q_OBJECT
 public:
  BulletPage(AppState& state, MainWindow& sheet);
  void OnSetActive() override;
  void OnProperties() override;

 protected:
  void AfterEditStyleOk() override;
};
