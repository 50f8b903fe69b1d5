#pragma once
// "Bullet": the glyph or small round box left of the message, its properties and its style.
#include "ui/background_page.h"

class CPlaqBulletin : public DecorationPage {
  Q_OBJECT
 public:
  CPlaqBulletin(AppState& state, CMainProperty& sheet);
  void OnSetActive() override;
  void OnProperties() override;

 protected:
  void AfterEditStyleOk() override;
};
