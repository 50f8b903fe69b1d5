#pragma once
#include <initializer_list>
// What every effect parameter dialog shares: slider rows with an edit box beside each slider,
// colour buttons with a swatch, OK/Cancel, and the live preview of the one effect being edited.
// Every change goes at once into the record the dialog was opened on; OK and Cancel only end the
// dialog (the caller decides what to keep).
#include <QDialog>
#include <deque>
#include <functional>

#include "effects/effect_record.h"

struct AppState;
struct EngineContext;
struct EffectParam;
class LiveSlider;
class QLineEdit;
class QPushButton;
class QLabel;
class QGridLayout;
class QBoxLayout;
class QGroupBox;

// Called after each preview to show the new picture; empty looks for the main window among the
// dialog's parents.
using PreviewRefresh = std::function<void()>;

class EffectDialog : public QDialog {
  Q_OBJECT
 public:
  EffectDialog(int type, EffectRecord& record, AppState& state, PreviewRefresh refresh, QWidget* parent);

  EffectRecord& record() { return record_; }
  // The controls of a slot (nullptr when the dialog has none), for the style editor's tests.
  LiveSlider* sliderFor(int slot) const;
  QLineEdit* editFor(int slot) const;
  QPushButton* colourButtonFor(int slot) const;
  // How many previews ran since the dialog opened.
  int previewCount() const { return previewCount_; }

 protected:
  struct Row {
    int slot = -1;
    LiveSlider* slider = nullptr;
    QLineEdit* edit = nullptr;
    int member = 0;        // the value behind the edit box
    int divisor = 1;       // the box shows member / divisor
    bool decimal = false;  // the box takes a decimal number (stored truncated)
    bool negated = false;  // the slider shows minus the value
    bool typedPreviews = true;
    bool displayOnly = false;
  };
  struct ColourButton {
    int slot;
    QPushButton* button;
    QLabel* swatch;
  };

  // A row labelled and ranged from the catalogue entry of the slot.
  Row& AddRow(QGridLayout* grid, int gridRow, int slot);
  // A row with its own label and range.
  Row& AddRow(QGridLayout* grid, int gridRow, int slot, const QString& label, int minValue, int maxValue,
              int page, Qt::Orientation orientation = Qt::Horizontal);
  ColourButton& AddColour(QGridLayout* grid, int gridRow, int slot, const QString& label);
  QGroupBox* Group(const QString& title, QGridLayout*& grid);
  // Puts body above the OK/Cancel buttons.
  void SetBody(QBoxLayout* body);
  // The common body: one slider row per slot, then a "Color" group with its "Change" button.
  void SetSlidersAndColour(std::initializer_list<int> paramSlots);
  // Opening: slider ranges and positions from the record, controls from the members, preview.
  void Start(bool preview = true);

  Row* RowFor(int slot);
  // The sliders' positions into the record and members; controls from members; preview.
  virtual void OnSliderMoved();
  // An edit box changed: by default its value into the slot and the slider, then preview.
  virtual void OnEdited(Row& row);
  // The number in a box, as it is stored (before any per-dialog rule).
  int TypedValue(const Row& row) const;
  void SetSliderPosition(Row& row, int value);
  void MembersToControls();
  void ShowSwatches();

  // Runs the one effect over the work set and shows the picture.
  virtual void Preview();
  void PreviewRecord();
  // The glyph changing dialogs paint the result white so the new shape shows.
  void PaintGlyphsWhite();
  void ShowPicture(bool newPreview = true);
  // Opens the colour dialog for a slot; true when a colour was chosen.
  bool ChooseColour(int slot);

  EngineContext& ctx();
  EffectRecord& record_;
  AppState& state_;
  std::deque<Row> rows_;
  std::deque<ColourButton> colours_;
  int previewCount_ = 0;

 private:
  int type_;
  PreviewRefresh refresh_;
};
