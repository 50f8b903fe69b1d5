#pragma once
// The style editor ("Effect Wizard"): picks effects from the thirteen types, sets their values in
// the effect's own dialog and arranges the applied list of the current style. Every change runs
// the style again over the item being edited and shows it in the preview.
#include <QDialog>
#include <QListWidget>
#include <functional>
#include <string>

#include "document/plaquet_document.h"
#include "effects/effect_record.h"

struct AppState;
class DocumentHistory;
class PreviewWindow;
class QPushButton;

// Opens the parameter dialog of the record's effect type on record; true with OK. The dialog
// edits record as the user goes (also when cancelled). refresh shows each preview.
bool RunEffectParameterDialog(AppState& state, QWidget* parent, EffectRecord& record,
                              std::function<void()> refresh = {});

// The applied-effects list: the Delete key deletes, dragging an entry onto another moves it.
class AppliedEffectList : public QListWidget {
  Q_OBJECT
 public:
  explicit AppliedEffectList(QWidget* parent = nullptr);
 signals:
  void deleteRequested();
  void moveRequested(int to, int from);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  int pressedRow_ = -1;
};

class StyleEditorDialog : public QDialog {
  Q_OBJECT
 public:
  // itemIndex: the document item whose text the style is shown on. preview may be null.
  StyleEditorDialog(AppState& state, PreviewWindow* preview, int itemIndex, QWidget* parent = nullptr);
  ~StyleEditorDialog() override;

  // Each change then goes straight into the item's effects as a step of the history, which the
  // editor's Undo and Redo walk (back to where the editor opened); Cancel takes them all back.
  void SetHistory(DocumentHistory* history);
  void UndoStep();
  void RedoStep();
  // Takes back every step the editor made (the dialog was cancelled).
  void TakeBackSteps();

  // Handlers, also driven by tests. AddEffect opens the type's dialog on its template and
  // appends the result with OK; false when refused (40 effects) or cancelled.
  bool AddEffect(int type);
  void EditApplied(int row);
  void GoUp();
  void GoDown();
  void DeleteSelected();
  // Moves the record at from to to (both rows of the applied list).
  void MoveRecord(int to, int from);
  void NewStyle();
  // True when the style was written.
  bool SaveStyle();
  bool SaveStyleAs();

  QListWidget& effectList() { return *effects_; }
  AppliedEffectList& appliedList() { return *applied_; }

 private:
  void FillApplied(int select);
  // The change just made becomes a step of the history.
  void Step(const QString& text);
  // Runs the current style over the item's rasterized text and shows the result.
  void Rerun();
  void ShowPicture();

  AppState& state_;
  PreviewWindow* preview_;
  int itemIndex_;
  QListWidget* effects_;
  AppliedEffectList* applied_;
  QPushButton* undo_;
  QPushButton* redo_;
  DocumentHistory* history_ = nullptr;
  int startIndex_ = 0;
  bool madeStep_ = false;
  PlaquetDocument opened_;  // the document as the editor found it, for Cancel  // the steps above startIndex_ are the editor's own
};

// Asks for a name and writes the current style there (asking before replacing a file); true when
// written, failures are told.
bool SaveStyleAsAsking(AppState& state, QWidget* parent);
// Writes the current style to path, or asks for a name when path is empty or a shipped file.
bool SaveStyleTo(AppState& state, QWidget* parent, const std::string& path);

// Appends record to the current style unless it already holds the most effects a style may
// have; false when refused.
bool AppendStyleRecord(AppState& state, const EffectRecord& record);
