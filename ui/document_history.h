#pragma once
// The document's undo history. Each step keeps the whole document as it was before and after the
// change (the document is small plain data), so undoing gives back exactly what was there, and a
// change a page forgot to record still comes back with the next step instead of being lost.
//
// Pages change the document first and then call Record with the step's name. Steps of the same
// non-zero merge key in a row join into one (a slider drag, typing) until the next mouse press or
// Seal().
#include <QObject>
#include <QString>
#include <QUndoStack>

#include "document/plaquet_document.h"

class DocumentHistory : public QObject {
  Q_OBJECT
 public:
  // Merge keys of the changes that come in bursts.
  enum MergeKey { kNoMerge = 0, kMergeText = 1, kMergeMargin, kMergeMarginEdit };

  explicit DocumentHistory(PlaquetDocument& doc, QObject* parent = nullptr);

  QUndoStack& stack() { return stack_; }
  // One step from the last recorded state to the document as it is now; nothing when they are
  // equal. False when nothing was recorded.
  bool Record(const QString& text, int mergeKey = kNoMerge);
  // The next step starts afresh even with the same merge key.
  void Seal() { ++gesture_; }
  // The document as it is now becomes the start: no steps, nothing to save (after New and Open).
  void Reset();
  // The document as it is now is what is on disk.
  void MarkSaved() { stack_.setClean(); }
  // While held, a restore only tells the dialog that holds it (which shows its own picture).
  bool pageRefreshHeld() const { return hold_ > 0; }
  void HoldPageRefresh(bool on) { hold_ += on ? 1 : -1; }

  // The document as a step stores it: what a file or the picture depends on, without where it
  // lives or where the last render placed the items.
  static PlaquetDocument Snapshot(const PlaquetDocument& doc);

 signals:
  // The document was set back or forward; the widgets showing it must read it again.
  void restored();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class SnapshotCommand;
  void Restore(const PlaquetDocument& snapshot);

  PlaquetDocument& doc_;
  QUndoStack stack_;
  PlaquetDocument baseline_;
  int gesture_ = 0;
  int hold_ = 0;
  bool restoring_ = false;
};

// The name of the step an effect dialog made: "Outline thickness" when one value changed, the
// effect's name otherwise.
QString EffectChangeName(const EffectRecord& before, const EffectRecord& after);
