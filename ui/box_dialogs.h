#pragma once
// The small dialogs of the Background and Bullet "Properties" buttons: the template text with its
// font, and the fixed-size round box.
#include <QDialog>
#include <array>
#include <cstdint>

#include "effects/effect_record.h"

struct AppState;
class PreviewWindow;
class QPlainTextEdit;
class QSlider;
class QLineEdit;

// "Message": edits the render inputs' text and font, showing the bare text in the preview. OK
// and Cancel only end it; the caller decides what to take back.
class MessageTextDialog : public QDialog {
  Q_OBJECT
 public:
  MessageTextDialog(AppState& state, PreviewWindow* preview, QWidget* parent = nullptr);
  void SetText(const QString& text);  // as if typed
  void OnFont();

 private:
  void ShowText();
  AppState& state_;
  PreviewWindow* preview_;
  QPlainTextEdit* edit_;
};

// "Absolute Size Round Box": the box size in pixels and its corner rounding (slots 4..7 of the
// Round Box record) and where the message sits across the box (messageAlign, percent). True with
// OK, with the record and messageAlign updated.
bool RunAbsoluteRoundBoxDialog(QWidget* parent, EffectRecord& record, int32_t& messageAlign);

// The Round Box effect's dialog on record; true with OK.
bool RunRoundBoxDialog(AppState& state, QWidget* parent, EffectRecord& record);
