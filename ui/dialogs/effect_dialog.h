#pragma once
// The effect parameter dialog. It lays out a type's parameters from the effect catalogue (labels,
// ranges, page sizes, groups, kinds): a slider row with an edit box for each number, a button
// with a swatch for each colour, a drop-down list for each choice, a group box for each group;
// a "Blend" group (mode and opacity, the same for every type); OK/Cancel; and the live preview of
// the one effect being edited. Dialogs that need their own
// widgets derive from it. Every change goes at once into the record the dialog was opened on;
// OK and Cancel only end the dialog (the caller decides what to keep).
#include <QDialog>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

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
class QComboBox;
class QDial;
class QGroupBox;
class QVBoxLayout;

// Called after each preview to show the new picture; empty looks for the main window among the
// dialog's parents.
using PreviewRefresh = std::function<void()>;

class EffectDialog : public QDialog {
  Q_OBJECT
 public:
  EffectDialog(int type, EffectRecord& record, AppState& state, PreviewRefresh refresh, QWidget* parent);
  // The whole dialog from the catalogue, nothing of its own; previews at once when preview is set.
  void LayOutAndStart(bool preview = true);

  EffectRecord& record() { return record_; }
  // The controls of a slot (nullptr when the dialog has none), for the style editor's tests.
  LiveSlider* sliderFor(int slot) const;
  QLineEdit* editFor(int slot) const;
  QPushButton* colourButtonFor(int slot) const;
  QComboBox* choiceFor(int slot) const;
  // The dial beside an angle's slider (nullptr when the slot has none).
  QDial* dialFor(int slot) const;
  // The "Blend" group's controls.
  QComboBox* blendModeBox() const { return blendMode_; }
  LiveSlider* opacitySlider() const { return opacitySlider_; }
  QLineEdit* opacityEdit() const { return opacityEdit_; }
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
    QDial* dial = nullptr;  // angles: the direction, turned by hand
  };
  struct ColourButton {
    int slot;
    QPushButton* button;
    QLabel* swatch;
  };
  struct Choice {
    int slot;
    QComboBox* box;
  };

  // A row labelled and ranged from the catalogue entry of the slot.
  Row& AddRow(QGridLayout* grid, int gridRow, int slot);
  // A row with its own label and range.
  Row& AddRow(QGridLayout* grid, int gridRow, int slot, const QString& label, int minValue, int maxValue,
              int page, Qt::Orientation orientation = Qt::Horizontal);
  ColourButton& AddColour(QGridLayout* grid, int gridRow, int slot, const QString& label);
  // A drop-down list of the catalogue's choices for the slot, labelled from the catalogue.
  Choice& AddChoice(QGridLayout* grid, int gridRow, int slot);
  QGroupBox* Group(const QString& title, QGridLayout*& grid);
  // The type's parameters in the order the dialog shows them; each run of parameters of one
  // catalogue group shares a group box titled with it (the group "" is a plain grid). Returns the
  // body, to which a dialog may add its own widgets before SetBody.
  QVBoxLayout* LayOut();
  // The grid of the section LayOut made for a group; nullptr when there is none.
  QGridLayout* SectionGrid(const QString& group) const;
  // Puts body, then the "Blend" group, above the OK/Cancel buttons.
  void SetBody(QBoxLayout* body);
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
  // Turns the row's dial to its value, without a signal.
  void ShowDial(Row& row);
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
  // A choice was made (already in the record): by default, preview.
  virtual void OnChosen(int slot);

  EngineContext& ctx();
  EffectRecord& record_;
  AppState& state_;
  std::deque<Row> rows_;
  std::deque<ColourButton> colours_;
  std::deque<Choice> choices_;
  int previewCount_ = 0;

 private:
  QGroupBox* BlendGroup();
  void ShowBlend();
  void SetOpacity(int opacity, bool fromSlider);

  int type_;
  QComboBox* blendMode_ = nullptr;
  LiveSlider* opacitySlider_ = nullptr;
  QLineEdit* opacityEdit_ = nullptr;
  bool previews_ = true;
  std::vector<std::pair<QString, QGridLayout*>> sections_;
  PreviewRefresh refresh_;
};
